#pragma once

#include <QObject>
#include <QPointer>
#include <QtGlobal>

#include <functional>

namespace qv {

class FakeClock;

using TimerId = quint64;

// A scheduled call. One tied to a context object runs only while that object lives, as with
// QTimer::singleShot(ms, context, functor); a null context counts as one already gone.
class ScheduledCall {
public:
    explicit ScheduledCall(std::function<void()> fn) : m_fn(std::move(fn)) {}
    ScheduledCall(const QObject* context, std::function<void()> fn)
        : m_fn(std::move(fn)), m_context(context), m_tied(true)
    {
    }
    bool isLive() const { return !m_tied || !m_context.isNull(); }
    void operator()() const
    {
        if (isLive())
            m_fn();
    }

private:
    std::function<void()> m_fn;
    QPointer<const QObject> m_context;
    bool m_tied = false;
};

// Every delay of the application goes through this, so tests drive time by hand.
// All callbacks run on the main thread. The overloads with a context drop the call once the
// context is destroyed; a dropped repeating timer cancels itself.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Runs fn once, ms milliseconds from now. Never returns 0.
    TimerId after(qint64 ms, std::function<void()> fn)
    {
        return schedule(ms, false, ScheduledCall(std::move(fn)));
    }
    TimerId after(qint64 ms, const QObject* context, std::function<void()> fn)
    {
        return schedule(ms, false, ScheduledCall(context, std::move(fn)));
    }
    // Runs fn every ms milliseconds until cancelled.
    TimerId every(qint64 ms, std::function<void()> fn)
    {
        return schedule(ms, true, ScheduledCall(std::move(fn)));
    }
    TimerId every(qint64 ms, const QObject* context, std::function<void()> fn)
    {
        return schedule(ms, true, ScheduledCall(context, std::move(fn)));
    }
    // Cancelling an unknown, fired or already cancelled timer is harmless.
    virtual void cancel(TimerId id) = 0;
    // Runs fn at the end of the current main-loop turn.
    void post(std::function<void()> fn) { enqueue(ScheduledCall(std::move(fn))); }
    void post(const QObject* context, std::function<void()> fn)
    {
        enqueue(ScheduledCall(context, std::move(fn)));
    }

protected:
    virtual TimerId schedule(qint64 ms, bool repeat, ScheduledCall call) = 0;
    virtual void enqueue(ScheduledCall call) = 0;
};

// Over Qt timers on the calling thread's event loop.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    void cancel(TimerId id) override;

protected:
    TimerId schedule(qint64 ms, bool repeat, ScheduledCall call) override;
    void enqueue(ScheduledCall call) override;

private:
    struct Impl;
    Impl* d;
};

// Time stands still until a test advances it; due timers then fire in time order
// and the clock reads the time each fires at.
class ManualScheduler final : public Scheduler {
public:
    explicit ManualScheduler(FakeClock* clock = nullptr);
    ~ManualScheduler() override;
    void cancel(TimerId id) override;

    // Runs posted callbacks (and those they post) until none is left.
    void runPosted();
    // Advances time by ms, running posted callbacks and every timer that falls due.
    void advance(qint64 ms);
    qint64 nowMs() const;
    int pendingTimers() const;
    int pendingPosts() const;

protected:
    TimerId schedule(qint64 ms, bool repeat, ScheduledCall call) override;
    void enqueue(ScheduledCall call) override;

private:
    struct Impl;
    Impl* d;
};

} // namespace qv
