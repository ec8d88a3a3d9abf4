// A table's redraw after a row found a picture missing: one at a time, none while offline, and
// none over the user's typing.
#include "ui/board/TableReload.h"

#include "platform/Clock.h"
#include "tests/support/DocumentFakes.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(TableReload, GivenOfflineOrAPendingTimer_ThenNothingNewIsScheduled_AndTheRedrawSparesEditing)
{
    FakeClock clock;
    ManualScheduler scheduler(&clock);
    StubSyncEngine engine;
    int reloads = 0;
    TableReload reload(
        &scheduler, [&engine] { return &engine; }, [&reloads] { ++reloads; });

    engine.online = false;
    reload.scheduleTableReload();
    EXPECT_EQ(scheduler.pendingTimers(), 0);

    engine.online = true;
    reload.scheduleTableReload();
    scheduler.advance(1000);
    reload.scheduleTableReload();
    EXPECT_EQ(scheduler.pendingTimers(), 1);
    scheduler.advance(TableReload::kDelayMs - 1000);
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(reload.isPending());

    // While the user types the timer ends without redrawing; the next request may start one.
    reload.scheduleTableReload();
    engine.editing = true;
    scheduler.advance(TableReload::kDelayMs);
    EXPECT_EQ(reloads, 1);
    reload.scheduleTableReload();
    EXPECT_TRUE(reload.isPending());
}

} // namespace
} // namespace qv::test
