#include "platform/Alerts.h"

namespace qv {

void ScriptedAlerts::alert(const QString& message, const QString& informative, const QString& button, Style)
{
    m_shown.append({message, informative, button, false});
}

bool ScriptedAlerts::confirm(const QString& message, const QString& informative, const QString& yes,
                             const QString&)
{
    m_shown.append({message, informative, yes, true});
    return m_answers.isEmpty() ? m_defaultAnswer : m_answers.takeFirst();
}

} // namespace qv
