#pragma once

#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/rest/RestTypes.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>

class QNetworkAccessManager;

namespace qv {

class AccountProfile;
class ItemFile;
class QVRestManager;
class TODOItem;

namespace rest {
class RequestQueue;
}

// Posted after an upload succeeded; user info "fileID": the attachment's server identifier.
inline const QString kNotificationFileUploaded = QStringLiteral("kNotificationFileUploaded");

// Moves item attachments between this computer and the server's file resource: uploads (a
// multipart POST, checked first against the account's limits and quota), downloads into a
// folder, deletes and renames, one request at a time. Files of items that are not on the server
// yet wait in a queue of pending uploads that is tried every 5 s. It publishes a status text and
// a percentage (the transfer's progress, or the share of the quota in use) for views to show;
// each message stays 5 s after the last one.
//
// An upload in flight is written down (in the preferences) until its reply is taken in, so that
// one cut short by a crash or a quit is finished at the next start: taken from the item's
// attachments when it reached the server, sent again otherwise.
//
// Files stream from and to disk, so a transfer's memory does not grow with the file. A download
// goes to a temporary name in the folder and takes the attachment's name only once complete.
class FileManager final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kProcessIntervalMs = 5'000;
    static constexpr qint64 kMessageLifetimeMs = 5'000;
    static constexpr double kMegabyte = 1024.0 * 1024.0;
    static inline const QString kAlwaysUpload = QStringLiteral("_always_upload_url_file");
    static inline const QString kSupportAddress = QStringLiteral("support@velmora.com");
    static inline const QString kUploadsInFlight = QStringLiteral("_file_uploads_in_flight");

    using FileSuccess = std::function<void(ItemFile* file)>;
    using Success = std::function<void()>;
    // nullopt: the server's reply was refused or unusable; otherwise the transfer's failure.
    using Failure = std::function<void(const std::optional<rest::Error>& error)>;
    using DataSuccess = std::function<void(const QByteArray& data, const QString& mimeType)>;
    using DataFailure = std::function<void(const QString& error)>;

    // profile may be null (no user ever known); the engine must outlive the manager.
    FileManager(QVRestManager& engine, AccountProfile* profile);
    ~FileManager() override;

    // Uploads the file as a new attachment of the item, or as the new content of replaced.
    // false when nothing was sent (the reason is shown).
    bool uploadFileAt(const QString& path, TODOItem* item, bool overwrite, FileSuccess success = {},
                      Failure failure = {});
    bool uploadFileAt(const QString& path, ItemFile* replaced, bool overwrite, FileSuccess success = {},
                      Failure failure = {});
    bool checkUploadConstraints(const QString& path);
    bool downloadItemFile(ItemFile* file, const QString& folder, Success success = {}, Failure failure = {});
    // The attachment's copy for opening (cacheFolderForFile), downloaded when there is none yet,
    // noting what came (FileCopies.cpp); a copy already there is handed over as it is. Once a
    // new copy is in place, the item's older copies of the attachment are forgotten
    // (forgetCachedCopies). success gets the copy's path.
    bool downloadCopy(ItemFile* file, std::function<void(const QString& path)> success = {},
                      Failure failure = {});
    bool deleteItemFile(ItemFile* file, Success success = {}, Failure failure = {});
    bool renameItemFile(ItemFile* file, const QString& newName, Success success = {}, Failure failure = {});
    // Any web address, outside the queue.
    void downloadURL(const QUrl& url, DataSuccess success, DataFailure failure = {});
    // Offline, a file the user picked waits with the uploads in flight (so a quit loses it not)
    // and goes once the app is online; false when it cannot wait (the item is not on the server).
    bool queueUploadFileAt(const QString& path, TODOItem* item, ItemFile* replaced);
    // Whether a transfer can start now.
    bool isOnline() const;
    // Queues the upload of the file the item's link names, for when the item is on the server;
    // nothing without a sync server.
    void uploadURLFileForUnsyncedItem(TODOItem* item, FileSuccess success = {});
    // Drains the pending uploads and finishes the uploads an earlier run left in flight.
    void processOperations();
    // Asks before a file from outside is uploaded (unless always allowed); false without asking
    // when there is no sync server.
    bool askUploadFile(const QString& fileName);
    ItemFile* findFileWithID(qint64 idd);
    void cancelAll();

