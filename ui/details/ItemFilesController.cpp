#include "ui/details/ItemFilesController.h"

#include "core/document/StoreFiles.h"
#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"
#include "sync/FileManager.h"
#include "ui/details/DetailsLogging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QUrl>

#include <algorithm>
#include <memory>

#include <sys/stat.h>

namespace qv {

namespace {

constexpr qsizetype kLongestStatus = 60;

// Removes the folder made for one temporary file with it.
void removeTemporary(const QString& path)
{
    QFile::remove(path);
    QDir().rmdir(QFileInfo(path).path());
}

} // namespace

ItemFilesController::ItemFilesController(const Services& services, FileManager& files,
                                         const QString& syncOrigin, Opener opener, Clipboard clipboard,
                                         QObject* parent)
    : QObject(parent), m_services(services), m_files(files), m_origin(syncOrigin),
      m_opener(std::move(opener)), m_clipboard(std::move(clipboard))
{
    m_services.notifications->addObserver(this, kNotificationFileUploaded,
                                          [this](const Notification&) { reloadData(); });
}

ItemFilesController::~ItemFilesController()
{
    m_observation.stop();
    m_services.notifications->removeObserver(this);
}

void ItemFilesController::setItem(TODOItem* item)
{
    m_item = item;
    observeItemContext();
    reloadData();
}

std::vector<ItemFilesController::Entry> ItemFilesController::entriesOfItem() const
{
    std::vector<Entry> entries;
    if (m_item && !m_item->isDeleted()) {
        for (const ItemFile* file : m_item->files())
            entries.push_back({file->filename(), file->url(), file->idd()});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.name.localeAwareCompare(b.name) < 0; });
    return entries;
}

void ItemFilesController::reloadData()
{
    m_entries = entriesOfItem();
    emit entriesChanged();
}

void ItemFilesController::observeItemContext()
{
    // A sync merge adds, renames and removes attachments of the item shown. The list is rebuilt
    // only when what it shows changed, so that the grid keeps its selection and a name being
    // edited through every other change.
    m_observation.observe(m_item ? m_item->context() : nullptr, [this](const store::ChangeEvent& event) {
        if (!m_item)
            return;
        if (std::find(event.deleted.begin(), event.deleted.end(), m_item) != event.deleted.end())
            m_item = nullptr;
        const auto isFile = [](const store::ManagedObject* object) {
            return store::as<ItemFile>(object) != nullptr;
        };
        const bool concernsFiles = !m_item || event.changedKeys.contains(m_item) ||
                                   std::any_of(event.inserted.begin(), event.inserted.end(), isFile) ||
                                   std::any_of(event.updated.begin(), event.updated.end(), isFile) ||
                                   std::any_of(event.deleted.begin(), event.deleted.end(), isFile);
        if (!concernsFiles)
            return;
        std::vector<Entry> entries = entriesOfItem();
        if (entries == m_entries)
            return;
        m_entries = std::move(entries);
        emit entriesChanged();
    });
}

ItemFile* ItemFilesController::fileAt(int row) const
{
    if (!m_item || row < 0 || size_t(row) >= m_entries.size() || m_entries[size_t(row)].idd <= 0)
        return nullptr;
    return ItemFile::findWithID(m_entries[size_t(row)].idd, *m_item->context(), m_item);
}

void ItemFilesController::uploadFiles(const QStringList& paths,
                                      const std::function<void(ItemFile*)>& uploaded)
{
    if (!m_item)
        return;
    QHash<QString, ItemFile*> byName;
    for (ItemFile* file : m_item->files())
        byName.insert(file->filename(), file);
    bool queued = false;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        ItemFile* replaced = byName.value(name);
        if (replaced && !m_services.alerts->confirm(Alerts::Question::destructive(
                            QStringLiteral("Do you want to overwrite the file '%1'?").arg(name),
                            QStringLiteral("The overwritten file cannot be recovered"),
                            {QStringLiteral("Cancel"), QStringLiteral("Yes")}, Alerts::SafeButton(0))))
            continue;
        // Offline, the file waits like every other upload rather than being dropped.
        if (!m_files.isOnline()) {
            queued = m_files.queueUploadFileAt(path, m_item, replaced) || queued;
            continue;
        }
        const auto failed = [](const std::optional<rest::Error>& error) {
            qCWarning(lcDetails, "%s", error ? qUtf8Printable(error->message) : "upload refused");
        };
        const bool started = replaced ? m_files.uploadFileAt(path, replaced, false, uploaded, failed)
                                      : m_files.uploadFileAt(path, m_item, false, uploaded, failed);
        if (!started)
            qCWarning(lcDetails, "upload not started");
    }
    if (queued)
        m_files.showMessage(
            QStringLiteral("You are offline at this moment. The file will be uploaded when the "
                           "app is online."),
            true);
}

void ItemFilesController::dropFiles(const QStringList& paths)
{
    QStringList files;
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            qCInfo(lcDetails, "Is directory");
            m_services.alerts->alert(
                QStringLiteral("Dragging a folder?"),
                QStringLiteral("Please, drag the files inside the folder instead of the folder."),
                QStringLiteral("Ok"));
            continue;
        }
        files << path;
    }
    uploadFiles(files);
}

void ItemFilesController::dropText(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || !m_item)
        return;
    m_files.downloadURL(url, [this, url](const QByteArray& data, const QString& mimeType) {
        if (!mimeType.contains(QLatin1String("image"))) {
            m_services.alerts->alert(QStringLiteral("Problem with the URL"),
                                     QStringLiteral("It isn't an image"), QStringLiteral("Ok"));
            return;
        }
        const QString name = FileManager::safeFileName(url.fileName()).value_or(QStringLiteral("image"));
        const QString path = StoreFiles::pathForTemporaryFileWithName(name);
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
            qCWarning(lcDetails, "Problem writing the dropped image");
            return;
        }
        file.close();
        uploadFiles({path}, [path](ItemFile*) { removeTemporary(path); });
    });
}

