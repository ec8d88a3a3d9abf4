// Attachment names as the server (or a teammate) gives them: each becomes the name of a file in
// the item's cache folder or the folder the user chose with "Download…", and a dropped image's
// name becomes one in a fresh temporary folder. Each input is read both as UTF-8 and as UTF-16,
// which carries what JSON escapes can hold (NUL, lone surrogates).
#include "core/document/StoreFiles.h"
#include "fuzz/FuzzSupport.h"
#include "sync/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstring>

using namespace qv;

namespace {

bool isEmptyFolder(const QString& folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .isEmpty();
}

// Written as a download writes: the file lands in the folder under the path it is opened by
// later, or the write fails and says why, leaving nothing behind.
void download(const QString& folder, const QString& serverName)
{
    const std::optional<QString> name = FileManager::safeFileName(serverName);
    if (!name) {
        const QString last = serverName.section(QLatin1Char('/'), -1);
        fuzz::require(last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."),
                      "only a name that leaves no file name is refused");
        return;
    }
    fuzz::require(!name->isEmpty() && !name->contains(QLatin1Char('/')) && !name->contains(QChar(0)),
                  "a file name is one path component");
    const QString path = QDir(folder).filePath(*name);
    fuzz::require(QFileInfo(path).absolutePath() == folder, "the file's path is inside the folder");
    {
        QSaveFile target(path);
        if (!target.open(QIODevice::WriteOnly) || target.write("content") != 7 || !target.commit()) {
            fuzz::require(!target.errorString().isEmpty(), "a failed write says why");
            fuzz::require(isEmptyFolder(folder), "a failed write leaves nothing behind");
            return;
        }
    }
    QFile written(path);
    fuzz::require(written.open(QIODevice::ReadOnly) && written.readAll() == "content",
                  "a written download is read back from its path");
    written.close();
    fuzz::require(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size() == 1,
                  "a download writes one file into the folder");
    fuzz::require(QFile::remove(path) && isEmptyFolder(folder), "the download is the file at its path");
}

// A dropped image: a path inside a fresh folder of the private temporary folder.
void temporary(const QString& base, const QString& serverName)
{
    const QString path = StoreFiles::pathForTemporaryFileWithName(serverName);
    // No name: the fresh folder itself.
    const QString fresh = serverName.isEmpty() ? path : QFileInfo(path).absolutePath();
    fuzz::require(QFileInfo(fresh).absolutePath() == base, "a temporary file stays in its own folder");
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.close();
        fuzz::require(QFileInfo::exists(path), "a temporary file is found at its path");
    }
    QDir(fresh).removeRecursively();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir root;
    static const QString folder = [] {
        const QString path = QFileInfo(root.filePath(QStringLiteral("downloads"))).absoluteFilePath();
        QDir().mkpath(path);
        // The temporary folder is read from the environment at each call.
        qputenv("TMPDIR", QFile::encodeName(root.path()));
        return path;
    }();
    static const QString base = StoreFiles::pathForTemporaryDirectory();
    fuzz::require(!base.isEmpty(), "the private temporary folder is made");

    QString utf16(qsizetype(size / 2), Qt::Uninitialized);
    if (!utf16.isEmpty())
        std::memcpy(utf16.data(), data, size / 2 * sizeof(QChar));
    for (const QString& name : {fuzz::textOf(data, size), utf16}) {
        download(folder, name);
        temporary(QFileInfo(base).absoluteFilePath(), name);
    }
    return 0;
}
