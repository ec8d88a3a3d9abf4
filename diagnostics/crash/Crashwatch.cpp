#include "diagnostics/crash/Crashwatch.h"

#include "diagnostics/crash/CrashLogging.h"
#include "platform/Clock.h"

#include <cstdarg>

namespace qv {

namespace {

std::mutex& sharedMutex()
{
    static std::mutex mutex;
    return mutex;
}

Crashwatch*& sharedCrashwatch()
{
    static Crashwatch* instance = nullptr;
    return instance;
}

} // namespace

Crashwatch::Crashwatch(const Clock& clock) : m_clock(clock), m_startMs(clock.elapsedMs())
{
    std::lock_guard<std::mutex> lock(sharedMutex());
    if (!sharedCrashwatch())
        sharedCrashwatch() = this;
}

Crashwatch::~Crashwatch()
{
    std::lock_guard<std::mutex> lock(sharedMutex());
    if (sharedCrashwatch() == this)
        sharedCrashwatch() = nullptr;
}

Crashwatch& Crashwatch::sharedInstance()
{
    {
        std::lock_guard<std::mutex> lock(sharedMutex());
        if (Crashwatch* instance = sharedCrashwatch())
            return *instance;
    }
    static SystemClock clock;
    static Crashwatch fallback(clock);
    return fallback;
}

void Crashwatch::startKit()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_started)
        return;
    m_started = true;
    qCInfo(lcCrash, "[Crashwatch] Started");
}

bool Crashwatch::isStarted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_started;
}

void Crashwatch::setUserEmail(const QString& email)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_userEmail = email;
}

QString Crashwatch::userEmail() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_userEmail;
}

void Crashwatch::recordLogLine(const QString& line)
{
    const double seconds = double(m_clock.elapsedMs() - m_startMs) / 1000.0;
    const QString stamped = QString::asprintf("%.3f ", seconds) + line;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(stamped);
    while (m_lines.size() > std::size_t(kMaxLogLines))
        m_lines.pop_front();
}

QStringList Crashwatch::logLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return QStringList(m_lines.begin(), m_lines.end());
}

void CRWRecordLogFormat(const char* format, ...)
{
    if (!format)
        return;
    va_list arguments;
    va_start(arguments, format);
    const QString line = QString::vasprintf(format, arguments);
    va_end(arguments);
    Crashwatch::sharedInstance().recordLogLine(line);
}

} // namespace qv