void ItemFilesController::uploadCapture(const QImage& image)
{
    if (!m_item || image.isNull())
        return;
    const QString name =
        QStringLiteral("Screen Shot %1.png")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd 'at' h.mm.ss AP")));
    // Our own temporary folder is readable by us only; the shot goes once it is uploaded.
    const QString path = StoreFiles::pathForTemporaryFileWithName(name);
    if (path.isEmpty() || !image.save(path, "PNG")) {
        qCWarning(lcDetails, "Problem writing file to the temporary folder");
        return;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    auto done = std::make_shared<bool>(false);
    const auto cleanUp = [path, done] {
        if (!std::exchange(*done, true))
            removeTemporary(path);
    };
    const bool started = m_files.uploadFileAt(
        path, m_item, false, [cleanUp](ItemFile*) { cleanUp(); },
        [cleanUp](const std::optional<rest::Error>&) {
            qCWarning(lcDetails, "screen shot not uploaded");
            cleanUp();
        });
    if (!started)
        cleanUp();
}

void ItemFilesController::downloadFiles(const std::vector<int>& rows, const QString& folder)
{
    for (int row : rows) {
        ItemFile* file = fileAt(row);
        const auto name = file ? FileManager::safeFileName(file->filename()) : std::nullopt;
        if (!name)
            continue;
        // The download is written for us alone; in a folder the user picked it is the user's own
        // file, readable as the user's other new files are.
        m_files.downloadItemFile(file, folder, [path = QDir(folder).filePath(*name)] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::chmod(QFile::encodeName(path).constData(), 0666 & ~mask) != 0)
                qCWarning(lcDetails, "A downloaded file keeps its private permissions");
        });
    }
}

void ItemFilesController::openFile(int row)
{
    openItemFile(fileAt(row));
}

void ItemFilesController::openItemFile(ItemFile* file)
{
    if (!file || !file->item())
        return;
    // Looked up by the attachment's identity, never by its name alone; fetched only when this
    // computer has no copy of that version yet.
    m_files.downloadCopy(file, [this](const QString& copy) { m_opener(copy); });
}

void ItemFilesController::deleteFiles(const std::vector<int>& rows)
{
    std::vector<ItemFile*> selected;
    for (int row : rows)
        if (row >= 0 && size_t(row) < m_entries.size())
            selected.push_back(fileAt(row));
    if (rows.empty() || size_t(rows.front()) >= m_entries.size())
        return;
    QString question = QStringLiteral("Are you sure you want to delete the file '%1'")
                           .arg(m_entries[size_t(rows.front())].name);
    if (rows.size() > 1)
        question += QStringLiteral(" and %1 others?").arg(rows.size() - 1);
    if (!m_services.alerts->confirm(Alerts::Question::destructive(
            question, QStringLiteral("Deleted files cannot be recovered."),
            {QStringLiteral("No"), QStringLiteral("Yes")}, Alerts::SafeButton(0))))
        return;
    for (ItemFile* file : selected)
        if (file)
            m_files.deleteItemFile(file, [this] { reloadData(); });
}

void ItemFilesController::renameFile(int row, const QString& newName)
{
    if (row < 0 || size_t(row) >= m_entries.size())
        return;
    ItemFile* file = fileAt(row);
    if (!file) {
        qCWarning(lcDetails, "null id for file that is being renamed");
        return;
    }
    if (newName == file->filename())
        return;
    m_services.scheduler->post(&m_lifetime, [this, file, newName] {
        if (!m_services.alerts->confirm(Alerts::Question::destructive(
                QStringLiteral("File renaming"),
                QStringLiteral("Are you sure you want to rename the file '%1' to '%2'")
                    .arg(file->filename(), newName),
                {QStringLiteral("No"), QStringLiteral("Yes")}, Alerts::SafeButton(0))))
            return;
        const qint64 idd = file->idd();
        m_files.renameItemFile(
            file, newName,
            [this, idd, file] {
                qCInfo(lcDetails, "Successful renaming");
                // The entry takes the name the server gave; the list is not read again.
                for (Entry& entry : m_entries)
                    if (entry.idd == idd)
                        entry.name = file->filename();
                emit entriesChanged();
            },
            [](const std::optional<rest::Error>&) { qCWarning(lcDetails, "renaming failed"); });
    });
}

void ItemFilesController::copyPrivateLink(int row)
{
    if (row < 0 || size_t(row) >= m_entries.size())
        return;
    QString origin = m_origin;
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    copyLink(QStringLiteral("%1/api/v1/file/%2/file/").arg(origin).arg(m_entries[size_t(row)].idd));
}

void ItemFilesController::copyPublicLink(int row)
{
    if (row < 0 || size_t(row) >= m_entries.size())
        return;
    QString url = m_entries[size_t(row)].url;
    if (url.startsWith(QLatin1String("//")))
        url.prepend(QStringLiteral("https:"));
    copyLink(url);
}

void ItemFilesController::copyLink(const QString& text)
{
    m_clipboard(text);
    QString status = QStringLiteral("Copied: %1").arg(text);
    if (status.size() > kLongestStatus)
        status = QStringLiteral("%1 [...]").arg(status.left(kLongestStatus));
    emit statusMessage(status);
}

} // namespace qv
