#include "platform/Alerts.h"

#include <utility>

namespace qv {

Alerts::Question::Question(QString message, QString informative, QStringList buttons, DefaultButton byDefault,
                           SafeButton safe, Style style)
    : m_message(std::move(message)), m_informative(std::move(informative)), m_buttons(std::move(buttons)),
      m_default(byDefault.index), m_safe(safe.index), m_style(style)
{
    Q_ASSERT(m_default >= 0 && m_default < m_buttons.size());
    Q_ASSERT(m_safe >= 0 && m_safe < m_buttons.size());
}

Alerts::Question Alerts::Question::destructive(QString message, QString informative, QStringList buttons,
                                               SafeButton safe, Style style)
{
    return {std::move(message),
            std::move(informative),
            std::move(buttons),
            DefaultButton(safe.index),
            safe,
            style};
}

void ScriptedAlerts::alert(const QString& message, const QString& informative, const QString& button, Style)
{
    m_shown.append({message, informative, button, false, {button}, 0, 0});
}

int ScriptedAlerts::choose(const Question& question)
{
    const QStringList& buttons = question.buttons();
    int other = question.safeButton();
    for (int i = 0; i < buttons.size(); ++i) {
        if (i != question.safeButton()) {
            other = i;
            break;
        }
    }
    m_shown.append({question.message(), question.informative(), buttons.value(other), true, buttons,
                    question.defaultButton(), question.safeButton()});
    const bool yes = m_answers.isEmpty() ? m_defaultAnswer : m_answers.takeFirst();
    return yes ? other : question.safeButton();
}

} // namespace qv
