#pragma once

#include "platform/Scheduler.h"

#include <functional>

namespace qv {

class SyncEngineInterface;

// Redraws a table once, 2 s after a row found a picture missing: one redraw pending at a time,
// none while offline (no picture can arrive), and none in the middle of the user's typing or
// dragging. Main thread only.
class TableReload {
public:
    static constexpr qint64 kDelayMs = 2000;

    // engine answers the sync engine of the moment (nullptr: none, counted as offline).
    TableReload(Scheduler* scheduler, std::function<const SyncEngineInterface*()> engine,
                std::function<void()> reload);
    ~TableReload();
    TableReload(const TableReload&) = delete;
    TableReload& operator=(const TableReload&) = delete;

    void scheduleTableReload();
    // The timer's end: the redraw (unless the user is editing), and the timer forgotten.
    void reloadAvatars();
    bool isPending() const { return m_reloadTimer != 0; }

private:
    Scheduler* m_scheduler;
    std::function<const SyncEngineInterface*()> m_engine;
    std::function<void()> m_reload;
    TimerId m_reloadTimer = 0;
};

} // namespace qv
