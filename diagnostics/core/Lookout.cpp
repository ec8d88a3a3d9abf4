#include "diagnostics/core/Lookout.h"

#include "diagnostics/core/DiagnosticsLogging.h"

#include <QStringList>

namespace qv {

Lookout& Lookout::with(const std::vector<LookoutKit*>& kits)
{
    static Lookout lookout;
    lookout.startWithKits(kits);
    return lookout;
}

bool Lookout::startWithKits(const std::vector<LookoutKit*>& kits)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_started)
            return false;
        m_started = true;
        for (const LookoutKit* kit : kits) {
            if (kit)
                m_kitNames << kit->kitName();
        }
    }
    qCInfo(lcDiagnostics, "[Lookout] Starting with kits: %s",
           qUtf8Printable(m_kitNames.join(QStringLiteral(", "))));
    for (LookoutKit* kit : kits) {
        if (kit)
            kit->startKit();
    }
    return true;
}

bool Lookout::isStarted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_started;
}

QStringList Lookout::kitNames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_kitNames;
}

} // namespace qv
