#pragma once

#include "diagnostics/core/Lookout.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <mutex>

namespace qv {

class Clock;

// The crash reporter: the user e-mail attached to later reports and the developer log's last
// lines, each with the time since the reporter started. The first one made is the process's
// shared instance while it lives.
class Crashwatch final : public LookoutKit {
public:
    static constexpr int kMaxLogLines = 500;

    explicit Crashwatch(const Clock& clock);
    ~Crashwatch() override;
    Crashwatch(const Crashwatch&) = delete;
    Crashwatch& operator=(const Crashwatch&) = delete;

    // The first live one; without one, a reporter over the system clock, made now.
    static Crashwatch& sharedInstance();

    QString kitName() const override { return QStringLiteral("Crashwatch"); }
    void startKit() override;
    bool isStarted() const;

    // Empty text clears it.
    void setUserEmail(const QString& email);
    QString userEmail() const;

    // Keeps the line with the seconds since start; the oldest lines go beyond kMaxLogLines.
    void recordLogLine(const QString& line);
    QStringList logLines() const;

private:
    const Clock& m_clock;
    qint64 m_startMs;
    mutable std::mutex m_mutex;
    bool m_started = false;
    QString m_userEmail;
    std::deque<QString> m_lines;
};

// Formats one developer log line (printf style; %s takes UTF-8) and hands it to the shared
// crash reporter's log. Nothing for a null format.
void CRWRecordLogFormat(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);

} // namespace qv
