#include "platform/Log.h"

#include <QRecursiveMutex>

#include <cstdio>

namespace qv {

namespace {

// Recursive so a sink that itself logs does not deadlock.
QRecursiveMutex& sinkMutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

Log::Sink& currentSink()
{
    static Log::Sink sink;
    return sink;
}

} // namespace

void Log::line(const QString& text)
{
    QMutexLocker locker(&sinkMutex());
    if (currentSink()) {
        currentSink()(text);
        return;
    }
    // One write per line so lines from different threads do not interleave.
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
}

Log::Sink Log::setSink(Sink sink)
{
    QMutexLocker locker(&sinkMutex());
    std::swap(currentSink(), sink);
    return sink;
}

LogCapture::LogCapture()
{
    m_previous = Log::setSink([this](const QString& line) { m_lines.append(line); });
}

LogCapture::~LogCapture()
{
    Log::setSink(std::move(m_previous));
}

} // namespace qv
