#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

// Modal alerts and Yes/No confirmations; the widgets layer implements this.
class Alerts {
public:
    enum class Style { Informational, Warning, Critical };
    virtual ~Alerts() = default;
    virtual void alert(const QString& message, const QString& informative = {},
                       const QString& button = QStringLiteral("Ok"), Style style = Style::Warning) = 0;
    // true for the first (affirmative) button.
    virtual bool confirm(const QString& message, const QString& informative = {},
                         const QString& yes = QStringLiteral("Yes"),
                         const QString& no = QStringLiteral("No")) = 0;
    // A question with several buttons; the index of the one pressed. By default the first two
    // buttons through confirm().
    virtual int choose(const QString& message, const QString& informative, const QStringList& buttons,
                       Style style = Style::Informational)
    {
        (void)style;
        return confirm(message, informative, buttons.value(0), buttons.value(1)) ? 0 : 1;
    }
};

// Records what would have been shown and answers confirmations from a script; never blocks.
class ScriptedAlerts final : public Alerts {
public:
    struct Shown {
        QString message;
        QString informative;
        QString button; // alerts: the button; confirmations: the affirmative button
        bool confirmation = false;
    };

    void alert(const QString& message, const QString& informative, const QString& button,
               Style style) override;
    bool confirm(const QString& message, const QString& informative, const QString& yes,
                 const QString& no) override;

    // Answers for coming confirmations, in order; when none is queued the default answers.
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
