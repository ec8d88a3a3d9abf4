#include "platform/Scheduler.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace qv;

namespace {

// Spins the event loop until done() or a generous cap; the waits themselves are a few ms.
template <typename Done> bool processUntil(Done done, int capMs = 2000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < capMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    return done();
}

} // namespace

TEST(ManualSchedulerOrder,
     GivenTimersWhenAdvancedThenTheyFireInTimeOrderTiesInCreationOrderAndTheClockFollows)
{
    FakeClock clock;
    const QDateTime start = clock.now();
    ManualScheduler scheduler(&clock);
    QStringList fired;
    QList<qint64> clockAtFire;
    auto record = [&](const QString& name) {
        return [&, name] {
            fired << name;
            clockAtFire << start.msecsTo(clock.now());
        };
    };
    scheduler.after(30, record("c"));
    scheduler.after(10, record("a"));
    scheduler.after(10, record("b"));
    scheduler.after(31, record("late"));

    scheduler.advance(29);
    EXPECT_EQ(fired, QStringList({"a", "b"}));
    scheduler.advance(1);
    EXPECT_EQ(fired, QStringList({"a", "b", "c"}));
    EXPECT_EQ(clockAtFire, QList<qint64>({10, 10, 30}));
    EXPECT_EQ(scheduler.nowMs(), 30);
    EXPECT_EQ(clock.elapsedMs(), 30);
    EXPECT_EQ(scheduler.pendingTimers(), 1);

    // The clock alone: wall and monotonic time move together, in UTC.
    clock.advance(1500);
    EXPECT_EQ(clock.now(), start.addMSecs(30 + 1500));
    EXPECT_EQ(clock.elapsedMs(), 30 + 1500);
    EXPECT_EQ(clock.now().timeSpec(), Qt::UTC);
}

TEST(ManualSchedulerOrder, GivenCallbackSchedulingDuringAdvanceThenDueOnesFireInTheSameAdvance)
{
    ManualScheduler scheduler;
    QList<qint64> firedAt;
    scheduler.after(10, [&] {
        firedAt << scheduler.nowMs();
        scheduler.after(5, [&] { firedAt << scheduler.nowMs(); });
        scheduler.after(100, [&] { firedAt << scheduler.nowMs(); });
    });
    scheduler.advance(20);
    EXPECT_EQ(firedAt, QList<qint64>({10, 15}));
    EXPECT_EQ(scheduler.nowMs(), 20);
    EXPECT_EQ(scheduler.pendingTimers(), 1);
}

TEST(ManualSchedulerRepeat, GivenEveryWhenAdvancedThenItRearmsUntilCancelledFromInside)
{
    ManualScheduler scheduler;
    QList<qint64> firedAt;
    TimerId id = 0;
    id = scheduler.every(10, [&] {
        firedAt << scheduler.nowMs();
        if (firedAt.size() == 3)
            scheduler.cancel(id);
    });
    EXPECT_NE(id, 0u);
    scheduler.advance(25);
    EXPECT_EQ(firedAt, QList<qint64>({10, 20}));
    scheduler.advance(100);
    EXPECT_EQ(firedAt, QList<qint64>({10, 20, 30}));
    EXPECT_EQ(scheduler.pendingTimers(), 0);
}

TEST(ManualSchedulerCancel, GivenCancelOfUnknownFiredOrPendingTimersThenOnlyPendingOnesStopEvenWhenDueNow)
{
    ManualScheduler scheduler;
    int fired = 0;
    const TimerId once = scheduler.after(1, [&] { ++fired; });
    const TimerId later = scheduler.after(50, [&] { ++fired; });
    scheduler.advance(1);
    scheduler.cancel(once);
    scheduler.cancel(once);
    scheduler.cancel(9999);
    scheduler.cancel(later);
    // An earlier callback cancels a timer due at the same time.
    TimerId second = 0;
    scheduler.after(5, [&] { scheduler.cancel(second); });
    second = scheduler.after(5, [&] { ++fired; });
    scheduler.advance(100);
    EXPECT_EQ(fired, 1);
}

