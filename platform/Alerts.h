#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

// Modal alerts and questions; the widgets layer implements this.
//
// A question cannot be put without naming the button Return presses and the safe button, the one
// Escape and closing the alert answer: neither has a default, so leaving one out does not compile.
class Alerts {
public:
    enum class Style { Informational, Warning, Critical };

    // The button Return presses (index into the buttons, in the order shown).
    struct DefaultButton {
        constexpr explicit DefaultButton(int button) : index(button) {}
        int index;
    };
    // The answer that changes nothing; Escape and closing the alert mean it.
    struct SafeButton {
        constexpr explicit SafeButton(int button) : index(button) {}
        int index;
    };

    class Question {
    public:
        // Buttons in the order shown; Return presses `byDefault`, Escape and closing `safe`.
        Question(QString message, QString informative, QStringList buttons, DefaultButton byDefault,
                 SafeButton safe, Style style = Style::Warning);
        // A question whose other answer loses something: Return, Escape and closing all mean `safe`.
        static Question destructive(QString message, QString informative, QStringList buttons,
                                    SafeButton safe, Style style = Style::Warning);

        const QString& message() const { return m_message; }
        const QString& informative() const { return m_informative; }
        const QStringList& buttons() const { return m_buttons; }
        int defaultButton() const { return m_default; }
        int safeButton() const { return m_safe; }
        Style style() const { return m_style; }

    private:
        QString m_message;
        QString m_informative;
        QStringList m_buttons;
        int m_default;
        int m_safe;
        Style m_style;
    };

    virtual ~Alerts() = default;
    // A message with one button, which is both the default and the safe answer.
    virtual void alert(const QString& message, const QString& informative = {},
                       const QString& button = QStringLiteral("Ok"), Style style = Style::Warning) = 0;
    // The index of the button pressed; the safe button when the alert was escaped or closed.
    virtual int choose(const Question& question) = 0;
    // For two-button questions: true when the answer was not the safe one.
    bool confirm(const Question& question) { return choose(question) != question.safeButton(); }
};

// Records what would have been shown and answers questions from a script; never blocks.
class ScriptedAlerts final : public Alerts {
public:
    struct Shown {
        QString message;
        QString informative;
        QString button; // alerts: the button; questions: the first answer that is not the safe one
        bool confirmation = false;
        QStringList buttons;
        int defaultButton = 0;
        int safeButton = 0;
    };

    void alert(const QString& message, const QString& informative, const QString& button,
               Style style) override;
    int choose(const Question& question) override;

    // Answers for coming questions, in order (true: the first button that is not the safe one,
    // false: the safe one); when none is queued the default answers.
    void queueAnswer(bool yes) { m_answers.append(yes); }
    void setDefaultAnswer(bool yes) { m_defaultAnswer = yes; }
    const QList<Shown>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<Shown> m_shown;
    QList<bool> m_answers;
    bool m_defaultAnswer = false;
};

} // namespace qv
