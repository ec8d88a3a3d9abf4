#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace qv {

// Wall time and a monotonic elapsed time; tests substitute FakeClock.
class Clock {
public:
    virtual ~Clock() = default;
    // Current wall time, UTC.
    virtual QDateTime now() const = 0;
    // Milliseconds on a monotonic clock with an arbitrary origin.
    virtual qint64 elapsedMs() const = 0;

    qint64 secondsSince1970() const { return now().toSecsSinceEpoch(); }
};

class SystemClock final : public Clock {
public:
    SystemClock();
    QDateTime now() const override;
    qint64 elapsedMs() const override;

private:
    QElapsedTimer m_timer;
};

class FakeClock final : public Clock {
public:
    explicit FakeClock(const QDateTime& start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
    QDateTime now() const override { return m_now; }
    qint64 elapsedMs() const override { return m_elapsed; }

    void setNow(const QDateTime& now) { m_now = now.toUTC(); }
    // Moves both the wall time and the monotonic time forward.
    void advance(qint64 ms);

private:
    QDateTime m_now;
    qint64 m_elapsed = 0;
};

} // namespace qv
