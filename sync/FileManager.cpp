#include "sync/FileManager.h"

#include "core/document/StoreFiles.h"
#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/rest/MultipartParams.h"
#include "platform/rest/RequestQueue.h"
#include "platform/store/Context.h"
#include "sync/AccountProfile.h"
#include "sync/ItemUpdaterLoop.h"
#include "sync/QVRestManager.h"
#include "sync/SyncLogging.h"
#include "sync/SyncWindowController.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

#include <sys/stat.h>

#include <algorithm>

namespace qv {

namespace {

const QString kStart = QStringLiteral("start");
const QString kDone = QStringLiteral("success");
const QString kMaxUpload = QStringLiteral("max_upload_size");
const QString kTotalUpload = QStringLiteral("total_upload_size");
const QString kUsedUpload = QStringLiteral("used_upload_size");

// A refused or unusable reply is reported without an error; a transfer failure with it.
std::optional<rest::Error> reported(const rest::Error& error)
{
    if (error.kind == rest::Error::Kind::Http || error.kind == rest::Error::Kind::Parse)
        return std::nullopt;
    return error;
}

} // namespace

FileManager::FileManager(QVRestManager& engine, AccountProfile* profile)
    : m_engine(engine), m_services(engine.services()), m_profile(profile),
      m_queue(std::make_unique<rest::RequestQueue>(&engine.client())), m_web(new QNetworkAccessManager(this))
{
    m_queue->setConcurrentRequestsLimit(1);
    connect(m_queue.get(), &rest::RequestQueue::willSendRequest, this,
            [this](rest::RequestId, const QVariantMap& data) {
                setTexts(withPendingCount(data.value(kStart).toString()));
            });
    connect(m_queue.get(), &rest::RequestQueue::didSendRequest, this,
            [this](rest::RequestId, const QVariantMap& data) {
                setTexts(withPendingCount(data.value(kStart).toString()));
            });
    connect(m_queue.get(), &rest::RequestQueue::didLoadResponse, this,
            [this](rest::RequestId, const QVariantMap& data, const rest::Response& response) {
                showMessage(withPendingCount(response.statusCode < 400 ? data.value(kDone).toString()
                                                                       : QStringLiteral("Failed")));
            });
    connect(m_queue.get(), &rest::RequestQueue::didFailRequest, this,
            [this](rest::RequestId, const QVariantMap& data, const rest::Error&) {
                showMessage(
                    withPendingCount(QStringLiteral("Failed '%1'").arg(data.value(kStart).toString())));
            });
    connect(m_queue.get(), &rest::RequestQueue::didCancelRequest, this,
            [this](rest::RequestId, const QVariantMap& data) {
                showMessage(
                    withPendingCount(QStringLiteral("Canceled '%1'").arg(data.value(kStart).toString())));
            });
    m_queue->start();
    if (m_services.preferences) {
        m_leftInFlight = m_services.preferences->value(kUploadsInFlight).toMap();
        // Signing in or out changes whose quota there is to show: at once, not at the next pass.
        connect(m_services.preferences, &Preferences::changed, this, [this](const QString& key) {
            if (key == SyncWindowController::kCurrentUser)
                displayRemainingQuota();
        });
    }
    m_timer = m_services.scheduler->every(kProcessIntervalMs, this, [this] { processOperations(); });
}

FileManager::~FileManager()
{
    m_services.scheduler->cancel(m_timer);
    m_queue.reset();
}

int FileManager::pendingRequestCount() const
{
    return m_queue->count();
}

std::optional<QString> FileManager::safeFileName(const QString& name)
{
    return StoreFiles::ordinaryFileName(name);
}

QString FileManager::cacheFolderForItem(const TODOItem* item)
{
    return StoreFiles::pathForTemporaryDirectory(QString::number(item->id_()));
}

QString FileManager::cacheFolderForFile(const ItemFile* file)
{
    const TODOItem* item = file ? file->item() : nullptr;
    const QString base = item ? cacheFolderForItem(item) : QString();
    if (base.isEmpty())
        return {};
    const QString folder =
        QDir(base).filePath(QStringLiteral("%1-%2").arg(file->idd()).arg(file->timestamp()));
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

std::optional<QJsonObject> FileManager::profile() const
{
    return m_profile ? m_profile->userProfile() : std::nullopt;
}

bool FileManager::gate()
{
    if (m_engine.canInstantSync())
        return true;
    showMessage(QStringLiteral("Offline"));
    return false;
}

// --- Status

QString FileManager::withPendingCount(const QString& text) const
{
    const int pending = m_queue->count() - m_queue->loadingCount();
    return pending > 0 ? text + QStringLiteral(" (%1 pending)").arg(pending) : text;
}

void FileManager::setTexts(const QString& text)
{
    m_operationMessage = text;
    m_upDownOperationMessage = text;
    emit statusChanged();
}

void FileManager::showMessage(const QString& text, bool alert)
{
    setTexts(text);
    ++m_numMessages;
    m_services.scheduler->after(kMessageLifetimeMs, this, [this] {
        if (--m_numMessages > 0)
            return;
        m_operationMessage.clear();
        m_upDownOperationMessage.clear();
        m_upDownPctg.reset();
        emit statusChanged();
        displayRemainingQuota();
    });
    if (alert && m_services.alerts)
        m_services.alerts->alert(QStringLiteral("Problem with file"), text, QStringLiteral("Ok"));
}

void FileManager::displayRemainingQuota()
{
    if (m_numMessages >= 1 || m_queue->loadingCount() > 0)
        return;
    const std::optional<QJsonObject> known = profile();
    const double total = known ? known->value(kTotalUpload).toDouble() : 0;
    if (total != 0) {
        const double used = known->value(kUsedUpload).toDouble();
        m_pctg = used * 100 / total;
        m_operationMessage = QString::asprintf("%.2f / %.2fMB used", used / kMegabyte, total / kMegabyte);
    } else {
        m_pctg.reset();
        m_operationMessage.clear();
    }
    emit statusChanged();
}

void FileManager::updateQuotaWithDelta(double bytes)
{
    std::optional<QJsonObject> known = profile();
    if (!known || !known->contains(kUsedUpload) || known->value(kTotalUpload).toDouble() == 0)
        return;
    const double used = std::max(0.0, known->value(kUsedUpload).toDouble() - bytes);
    known->insert(kUsedUpload, used);
    m_profile->setUserProfile(*known);
}

void FileManager::progress(qint64 done, qint64 total)
{
    if (total <= 0)
        return;
    m_pctg = double(done) * 100 / double(total);
    m_upDownPctg = m_pctg;
    emit statusChanged();
}

// --- Checks

bool FileManager::checkUploadConstraints(const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const auto refuse = [&](const QString& text) {
        showMessage(text, true);
        return false;
    };
    if (!info.exists() || !info.isReadable())
        return refuse(QStringLiteral("File '%1' is not readable").arg(name));
    if (info.isDir())
        return refuse(QStringLiteral("Compress '%1' before uploading").arg(name));
    const std::optional<QJsonObject> known = profile();
    const QJsonObject limits = known.value_or(QJsonObject());
    const qint64 size = info.size();
    const qint64 maxUpload = limits.value(kMaxUpload).toInteger();
    if (size > maxUpload)
        return refuse(
            QStringLiteral("Size for file '%1' is greater than %2MB").arg(name).arg(maxUpload / 1048576));
    const double remaining = limits.value(kTotalUpload).toDouble() - limits.value(kUsedUpload).toDouble();
    if (remaining <= 0)
        return refuse(
            QStringLiteral("You cannot upload any more files. Your quota is full. Please contact %1 "
                           "for more information.")
                .arg(kSupportAddress));
    if (double(size) > remaining)
        return refuse(QStringLiteral("Size for file '%1' is greater than your remaining %2MB")
                          .arg(name, QString::asprintf("%.2f", remaining / kMegabyte)));
    return true;
}

bool FileManager::askUploadFile(const QString& fileName)
{
    // With no sync server there is nowhere to upload to: the item keeps its link, nobody is asked.
    if (!m_engine.hasOrigin())
        return false;
    if (m_services.preferences && m_services.preferences->boolValue(kAlwaysUpload))
        return true;
    if (!m_services.alerts)
        return false;
    // Escape and closing answer "Don't upload"; only a button press turns the question off.
    const int answer = m_services.alerts->choose(Alerts::Question(
        QStringLiteral("Do you want to upload the file '%1'?").arg(fileName), {},
        {QStringLiteral("Upload"), QStringLiteral("Always upload"), QStringLiteral("Don't upload")},
        Alerts::DefaultButton(0), Alerts::SafeButton(2), Alerts::Style::Informational));
    if (answer == 1 && m_services.preferences) {
        m_services.preferences->setValue(kAlwaysUpload, true);
        m_services.preferences->flush();
    }
    return answer == 0 || answer == 1;
}

// --- Requests

void FileManager::enqueue(rest::Request request, const QString& start, const QString& done)
{
    request.userData = {{kStart, start}, {kDone, done}};
    m_queue->addRequest(std::move(request));
}

bool FileManager::uploadFileAt(const QString& path, TODOItem* item, bool overwrite, FileSuccess success,
                               Failure failure)
{
    return upload(path, item, nullptr, overwrite, std::move(success), std::move(failure));
}

bool FileManager::uploadFileAt(const QString& path, ItemFile* replaced, bool overwrite, FileSuccess success,
                               Failure failure)
{
    return upload(path, replaced ? replaced->item() : nullptr, replaced, overwrite, std::move(success),
                  std::move(failure));
}

bool FileManager::upload(const QString& path, TODOItem* item, ItemFile* replaced, bool overwrite,
                         FileSuccess success, Failure failure)
{
    if (!gate())
        return false;
    if (!item || !item->isValidUniID()) {
        showMessage(QStringLiteral("Save the item before upload a file."));
        return false;
    }
    if (!checkUploadConstraints(path))
        return false;
    if (!replaced && m_engine.itemLoop().isItemBlocked(item))
        return false;

    auto params = std::make_shared<rest::MultipartParams>();
    params->setValue(item->getURI(), QStringLiteral("item"));
    if (replaced)
        params->setValue(QString::number(replaced->idd()), QStringLiteral("id"));
    if (overwrite)
        params->setValue(QStringLiteral("true"), QStringLiteral("forceOverwriteItemURL"));
    params->setFile(path, QStringLiteral("content"));
    qCDebug(lcSync, "RMParams HTTPHeaderValueForContentType = %s", params->contentType().constData());
    qCDebug(lcSync, "RMParams HTTPHeaderValueForContentLength = %lld", params->contentLength());

    const QString ticket = writeDownUpload(path, item, replaced, overwrite);
    rest::Request request;
    request.method = rest::Method::Post;
    request.path = QStringLiteral("/file/");
    request.params = std::move(params);
    request.onUploadProgress = [this](qint64 done, qint64 total) {
        progress(done, total);
    };
    request.onSuccess = [this, ticket, item, replaced, success = std::move(success),
                         failure](const rest::Response& response) {
        crossOffUpload(ticket);
        uploaded(item, replaced, response, success, failure);
    };
    request.onFailure = [this, ticket, failure = std::move(failure)](const rest::Error& error) {
        crossOffUpload(ticket);
        m_upDownPctg.reset();
        if (failure)
            failure(reported(error));
    };
    enqueue(std::move(request), QStringLiteral("Uploading %1").arg(QFileInfo(path).fileName()),
            QStringLiteral("Upload successful"));
    return true;
}

void FileManager::uploaded(TODOItem* item, ItemFile* replaced, const rest::Response& response,
                           const FileSuccess& success, const Failure& failure)
{
    qCDebug(lcSync, "Succeeded");
    m_upDownPctg.reset();
    const QJsonObject record = response.json.object();
    const qint64 id = record.value(QStringLiteral("id")).toInteger();
    if (id <= 0) {
        if (failure)
            failure(std::nullopt);
        return;
    }
    // A copy opened before and left as it came holds the old content; one changed here stays.
    if (replaced && !item->isDeleted())
        forgetCachedCopies(item, replaced->idd());
    store::Context& context = m_engine.managedContext();
    ItemFile* file = nullptr;
    qint64 oldSize = 0;
    {
        QVRestManager::TrackingPause pause(m_engine);
        file = ItemFile::findWithID(id, context, nullptr);
        oldSize = file->size();
        file->updateFrom(record, context);
    }
    if (success)
        success(file);
    updateQuotaWithDelta(double(oldSize - file->size()));
    m_services.notifications->post(kNotificationFileUploaded, this,
                                   {{QStringLiteral("fileID"), file->idd()}});
}

bool FileManager::downloadItemFile(ItemFile* file, const QString& folder, Success success, Failure failure)
{
    return download(
        file, folder,
        [success = std::move(success)](const Received&) {
            if (success)
                success();
        },
        std::move(failure));
}

bool FileManager::download(ItemFile* file, const QString& folder,
                           std::function<void(const Received&)> success, Failure failure)
{
    if (!gate())
        return false;
    const std::optional<QString> name = safeFileName(file->filename());
    if (!name) {
        qCWarning(lcSync, "Attachment %lld has no usable name", file->idd());
        return false;
    }
    auto target = std::make_shared<QSaveFile>(QDir(folder).filePath(*name));
    if (!target->open(QIODevice::WriteOnly)) {
        qCWarning(lcSync, "Cannot write into the download folder: %s", qUtf8Printable(target->errorString()));
        return false;
    }
    ::fchmod(target->handle(), S_IRUSR | S_IWUSR);

    auto digest = std::make_shared<QCryptographicHash>(QCryptographicHash::Sha256);
    auto size = std::make_shared<qint64>(0);
    rest::Request request;
    request.path = QStringLiteral("/file/%1/file/").arg(file->idd());
    request.onBodyChunk = [target, digest, size](const QByteArray& chunk) {
        target->write(chunk);
        digest->addData(chunk);
        *size += chunk.size();
    };
    request.onDownloadProgress = [this](qint64 done, qint64 total) {
        progress(done, total);
    };
    request.onSuccess = [this, target, digest, size, success = std::move(success),
                         failure](const rest::Response&) {
        m_upDownPctg.reset();
        if (!target->commit()) {
            qCWarning(lcSync, "Download not written: %s", qUtf8Printable(target->errorString()));
            if (failure)
                failure(std::nullopt);
            return;
        }
        if (success)
            success(Received{*size, digest->result()});
    };
    request.onFailure = [this, target, failure = std::move(failure)](const rest::Error& error) {
        m_upDownPctg.reset();
        target->cancelWriting();
        target->commit();
        if (failure)
            failure(reported(error));
    };
    enqueue(std::move(request), QStringLiteral("Downloading '%1").arg(file->filename()),
            QStringLiteral("Download successful"));
    return true;
}

bool FileManager::deleteItemFile(ItemFile* file, Success success, Failure failure)
{
    if (!gate())
        return false;
    rest::Request request;
    request.method = rest::Method::Delete;
    request.path = QStringLiteral("/file/%1/").arg(file->idd());
    request.onSuccess = [this, file, success = std::move(success)](const rest::Response&) {
        const qint64 size = file->size();
        {
            QVRestManager::TrackingPause pause(m_engine);
            if (TODOItem* item = file->item())
                item->removeFilesObject(file);
            m_engine.managedContext().deleteObject(file);
        }
        if (success)
            success();
        updateQuotaWithDelta(double(size));
    };
    request.onFailure = [failure = std::move(failure)](const rest::Error& error) {
        if (failure)
            failure(reported(error));
    };
    enqueue(std::move(request), QStringLiteral("Deleting '%1'").arg(file->filename()),
            QStringLiteral("Delete successful"));
    return true;
}

bool FileManager::renameItemFile(ItemFile* file, const QString& newName, Success success, Failure failure)
{
    if (!gate())
        return false;
    if (!file || file->idd() == 0)
        return false;
    rest::Request request;
    request.method = rest::Method::Post;
    request.path = QStringLiteral("/file/%1/rename/").arg(file->idd());
    request.body =
        QJsonDocument(QJsonObject{{QStringLiteral("filename"), newName}}).toJson(QJsonDocument::Compact);
    request.setHeader("Content-Type", "application/json; charset=utf-8");
    request.onSuccess = [this, file, success = std::move(success), failure](const rest::Response& response) {
        const QJsonObject record = response.json.object();
        if (!record.contains(QStringLiteral("id"))) {
            if (failure)
                failure(std::nullopt);
            return;
        }
        qCDebug(lcSync, "Succeeded");
        {
            QVRestManager::TrackingPause pause(m_engine);
            file->updateFrom(record, m_engine.managedContext());
        }
        if (success)
            success();
    };
    request.onFailure = [failure = std::move(failure)](const rest::Error& error) {
        if (failure)
            failure(reported(error));
    };
    enqueue(std::move(request), QStringLiteral("Renaming '%1' to '%2'").arg(file->filename(), newName),
            QStringLiteral("Renaming successful"));
    return true;
}

void FileManager::downloadURL(const QUrl& url, DataSuccess success, DataFailure failure)
{
    if (!gate())
        return;
    QNetworkReply* reply = m_web->get(QNetworkRequest(url));
    connect(reply, &QNetworkReply::finished, this,
            [reply, success = std::move(success), failure = std::move(failure)] {
                reply->deleteLater();
                if (reply->error() != QNetworkReply::NoError) {
                    if (failure)
                        failure(reply->errorString());
                    return;
                }
                if (success)
                    success(reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toString());
            });
}

// --- Pending uploads

bool FileManager::isOnline() const
{
    return m_engine.canInstantSync();
}

bool FileManager::queueUploadFileAt(const QString& path, TODOItem* item, ItemFile* replaced)
{
    if (!item || !item->isValidUniID()) {
        showMessage(QStringLiteral("Save the item before upload a file."));
        return false;
    }
    const QString ticket = writeDownUpload(path, item, replaced, false, false);
    if (ticket.isEmpty())
        return false;
    m_leftInFlight.insert(ticket, m_services.preferences->value(kUploadsInFlight).toMap().value(ticket));
    return true;
}

void FileManager::uploadURLFileForUnsyncedItem(TODOItem* item, FileSuccess success)
{
    if (!m_engine.hasOrigin()) {
        qCInfo(lcSync, "No sync server: the file stays a link of its item");
        return;
    }
    m_operationsQueue.push_back({item, std::move(success)});
    processOperations();
    if (!m_engine.canInstantSync())
        showMessage(
            QStringLiteral("You are offline at this moment. The file will be uploaded when the app is "
                           "online."),
            true);
}

void FileManager::processOperations()
{
    displayRemainingQuota();
    if (m_processingOperations)
        return;
    m_processingOperations = true;
    std::deque<PendingUpload> survivors;
    while (!m_operationsQueue.empty()) {
        PendingUpload pending = std::move(m_operationsQueue.front());
        m_operationsQueue.pop_front();
        TODOItem* item = pending.item;
        if (item->isDeleted())
            continue;
        // The limits are not known without the user's profile: wait for it.
        if (!item->isValidUniID() || !profile()) {
            survivors.push_back(std::move(pending));
            continue;
        }
        const QString path = QUrl(item->macResourceURL()).toLocalFile();
        if (!checkUploadConstraints(path))
            continue;
        FileSuccess done = pending.success;
        if (!uploadFileAt(path, item, true, [done](ItemFile* file) {
                if (done)
                    done(file);
            }))
            survivors.push_back(std::move(pending));
    }
    // Uploads queued while an alert ran the event loop come after the survivors.
    for (PendingUpload& later : m_operationsQueue)
        survivors.push_back(std::move(later));
    m_operationsQueue = std::move(survivors);
    m_processingOperations = false;
    resumeUploads();
}

ItemFile* FileManager::findFileWithID(qint64 idd)
{
    return ItemFile::findWithID(idd, m_engine.managedContext(), nullptr);
}

void FileManager::cancelAll()
{
    m_operationsQueue.clear();
    m_leftInFlight.clear();
    if (m_services.preferences && m_services.preferences->hasUserValue(kUploadsInFlight)) {
        m_services.preferences->remove(kUploadsInFlight);
        m_services.preferences->flush();
    }
    m_queue->cancelAllRequests();
}

} // namespace qv
