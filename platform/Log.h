#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace qv {

// The application's plain log lines. Lines go to stderr unless a capture is active.
class Log {
public:
    static void line(const QString& text);
    // Installs a sink for the calling scope; returns the previous one.
    using Sink = std::function<void(const QString&)>;
    static Sink setSink(Sink sink);
};

// Collects log lines for the lifetime of the object (tests).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& lines() const { return m_lines; }
    bool contains(const QString& exactLine) const { return m_lines.contains(exactLine); }
    int count(const QString& exactLine) const { return int(m_lines.count(exactLine)); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
    Log::Sink m_previous;
};

} // namespace qv
