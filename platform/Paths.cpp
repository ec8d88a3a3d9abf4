#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

QString createdFolder(QStandardPaths::StandardLocation base, const QString& below)
{
    const QString root = QStandardPaths::writableLocation(base);
    if (root.isEmpty())
        return {};
    const QString path = root + below;
    return Paths::makePrivateFolder(path) ? path : QString();
}

QString refuse(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return {};
}

} // namespace

bool Paths::makePrivateFolder(const QString& path)
{
    QStringList missing;
    for (QString folder = QDir::cleanPath(QDir(path).absolutePath()); !QFileInfo::exists(folder);
         folder = QFileInfo(folder).path()) {
        missing.prepend(folder);
        if (folder == QFileInfo(folder).path())
            break;
    }
    for (const QString& folder : missing) {
        const QByteArray native = QFile::encodeName(folder);
        if (::mkdir(native.constData(), 0700) == 0)
            ::chmod(native.constData(), 0700); // through the umask, mkdir may give less, never more
        else if (errno != EEXIST)
            return false;
    }
    return QFileInfo(path).isDir();
}

QString Paths::applicationSupport()
{
    return createdFolder(QStandardPaths::GenericDataLocation, QStringLiteral("/Velmora/Quadrivo/"));
}

QString Paths::caches()
{
    return createdFolder(QStandardPaths::GenericCacheLocation, QStringLiteral("/Quadrivo"));
}

QString Paths::temporaryBase(QString* error)
{
    // The shared temporary folder is writable by everyone, so a folder already standing at
    // our name may have been planted; it is used only when it is plainly ours and private.
    const uid_t uid = ::geteuid();
    const QString path = QDir::tempPath() + QStringLiteral("/Quadrivo-%1").arg(uid);
    const QByteArray native = QFile::encodeName(path);

    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (errno != ENOENT)
            return refuse(error, QStringLiteral("Cannot inspect %1: %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        if (::mkdir(native.constData(), 0700) == 0) {
            // mkdir's mode passes through the umask; make it exactly 0700.
            ::chmod(native.constData(), 0700);
        } else if (errno != EEXIST) {
            return refuse(error, QStringLiteral("Cannot create %1: %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        }
        if (::lstat(native.constData(), &info) != 0)
            return refuse(error, QStringLiteral("Cannot inspect %1: %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }

    if (S_ISLNK(info.st_mode))
        return refuse(error, QStringLiteral("Refusing %1: it is a symbolic link").arg(path));
    if (!S_ISDIR(info.st_mode))
        return refuse(error, QStringLiteral("Refusing %1: it is not a folder").arg(path));
    if (info.st_uid != uid)
        return refuse(error, QStringLiteral("Refusing %1: it belongs to user %2").arg(path).arg(info.st_uid));
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(error, QStringLiteral("Refusing %1: others can write to it").arg(path));
    if ((info.st_mode & 07777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return refuse(error, QStringLiteral("Cannot make %1 private: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return path;
}

} // namespace qv