    void showMessage(const QString& text, bool alert = false);
    void displayRemainingQuota();
    void updateQuotaWithDelta(double bytes);

    // A server-supplied name as an ordinary name inside a folder (StoreFiles::ordinaryFileName);
    // nullopt for a name that would leave none ("", ".", "..").
    static std::optional<QString> safeFileName(const QString& name);
    // Where the item's attachments are kept once downloaded for opening (user-only).
    static QString cacheFolderForItem(const TODOItem* item);
    // The folder of one attachment's copy for opening, inside its item's: named by the server's
    // identity and time stamp of the attachment, so that two attachments of one (cleaned) name
    // never share a copy and one replaced elsewhere is fetched anew. The copy keeps the shown name.
    static QString cacheFolderForFile(const ItemFile* file);
    // Removes the kept copies of the item's attachment idd, but for the folder named keep, that
    // still hold exactly what was downloaded into them. A copy changed here, or one of unknown
    // origin, may hold the user's edits: it stays.
    static void forgetCachedCopies(const TODOItem* item, qint64 idd, const QString& keep = {});

    QString operationMessage() const { return m_operationMessage; }
    QString upDownOperationMessage() const { return m_upDownOperationMessage; }
    std::optional<double> pctg() const { return m_pctg; }
    std::optional<double> upDownPctg() const { return m_upDownPctg; }
    int pendingUploadCount() const { return int(m_operationsQueue.size()); }
    int pendingRequestCount() const;

signals:
    // Any of the status texts or percentages changed.
    void statusChanged();

private:
    struct PendingUpload {
        TODOItem* item = nullptr;
        FileSuccess success;
    };
    // What a download wrote: its length and SHA-256.
    struct Received {
        qint64 size = 0;
        QByteArray sha256;
    };
    bool upload(const QString& path, TODOItem* item, ItemFile* replaced, bool overwrite, FileSuccess success,
                Failure failure);
    bool download(ItemFile* file, const QString& folder, std::function<void(const Received&)> success,
                  Failure failure);
    // The copies for opening (FileCopies.cpp).
    static void noteCachedCopy(const QString& folder, const QString& name, const Received& received);
    static bool removeUnchangedCopy(const QString& folder);
    static void forgetCopiesIn(const QString& itemFolder, qint64 idd, const QString& keep);
    bool gate();
    void enqueue(rest::Request request, const QString& start, const QString& done);
    void uploaded(TODOItem* item, ItemFile* replaced, const rest::Response& response,
                  const FileSuccess& success, const Failure& failure);
    QString withPendingCount(const QString& text) const;
    void setTexts(const QString& text);
    void progress(qint64 done, qint64 total);
    std::optional<QJsonObject> profile() const;
    // The uploads in flight (FileUploadJournal.cpp).
    QString writeDownUpload(const QString& path, TODOItem* item, ItemFile* replaced, bool overwrite,
                            bool sent = true);
    void crossOffUpload(const QString& ticket);
    void resumeUploads();
    void resumeUpload(const QString& ticket, const QVariantMap& entry, TODOItem* item);

    QVRestManager& m_engine;
    Services m_services;
    AccountProfile* m_profile;
    std::unique_ptr<rest::RequestQueue> m_queue;
    QNetworkAccessManager* m_web = nullptr;
    std::deque<PendingUpload> m_operationsQueue;
    bool m_processingOperations = false;
    // Uploads an earlier run left in flight, written down when this one started.
    QVariantMap m_leftInFlight;
    std::set<QString> m_resuming;
    int m_numMessages = 0;
    TimerId m_timer = 0;
    QString m_operationMessage;
    QString m_upDownOperationMessage;
    std::optional<double> m_pctg;
    std::optional<double> m_upDownPctg;
};

} // namespace qv
