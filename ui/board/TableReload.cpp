#include "ui/board/TableReload.h"

#include "core/document/SyncEngine.h"

namespace qv {

TableReload::TableReload(Scheduler* scheduler, std::function<const SyncEngineInterface*()> engine,
                         std::function<void()> reload)
    : m_scheduler(scheduler), m_engine(std::move(engine)), m_reload(std::move(reload))
{
}

TableReload::~TableReload()
{
    if (m_scheduler && m_reloadTimer)
        m_scheduler->cancel(m_reloadTimer);
}

void TableReload::scheduleTableReload()
{
    if (m_reloadTimer || !m_scheduler)
        return;
    const SyncEngineInterface* engine = m_engine ? m_engine() : nullptr;
    if (!engine || !engine->isOnline())
        return;
    m_reloadTimer = m_scheduler->after(kDelayMs, [this] { reloadAvatars(); });
}

void TableReload::reloadAvatars()
{
    const SyncEngineInterface* engine = m_engine ? m_engine() : nullptr;
    if (m_reload && !(engine && engine->uiIsEditing()))
        m_reload();
    if (m_scheduler && m_reloadTimer)
        m_scheduler->cancel(m_reloadTimer);
    m_reloadTimer = 0;
}

} // namespace qv
