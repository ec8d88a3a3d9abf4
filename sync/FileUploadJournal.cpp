// The uploads in flight, written down so that a crash or a quit loses none and doubles none.
#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"
#include "sync/FileManager.h"
#include "sync/QVRestManager.h"
#include "sync/SyncLogging.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QUuid>

namespace qv {

namespace {

const QString kItem = QStringLiteral("item");
const QString kPath = QStringLiteral("path");
const QString kReplaces = QStringLiteral("replaces");
const QString kOverwrite = QStringLiteral("overwrite");
const QString kName = QStringLiteral("name");
const QString kSize = QStringLiteral("size");
const QString kKnown = QStringLiteral("known");
const QString kSent = QStringLiteral("sent");

} // namespace

QString FileManager::writeDownUpload(const QString& path, TODOItem* item, ItemFile* replaced, bool overwrite,
                                     bool sent)
{
    Preferences* preferences = m_services.preferences;
    if (!preferences)
        return {};
    QVariantList known;
    for (const ItemFile* file : item->files())
        known << file->idd();
    const QFileInfo info(path);
    const QString ticket = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QVariantMap all = preferences->value(kUploadsInFlight).toMap();
    all.insert(ticket, QVariantMap{{kItem, item->serverID()},
                                   {kPath, info.absoluteFilePath()},
                                   {kReplaces, replaced ? replaced->idd() : 0},
                                   {kOverwrite, overwrite},
                                   {kName, info.fileName()},
                                   {kSize, info.size()},
                                   {kKnown, known},
                                   {kSent, sent}});
    preferences->setValue(kUploadsInFlight, all);
    preferences->flush();
    return ticket;
}

void FileManager::crossOffUpload(const QString& ticket)
{
    Preferences* preferences = m_services.preferences;
    m_leftInFlight.remove(ticket);
    if (!preferences || ticket.isEmpty())
        return;
    QVariantMap all = preferences->value(kUploadsInFlight).toMap();
    if (all.remove(ticket) == 0)
        return;
    if (all.isEmpty())
        preferences->remove(kUploadsInFlight);
    else
        preferences->setValue(kUploadsInFlight, all);
    preferences->flush();
}

void FileManager::resumeUploads()
{
    if (m_leftInFlight.isEmpty() || !m_engine.canInstantSync() || !profile())
        return;
    const QVariantMap left = m_leftInFlight;
    for (auto it = left.cbegin(); it != left.cend(); ++it) {
        if (m_resuming.count(it.key()))
            continue;
        const QVariantMap entry = it.value().toMap();
        TODOItem* item = TODOItem::findWithID(entry.value(kItem).toLongLong(), m_engine.managedContext());
        if (!item) {
            qCWarning(lcSync, "An upload cut short cannot be finished: its item is gone");
            crossOffUpload(it.key());
            continue;
        }
        // A file gone or unreadable by now is not dropped here in silence: sending it again
        // checks it and tells the user, as any upload does.
        resumeUpload(it.key(), entry, item);
    }
}

void FileManager::resumeUpload(const QString& ticket, const QVariantMap& entry, TODOItem* item)
{
    const QString path = entry.value(kPath).toString();
    const bool overwrite = entry.value(kOverwrite).toBool();
    const qint64 serverID = item->serverID();
    const auto sendAgain = [this, ticket, path, overwrite, serverID](ItemFile* replaced) {
        crossOffUpload(ticket);
        if (TODOItem* target = TODOItem::findWithID(serverID, m_engine.managedContext()))
            upload(path, target, replaced, overwrite, {}, {});
    };
    // Sending a replacement twice does no harm; one queued while offline was never sent.
    const qint64 replaces = entry.value(kReplaces).toLongLong();
    if (replaces != 0 || !entry.value(kSent, true).toBool()) {
        sendAgain(replaces != 0 ? findFileWithID(replaces) : nullptr);
        return;
    }
    // A new attachment is sent again only when the item has none the server made of it.
    m_resuming.insert(ticket);
    rest::Request request;
    request.path = QStringLiteral("/item/%1/?format=json").arg(serverID);
    request.onSuccess = [this, ticket, entry, sendAgain](const rest::Response& response) {
        m_resuming.erase(ticket);
        const QVariantList known = entry.value(kKnown).toList();
        for (const QJsonValue value : response.json.object().value(QStringLiteral("files")).toArray()) {
            const QJsonObject record = value.toObject();
            const qint64 id = record.value(QStringLiteral("id")).toInteger();
            if (id <= 0 || known.contains(id) ||
                record.value(kSize).toInteger() != entry.value(kSize).toLongLong() ||
                record.value(QStringLiteral("filename")).toString() != entry.value(kName).toString())
                continue;
            qCInfo(lcSync, "Upload cut short had reached the server as attachment %lld", id);
            crossOffUpload(ticket);
            QVRestManager::TrackingPause pause(m_engine);
            findFileWithID(id)->updateFrom(record, m_engine.managedContext());
            return;
        }
        qCInfo(lcSync, "Sending again an upload cut short");
        sendAgain(nullptr);
    };
    request.onFailure = [this, ticket](const rest::Error& error) {
        m_resuming.erase(ticket);
        // The item is gone from the server; anything else is tried again at the next pass.
        if (error.kind == rest::Error::Kind::Http && error.statusCode() >= 400 && error.statusCode() < 500)
            crossOffUpload(ticket);
    };
    enqueue(std::move(request), QStringLiteral("Uploading %1").arg(entry.value(kName).toString()),
            QStringLiteral("Upload successful"));
}

} // namespace qv
