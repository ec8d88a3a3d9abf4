#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

// Each folder logs under its own category, "qv." followed by the folder's path ("qv.sync",
// "qv.core.document"), declared in a small header of its own; QT_LOGGING_RULES switches them.
// Debug lines are off unless a rule turns them on.

namespace qv {

// "qv.milestones": moments of a run that a timing from outside waits for (the window's first
// frame, the end of a whole sync). Off unless QT_LOGGING_RULES="qv.milestones.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcMilestones)

// Stands in for the user's own text in a log line: its length, never the text.
QString redacted(const QString& text);

// Collects the program's log lines (the "qv." categories, every level on) for the lifetime of
// the object instead of printing them (tests). Lines of other categories pass on. An inner
// capture takes the lines of its own scope; the outer one goes on collecting after it.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The messages as written, without category or level.
    const QStringList& lines() const { return m_lines; }
    bool contains(const QString& exactLine) const { return m_lines.contains(exactLine); }
    int count(const QString& exactLine) const { return int(m_lines.count(exactLine)); }
    // The lines of one level only.
    QStringList lines(QtMsgType type) const;
    void clear();

private:
    friend struct LogCaptureAccess;
    LogCapture* m_outer = nullptr;
    QStringList m_lines;
    QList<QtMsgType> m_types;
};

} // namespace qv
