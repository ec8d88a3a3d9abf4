#include "platform/Log.h"

#include <QRecursiveMutex>

#include <cstring>

namespace qv {

Q_LOGGING_CATEGORY(lcMilestones, "qv.milestones", QtWarningMsg)

QString redacted(const QString& text)
{
    return QStringLiteral("<%1 chars>").arg(text.size());
}

struct LogCaptureAccess {
    // Recursive so a handler further down that logs again does not deadlock.
    static QRecursiveMutex& mutex()
    {
        static QRecursiveMutex m;
        return m;
    }
    static LogCapture*& innermost()
    {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static QtMessageHandler& previousHandler()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static QLoggingCategory::CategoryFilter& previousFilter()
    {
        static QLoggingCategory::CategoryFilter filter = nullptr;
        return filter;
    }

    static bool isOurs(const char* category) { return category && std::strncmp(category, "qv.", 3) == 0; }

    static void filter(QLoggingCategory* category)
    {
        if (previousFilter())
            previousFilter()(category);
        if (isOurs(category->categoryName())) {
            for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
                category->setEnabled(type, true);
        }
    }

    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        {
            QMutexLocker locker(&mutex());
            if (LogCapture* capture = innermost(); capture && isOurs(context.category)) {
                capture->m_lines.append(message);
                capture->m_types.append(type);
                return;
            }
        }
        if (QtMessageHandler previous = previousHandler())
            previous(type, context, message);
    }
};

LogCapture::LogCapture()
{
    QMutexLocker locker(&LogCaptureAccess::mutex());
    m_outer = LogCaptureAccess::innermost();
    LogCaptureAccess::innermost() = this;
    if (!m_outer) {
        LogCaptureAccess::previousHandler() = qInstallMessageHandler(&LogCaptureAccess::handler);
        LogCaptureAccess::previousFilter() = QLoggingCategory::installFilter(&LogCaptureAccess::filter);
    }
}

LogCapture::~LogCapture()
{
    QMutexLocker locker(&LogCaptureAccess::mutex());
    LogCaptureAccess::innermost() = m_outer;
    if (!m_outer) {
        QLoggingCategory::installFilter(LogCaptureAccess::previousFilter());
        qInstallMessageHandler(LogCaptureAccess::previousHandler());
    }
}

QStringList LogCapture::lines(QtMsgType type) const
{
    QStringList out;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_types[i] == type)
            out << m_lines[i];
    }
    return out;
}

void LogCapture::clear()
{
    QMutexLocker locker(&LogCaptureAccess::mutex());
    m_lines.clear();
    m_types.clear();
}

} // namespace qv
