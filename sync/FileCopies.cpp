// The copies of attachments kept for opening. A copy is the user's to edit once opened, so one
// is removed only while it still holds what was downloaded into it, and only once a newer copy
// is in place.
#include "core/model/ItemFile.h"
#include "sync/FileManager.h"
#include "sync/SyncLogging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <sys/stat.h>

namespace qv {

namespace {

const QString kName = QStringLiteral("name");
const QString kSize = QStringLiteral("size");
const QString kSha256 = QStringLiteral("sha256");

// Beside the copy's folder, so that the folder holds only what the user sees.
QString recordOf(const QString& folder)
{
    return folder + QStringLiteral(".downloaded");
}

bool holds(const QString& path, qint64 size, const QByteArray& sha256)
{
    QFile file(path);
    if (file.size() != size || !file.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    return digest.addData(&file) && digest.result() == sha256;
}

} // namespace

bool FileManager::downloadCopy(ItemFile* file, std::function<void(const QString& path)> success,
                               Failure failure)
{
    const std::optional<QString> name = file ? safeFileName(file->filename()) : std::nullopt;
    const QString folder = name ? cacheFolderForFile(file) : QString();
    if (folder.isEmpty())
        return false;
    // A copy already there is the user's: it is handed over, never fetched over.
    if (const QString copy = QDir(folder).filePath(*name); QFileInfo::exists(copy)) {
        if (success)
            success(copy);
        return true;
    }
    const qint64 idd = file->idd();
    return download(
        file, folder,
        [idd, folder, name = *name, success = std::move(success)](const Received& received) {
            noteCachedCopy(folder, name, received);
            const QFileInfo copy(folder);
            forgetCopiesIn(copy.path(), idd, copy.fileName());
            if (success)
                success(QDir(folder).filePath(name));
        },
        std::move(failure));
}

void FileManager::noteCachedCopy(const QString& folder, const QString& name, const Received& received)
{
    QSaveFile record(recordOf(folder));
    if (!record.open(QIODevice::WriteOnly)) {
        qCWarning(lcSync, "The record of a downloaded copy cannot be written");
        return;
    }
    ::fchmod(record.handle(), S_IRUSR | S_IWUSR);
    record.write(QJsonDocument(QJsonObject{{kName, name},
                                           {kSize, received.size},
                                           {kSha256, QString::fromLatin1(received.sha256.toHex())}})
                     .toJson(QJsonDocument::Compact));
    if (!record.commit())
        qCWarning(lcSync, "The record of a downloaded copy cannot be written");
}

bool FileManager::removeUnchangedCopy(const QString& folder)
{
    QFile record(recordOf(folder));
    if (record.open(QIODevice::ReadOnly)) {
        const QJsonObject noted = QJsonDocument::fromJson(record.readAll()).object();
        record.close();
        const QString name = noted.value(kName).toString();
        if (safeFileName(name) != name)
            return false;
        const QString copy = QDir(folder).filePath(name);
        if (QFileInfo::exists(copy)) {
            if (!holds(copy, noted.value(kSize).toInteger(-1),
                       QByteArray::fromHex(noted.value(kSha256).toString().toLatin1())) ||
                !QFile::remove(copy))
                return false;
        }
        QFile::remove(record.fileName());
    }
    // Only an empty folder goes: anything else in it (an editor's own files, a copy from before
    // downloads were noted) may be the user's.
    return QDir().rmdir(folder) || !QFileInfo::exists(folder);
}

void FileManager::forgetCachedCopies(const TODOItem* item, qint64 idd, const QString& keep)
{
    forgetCopiesIn(cacheFolderForItem(item), idd, keep);
}

void FileManager::forgetCopiesIn(const QString& itemFolder, qint64 idd, const QString& keep)
{
    if (itemFolder.isEmpty())
        return;
    const QDir base(itemFolder);
    const QStringList copies =
        base.entryList({QStringLiteral("%1-*").arg(idd)}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : copies) {
        if (name != keep && !removeUnchangedCopy(base.filePath(name)))
            qCInfo(lcSync, "A copy of attachment %lld may hold changes made here: it stays", idd);
    }
}

} // namespace qv
