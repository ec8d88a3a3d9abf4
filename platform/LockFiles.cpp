#include "platform/LockFiles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcLockFiles, "qv.platform", QtInfoMsg)

// Far longer than a live owner takes between creating the file and writing to it.
constexpr qint64 kOwnerWriteMs = 100;

bool isEmptyFile(QFileInfo& info)
{
    info.refresh();
    return info.exists() && info.isFile() && info.size() == 0;
}

} // namespace

bool removeOwnerlessLockFile(const QString& path)
{
    QFileInfo info(path);
    if (!isEmptyFile(info))
        return false;
    const qint64 age = info.lastModified().msecsTo(QDateTime::currentDateTime());
    if (age >= 0 && age < kOwnerWriteMs)
        QThread::msleep(static_cast<unsigned long>(kOwnerWriteMs - age));
    if (!isEmptyFile(info))
        return false;
    qCInfo(lcLockFiles, "Removing a lock file its owner never wrote to");
    return QFile::remove(path);
}

} // namespace qv