TEST(ManualSchedulerPost,
     GivenPostsThenTheyRunBeforeTimersIncludingOnesPostedWhileRunningAndRunPostedLeavesTimeStill)
{
    ManualScheduler scheduler;
    QStringList order;
    scheduler.after(0, [&] {
        order << "timer";
        scheduler.post([&] { order << "post from timer"; });
    });
    scheduler.after(0, [&] { order << "second timer"; });
    scheduler.post([&] {
        order << "post";
        scheduler.post([&] { order << "nested post"; });
    });
    EXPECT_EQ(scheduler.pendingPosts(), 1);
    scheduler.advance(0);
    EXPECT_EQ(order, QStringList({"post", "nested post", "timer", "post from timer", "second timer"}));
    EXPECT_EQ(scheduler.pendingPosts(), 0);

    int posts = 0;
    bool timerFired = false;
    scheduler.after(0, [&] { timerFired = true; });
    scheduler.post([&] {
        ++posts;
        scheduler.post([&] { ++posts; });
    });
    scheduler.runPosted();
    EXPECT_EQ(posts, 2);
    EXPECT_FALSE(timerFired);
    EXPECT_EQ(scheduler.nowMs(), 0);
}

TEST(QtSchedulerTimers, GivenTimersThenTheyFireInOrderAndPostRunsFirst)
{
    QtScheduler scheduler;
    QStringList order;
    scheduler.after(20, [&] { order << "20"; });
    scheduler.after(5, [&] { order << "5"; });
    scheduler.post([&] { order << "post"; });
    EXPECT_TRUE(order.isEmpty());
    ASSERT_TRUE(processUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, QStringList({"post", "5", "20"}));
}

TEST(QtSchedulerTimers, GivenTimersCancelledFromOutsideOrFromTheirCallbackThenTheyStop)
{
    QtScheduler scheduler;
    int fired = 0;
    bool cancelledFired = false;
    TimerId id = 0;
    id = scheduler.every(2, [&] {
        if (++fired == 3)
            scheduler.cancel(id);
    });
    const TimerId cancelled = scheduler.after(1, [&] { cancelledFired = true; });
    scheduler.cancel(cancelled);
    scheduler.cancel(cancelled);
    bool waited = false;
    scheduler.after(40, [&] { waited = true; });
    ASSERT_TRUE(processUntil([&] { return waited; }));
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(cancelledFired);
}

TEST(QtSchedulerLifetime, GivenDestroyedSchedulerThenPendingTimersAndPostsAreDropped)
{
    bool fired = false;
    {
        QtScheduler scheduler;
        scheduler.after(1, [&] { fired = true; });
        scheduler.every(1, [&] { fired = true; });
        scheduler.post([&] { fired = true; });
    }
    QtScheduler witness;
    bool done = false;
    witness.after(10, [&] { done = true; });
    ASSERT_TRUE(processUntil([&] { return done; }));
    EXPECT_FALSE(fired);
}

TEST(QtSchedulerLifetime, GivenCallbackDestroyingTheSchedulerThenNothingElseRuns)
{
    auto scheduler = std::make_unique<QtScheduler>();
    bool otherFired = false;
    bool destroyed = false;
    scheduler->after(1, [&] {
        scheduler.reset();
        destroyed = true;
    });
    scheduler->after(5, [&] { otherFired = true; });
    ASSERT_TRUE(processUntil([&] { return destroyed; }));
    QtScheduler witness;
    bool done = false;
    witness.after(15, [&] { done = true; });
    ASSERT_TRUE(processUntil([&] { return done; }));
    EXPECT_FALSE(otherFired);
}

namespace {

// A one-shot, a repeating and a posted call tied to a context deleted before any can run, one
// tied to no context at all, and a one-shot tied to a context that lives.
struct ContextCalls {
    QObject live;
    int deadRuns = 0;
    bool liveRan = false;

    void scheduleOn(Scheduler& scheduler)
    {
        auto dead = std::make_unique<QObject>();
        scheduler.after(1, dead.get(), [this] { ++deadRuns; });
        scheduler.every(1, dead.get(), [this] { ++deadRuns; });
        scheduler.post(dead.get(), [this] { ++deadRuns; });
        scheduler.post(nullptr, [this] { ++deadRuns; });
        scheduler.after(10, &live, [this] { liveRan = true; });
        dead.reset();
    }
};

} // namespace

TEST(SchedulerContext, GivenManualSchedulerWhenTheContextIsDeletedThenItsCallsNeverRun)
{
    ManualScheduler scheduler;
    ContextCalls calls;
    calls.scheduleOn(scheduler);
    scheduler.advance(50);
    EXPECT_TRUE(calls.liveRan);
    EXPECT_EQ(calls.deadRuns, 0);
    EXPECT_EQ(scheduler.pendingTimers(), 0); // the repeating one went with its context
}

TEST(SchedulerContext, GivenQtSchedulerWhenTheContextIsDeletedThenItsCallsNeverRun)
{
    QtScheduler scheduler;
    ContextCalls calls;
    calls.scheduleOn(scheduler);
    ASSERT_TRUE(processUntil([&] { return calls.liveRan; }));
    EXPECT_EQ(calls.deadRuns, 0);
}
