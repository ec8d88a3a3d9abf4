#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace qv {

class FakeClock;

using TimerId = quint64;

// Every delay of the application goes through this, so tests drive time by hand.
// All callbacks run on the main thread.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Runs fn once, ms milliseconds from now. Never returns 0.
    virtual TimerId after(qint64 ms, std::function<void()> fn) = 0;
    // Runs fn every ms milliseconds until cancelled.
    virtual TimerId every(qint64 ms, std::function<void()> fn) = 0;
    // Cancelling an unknown, fired or already cancelled timer is harmless.
    virtual void cancel(TimerId id) = 0;
    // Runs fn at the end of the current main-loop turn.
    virtual void post(std::function<void()> fn) = 0;
};

// fn, made to do nothing once its owner has gone: the owner keeps a shared flag, sets it to false
// when it goes, and hands out weak references to it.
inline std::function<void()> whileAlive(std::weak_ptr<bool> alive, std::function<void()> fn)
{
    return [alive = std::move(alive), fn = std::move(fn)] {
        if (const auto flag = alive.lock(); flag && *flag)
            fn();
    };
}

// Over Qt timers on the calling thread's event loop.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    TimerId after(qint64 ms, std::function<void()> fn) override;
    TimerId every(qint64 ms, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    void post(std::function<void()> fn) override;

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
    TimerId after(qint64 ms, std::function<void()> fn) override;
    TimerId every(qint64 ms, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    void post(std::function<void()> fn) override;

    // Runs posted callbacks (and those they post) until none is left.
    void runPosted();
    // Advances time by ms, running posted callbacks and every timer that falls due.
    void advance(qint64 ms);
    qint64 nowMs() const;
    int pendingTimers() const;
    int pendingPosts() const;

private:
    struct Impl;
    Impl* d;
};

} // namespace qv
