#pragma once

#include "platform/Services.h"
#include "platform/store/Context.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QImage;

namespace qv {

class FileManager;
class ItemFile;
class TODOItem;

// The Files tab of the item drawer, without its widgets: the item's attachments as a list
// ordered by name, and what the user does with them (upload from a dialog, drops of files and
// of image addresses, screen captures, download, open, delete, rename, links). Every server
// operation goes through the file manager; questions go through the services' alerts.
class ItemFilesController final : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QString name;
        QString url;
        qint64 idd = 0;
        bool operator==(const Entry&) const = default;
    };
    // Opens a local file with the desktop's default application.
    using Opener = std::function<void(const QString& path)>;
    // Puts a text on the clipboard.
    using Clipboard = std::function<void(const QString& text)>;

    // syncOrigin: the sync server's origin (for the private links).
    ItemFilesController(const Services& services, FileManager& files, const QString& syncOrigin,
                        Opener opener, Clipboard clipboard, QObject* parent = nullptr);
    ~ItemFilesController() override;

    void setItem(TODOItem* item);
    TODOItem* item() const { return m_item; }
    const std::vector<Entry>& entries() const { return m_entries; }
    void reloadData();

    // Uploads each file to the item, asking before an attachment of the same name is replaced.
    void uploadFiles(const QStringList& paths, const std::function<void(ItemFile*)>& uploaded = {});
    // Dropped file paths: folders are refused, the files uploaded.
    void dropFiles(const QStringList& paths);
    // A dropped text that forms an address: an image there becomes an attachment.
    void dropText(const QString& text);
    // A captured screen image becomes an attachment; the file written for it is removed after.
    void uploadCapture(const QImage& image);

    void downloadFiles(const std::vector<int>& rows, const QString& folder);
    // Opens the attachment, from the item's cache when it was downloaded before.
    void openFile(int row);
    // Opens this computer's copy of any item's attachment, downloading it first when there is none.
    void openItemFile(ItemFile* file);
    void deleteFiles(const std::vector<int>& rows);
    // The name edited in place; asks before the rename (later, on the main loop).
    void renameFile(int row, const QString& newName);
    void copyPrivateLink(int row);
    void copyPublicLink(int row);
    void copyLink(const QString& text);

signals:
    void entriesChanged();
    // A short text for the status line ("Copied: ...").
    void statusMessage(const QString& text);

private:
    ItemFile* fileAt(int row) const;
    std::vector<Entry> entriesOfItem() const;
    void observeItemContext();

    Services m_services;
    FileManager& m_files;
    QString m_origin;
    Opener m_opener;
    Clipboard m_clipboard;
    TODOItem* m_item = nullptr;
    std::vector<Entry> m_entries;
    store::ChangeObservation m_observation;
    QObject m_lifetime; // context of the posted calls
};

} // namespace qv
