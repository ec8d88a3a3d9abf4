#include "platform/store/StoreCopy.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv::store {

namespace {

constexpr int kBusyTimeoutMs = 5000;

bool fail(StoreError* error, const QString& destination, const QString& why)
{
    if (error) {
        error->code = StoreError::Code::Io;
        error->message = QStringLiteral("%1 could not be written: %2").arg(destination, why);
    }
    return false;
}

} // namespace

bool copyStoreFile(const QString& sourcePath, const QString& destinationPath, StoreError* error)
{
    const QString source = QFileInfo(sourcePath).absoluteFilePath();
    const QString destination = QFileInfo(destinationPath).absoluteFilePath();
    if (source == destination)
        return fail(error, destination, QStringLiteral("a store cannot be copied onto itself"));

    const QString partial = destination + QStringLiteral(".part");
    const QByteArray partialName = QFile::encodeName(partial);
    ::unlink(partialName.constData());
    // Made here, so that it is the user's alone from its first byte.
    const int fd = ::open(partialName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        // What could not be removed above (a folder of that name, say) is what stands in the way.
        const int why = errno;
        return fail(error, destination,
                    why == EEXIST
                        ? QStringLiteral("%1 is in the way").arg(partial)
                        : QStringLiteral("%1: %2").arg(partial, QString::fromLocal8Bit(std::strerror(why))));
    }
    ::close(fd);

    sqlite3* in = nullptr;
    sqlite3* out = nullptr;
    QString failure;
    int rc = sqlite3_open_v2(QFile::encodeName(source).constData(), &in,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        failure = QString::fromUtf8(sqlite3_errmsg(in));
    } else {
        sqlite3_busy_timeout(in, kBusyTimeoutMs);
        rc = sqlite3_open_v2(partialName.constData(), &out, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
        sqlite3_backup* backup = rc == SQLITE_OK ? sqlite3_backup_init(out, "main", in, "main") : nullptr;
        if (!backup) {
            failure = QString::fromUtf8(sqlite3_errmsg(out));
        } else {
            // One step: the whole copy comes from one read snapshot.
            rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE)
                failure = QString::fromUtf8(sqlite3_errstr(rc));
        }
    }
    if (out && sqlite3_close(out) != SQLITE_OK && failure.isEmpty())
        failure = QStringLiteral("the copy could not be closed");
    sqlite3_close(in);

    if (failure.isEmpty()) {
        // A log left by an earlier file of that name must not be replayed onto the copy.
        QFile::remove(destination + QStringLiteral("-wal"));
        QFile::remove(destination + QStringLiteral("-shm"));
        if (std::rename(partialName.constData(), QFile::encodeName(destination).constData()) != 0)
            failure = QStringLiteral("the copy could not be moved into place: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!failure.isEmpty()) {
        ::unlink(partialName.constData());
        QFile::remove(partial + QStringLiteral("-journal"));
        return fail(error, destination, failure);
    }
    if (error)
        *error = {};
    return true;
}

} // namespace qv::store
