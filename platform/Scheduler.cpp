#include "platform/Scheduler.h"

#include "platform/Clock.h"

#include <QHash>
#include <QObject>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace qv {

namespace {

using Callback = std::shared_ptr<ScheduledCall>;

// Qt timers take an int interval; longer delays are waited out in pieces.
constexpr qint64 kLongestQtInterval = INT_MAX;

} // namespace

// --- QtScheduler

struct QtScheduler::Impl : QObject {
    struct Timer {
        Callback fn;
        qint64 interval = 0;
        bool repeat = false;
        int qtId = 0;
        qint64 leftover = 0; // still to wait once the running Qt timer fires
    };

    QHash<TimerId, Timer> timers;
    QHash<int, TimerId> byQtId;
    TimerId nextId = 1;

    TimerId add(qint64 ms, ScheduledCall call, bool repeat)
    {
        const TimerId id = nextId++;
        Timer& timer = timers[id];
        timer.fn = std::make_shared<ScheduledCall>(std::move(call));
        timer.interval = std::max<qint64>(ms, repeat ? 1 : 0);
        timer.repeat = repeat;
        arm(id, timer, timer.interval);
        return id;
    }

    void arm(TimerId id, Timer& timer, qint64 ms)
    {
        const qint64 piece = std::min(ms, kLongestQtInterval);
        timer.leftover = ms - piece;
        timer.qtId = startTimer(int(piece));
        byQtId.insert(timer.qtId, id);
    }

    void disarm(Timer& timer)
    {
        if (timer.qtId == 0)
            return;
        killTimer(timer.qtId);
        byQtId.remove(timer.qtId);
        timer.qtId = 0;
    }

    void cancel(TimerId id)
    {
        auto it = timers.find(id);
        if (it == timers.end())
            return;
        disarm(*it);
        timers.erase(it);
    }

    void timerEvent(QTimerEvent* event) override
    {
        const auto found = byQtId.constFind(event->timerId());
        if (found == byQtId.constEnd()) {
            killTimer(event->timerId());
            return;
        }
        const TimerId id = *found;
        Timer& timer = timers[id];
        if (!timer.fn->isLive()) {
            cancel(id);
            return;
        }
        if (timer.leftover > 0) {
            disarm(timer);
            arm(id, timer, timer.leftover);
            return;
        }
        // Keep the callback alive on the stack: it may cancel its timer or destroy the scheduler.
        const Callback fn = timer.fn;
        if (!timer.repeat) {
            cancel(id);
        } else if (timer.interval > kLongestQtInterval) {
            disarm(timer);
            arm(id, timer, timer.interval);
        }
        (*fn)();
    }
};

QtScheduler::QtScheduler() : d(new Impl) {}

QtScheduler::~QtScheduler()
{
    delete d;
}

TimerId QtScheduler::schedule(qint64 ms, bool repeat, ScheduledCall call)
{
    return d->add(ms, std::move(call), repeat);
}

void QtScheduler::cancel(TimerId id)
{
    d->cancel(id);
}

void QtScheduler::enqueue(ScheduledCall call)
{
    // Queued on the scheduler's own object, so destroying the scheduler drops it.
    QMetaObject::invokeMethod(
        d, [call = std::move(call)] { call(); }, Qt::QueuedConnection);
}

// --- ManualScheduler

struct ManualScheduler::Impl {
    struct Timer {
        qint64 due = 0;
        qint64 interval = 0;
        bool repeat = false;
        Callback fn;
    };

    FakeClock* clock = nullptr;
    qint64 now = 0;
    TimerId nextId = 1;
    std::map<TimerId, Timer> timers;
    // Ordered by due time, then by id, which is creation order.
    std::set<std::pair<qint64, TimerId>> queue;
    std::deque<ScheduledCall> posts;

    TimerId add(qint64 ms, ScheduledCall call, bool repeat)
    {
        const TimerId id = nextId++;
        Timer timer;
        // A repeating timer of zero would fire forever within one advance().
        timer.interval = std::max<qint64>(ms, repeat ? 1 : 0);
        timer.due = now + timer.interval;
        timer.repeat = repeat;
        timer.fn = std::make_shared<ScheduledCall>(std::move(call));
        queue.emplace(timer.due, id);
        timers.emplace(id, std::move(timer));
        return id;
    }

    void moveTo(qint64 time)
    {
        if (time <= now)
            return;
        if (clock)
            clock->advance(time - now);
        now = time;
    }
};

ManualScheduler::ManualScheduler(FakeClock* clock) : d(new Impl)
{
    d->clock = clock;
}

ManualScheduler::~ManualScheduler()
{
    delete d;
}

TimerId ManualScheduler::schedule(qint64 ms, bool repeat, ScheduledCall call)
{
    return d->add(ms, std::move(call), repeat);
}

void ManualScheduler::cancel(TimerId id)
{
    const auto it = d->timers.find(id);
    if (it == d->timers.end())
        return;
    d->queue.erase({it->second.due, id});
    d->timers.erase(it);
}

void ManualScheduler::enqueue(ScheduledCall call)
{
    d->posts.push_back(std::move(call));
}

void ManualScheduler::runPosted()
{
    while (!d->posts.empty()) {
        const ScheduledCall call = std::move(d->posts.front());
        d->posts.pop_front();
        call();
    }
}

void ManualScheduler::advance(qint64 ms)
{
    const qint64 target = d->now + std::max<qint64>(ms, 0);
    runPosted();
    while (!d->queue.empty() && d->queue.begin()->first <= target) {
        const auto [due, id] = *d->queue.begin();
        d->queue.erase(d->queue.begin());
        Impl::Timer& timer = d->timers.at(id);
        const Callback fn = timer.fn;
        if (!fn->isLive()) {
            d->timers.erase(id);
            continue;
        }
        if (timer.repeat) {
            timer.due = due + timer.interval;
            d->queue.emplace(timer.due, id);
        } else {
            d->timers.erase(id);
        }
        d->moveTo(due);
        (*fn)();
        runPosted();
    }
    d->moveTo(target);
}

qint64 ManualScheduler::nowMs() const
{
    return d->now;
}

int ManualScheduler::pendingTimers() const
{
    return int(d->timers.size());
}

int ManualScheduler::pendingPosts() const
{
    return int(d->posts.size());
}

} // namespace qv
