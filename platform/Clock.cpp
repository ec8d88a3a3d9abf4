#include "platform/Clock.h"

namespace qv {

SystemClock::SystemClock()
{
    m_timer.start();
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

qint64 SystemClock::elapsedMs() const
{
    return m_timer.elapsed();
}

FakeClock::FakeClock(const QDateTime& start) : m_now(start.toUTC()) {}

void FakeClock::advance(qint64 ms)
{
    m_now = m_now.addMSecs(ms);
    m_elapsed += ms;
}

} // namespace qv
