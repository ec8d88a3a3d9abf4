#include "sync/CommentsManager.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/Clock.h"
#include "platform/rest/RestClient.h"
#include "sync/QVRestManager.h"
#include "sync/SyncLogging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

#include <memory>
#include <utility>
#include <vector>

namespace qv {

namespace {

// A JSON object whose keys keep the order given (QJsonObject sorts them).
QByteArray orderedJson(const std::vector<std::pair<QString, QJsonValue>>& fields)
{
    QByteArray json = "{";
    for (const auto& [key, value] : fields) {
        if (json.size() > 1)
            json += ',';
        // One-element arrays serialise a key or a value alone; the brackets are cut off.
        const QByteArray name = QJsonDocument(QJsonArray{key}).toJson(QJsonDocument::Compact);
        const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        json += name.mid(1, name.size() - 2) + ':' + text.mid(1, text.size() - 2);
    }
    return json + '}';
}

qint64 headerNumber(const rest::Response& response, const QByteArray& name, qint64 absent)
{
    bool ok = false;
    const qint64 value = response.header(name).trimmed().toLongLong(&ok);
    return ok ? value : absent;
}

} // namespace

CommentsManager::CommentsManager(const Services& services, QVRestManager& engine, QObject* parent)
    : QObject(parent), m_services(services), m_engine(engine)
{
}

CommentsManager::~CommentsManager() = default;

CommentsManager::Key CommentsManager::keyOf(const store::ManagedObject* object)
{
    if (!object)
        return {Kind::Account, 0};
    if (const auto* item = store::as<TODOItem>(object))
        return {Kind::Item, item->uniID()};
    if (const auto* project = store::as<TODOList>(object))
        return {Kind::Project, project->uniID()};
    return {Kind::Other, 0};
}

bool CommentsManager::isOnServer(const store::ManagedObject* object)
{
    if (const auto* item = store::as<TODOItem>(object))
        return item->isValidUniID();
    if (const auto* project = store::as<TODOList>(object))
        return project->isValidUniID();
    return false;
}

QString CommentsManager::getURLForObject(const store::ManagedObject* object)
{
    const Key key = keyOf(object);
    switch (key.kind) {
    case Kind::Account:
        return QStringLiteral("/comment/html/");
    case Kind::Item:
        return QStringLiteral("/item/%1/comments.html/").arg(key.id);
    case Kind::Project:
        return QStringLiteral("/project/%1/comments.html/").arg(key.id);
    case Kind::Other:
        break;
    }
    return {};
}

const CommentsManager::Page* CommentsManager::cached(const store::ManagedObject* object) const
{
    const auto it = m_pages.find(keyOf(object));
    return it != m_pages.end() ? &it->second : nullptr;
}

void CommentsManager::save(const Key& key, const Page& page)
{
    if (key.kind != Kind::Other)
        m_pages[key] = page;
}

QString CommentsManager::getCachedCommentsForObject(const store::ManagedObject* object) const
{
    const Page* page = cached(object);
    return page ? page->html : QString();
}

qint64 CommentsManager::numberOfCommentsForObject(const store::ManagedObject* object) const
{
    const Page* page = cached(object);
    return page ? page->numComments : 0;
}

qint64 CommentsManager::timestampForObject(const store::ManagedObject* object) const
{
    const Page* page = cached(object);
    return page ? page->timestamp : 0;
}

qint64 CommentsManager::getLimitOfCommentsForObject(const store::ManagedObject* object) const
{
    const auto it = m_limits.find(keyOf(object));
    return it != m_limits.end() ? it->second : 0;
}

void CommentsManager::setLimitOfCommentsForObject(const store::ManagedObject* object, qint64 limit)
{
    const Key key = keyOf(object);
    if (key.kind != Kind::Other)
        m_limits[key] = limit;
}

bool CommentsManager::heldBack(const Key& key, int days) const
{
    // The monotonic clock: a wall clock set back would otherwise hold the page back for as long.
    const auto asked = m_lastQueryMs.find(key);
    if (asked == m_lastQueryMs.end() || m_services.clock->elapsedMs() - asked->second >= kQueryHoldMs)
        return false;
    const auto page = m_pages.find(key);
    return page != m_pages.end() && page->second.days == days;
}

bool CommentsManager::retrieveHTMLCommentsForObject(const store::ManagedObject* object, int days,
                                                    PageSuccess success, Failure failure, bool force)
{
    const Key key = keyOf(object);
    if (object && !isOnServer(object)) {
        if (failure)
            failure(std::nullopt);
        return false;
    }
    QString path = getURLForObject(object);
    if (days > 0) {
        path += QStringLiteral("?days=%1").arg(days);
    } else {
        const qint64 limit = getLimitOfCommentsForObject(object);
        path += QStringLiteral("?limit=%1").arg(limit > 0 ? limit : kDefaultLimit);
    }
    if (!m_engine.client().isNetworkReachable() || !m_engine.isOnline())
        return false;
    if (!force && heldBack(key, days))
        return false;
    m_lastQueryMs[key] = m_services.clock->elapsedMs();

    rest::Request request;
    request.path = path;
    request.setHeader("Accept", "text/html");
    // The page is HTML whatever the status; taking the body in pieces keeps the client from
    // reading it as JSON.
    request.failOnHttpError = false;
    auto body = std::make_shared<QByteArray>();
    request.onBodyChunk = [body](const QByteArray& chunk) {
        body->append(chunk);
    };
    QPointer<CommentsManager> self(this);
    request.onSuccess = [self, key, days, body,
                         success = std::move(success)](const rest::Response& response) {
        if (!self)
            return;
        self->m_lastQueryMs[key] = self->m_services.clock->elapsedMs();
        Page page;
        page.html = QString::fromUtf8(*body);
        page.timestamp = headerNumber(response, "Timestamp", 0);
        page.days = days;
        page.numComments = headerNumber(response, "NumComments", kDefaultLimit);
        qCInfo(lcSync, "Comments page of %lld bytes, status %d, %lld comments", qint64(body->size()),
               response.statusCode, page.numComments);
        self->save(key, page);
        if (success)
            success(page.html);
    };
    request.onFailure = [self, key, failure = std::move(failure)](const rest::Error& error) {
        if (!self)
            return;
        // A fetch that failed must not hold back the next one.
        self->m_lastQueryMs.erase(key);
        qCWarning(lcSync, "Comments page failed: %s", qUtf8Printable(error.message));
        if (failure)
            failure(error.message);
    };
    m_engine.client().send(std::move(request));
    return true;
}

void CommentsManager::sendComment(const QString& text, const store::ManagedObject* object, int days,
                                  PageSuccess success, SendFailed failure)
{
    const Key key = keyOf(object);
    if (!m_engine.client().isNetworkReachable() || !object || !isOnServer(object) || text.isEmpty()) {
        if (failure)
            failure({});
        return;
    }
    const qint64 shown = numberOfCommentsForObject(object);
    const bool isItem = key.kind == Kind::Item;
    const int firstReply = isItem ? kDefaultLimit : kProjectReplyLimit;
    const QString uri =
        isItem ? store::as<TODOItem>(object)->getURI() : store::as<TODOList>(object)->getURI();
    std::vector<std::pair<QString, QJsonValue>> fields{
        {isItem ? QStringLiteral("item") : QStringLiteral("project"), uri},
        {QStringLiteral("text"), text},
        {QStringLiteral("num_comments"), shown > 0 ? shown + 1 : firstReply},
    };
    if (days > 0)
        fields.emplace_back(QStringLiteral("days"), days);

    rest::Request request;
    request.method = rest::Method::Post;
    request.path = QStringLiteral("/comment/");
    request.body = orderedJson(fields);
    request.setHeader("Content-Type", "application/json; charset=utf-8");
    QPointer<CommentsManager> self(this);
    request.onSuccess = [self, key, days, firstReply,
                         success = std::move(success)](const rest::Response& response) {
        if (!self)
            return;
        const QJsonObject reply = response.json.object();
        if (!reply.value(QStringLiteral("html")).isString()) {
            qCWarning(lcSync, "Comment reply holds no page");
            if (success)
                success(QString());
            return;
        }
        Page page;
        page.html = reply.value(QStringLiteral("html")).toString();
        page.timestamp = reply.value(QStringLiteral("timestamp")).toInteger(0);
        page.days = days;
        page.numComments = reply.value(QStringLiteral("num_comments")).toInteger(firstReply);
        self->save(key, page);
        if (success)
            success(page.html);
    };
    request.onFailure = [self, failure = std::move(failure)](const rest::Error& error) {
        if (!self)
            return;
        const SendFailure ended = SendFailure::of(error);
        if (ended.mayHaveArrived)
            qCWarning(lcSync, "The answer to a comment was lost: %s", qUtf8Printable(error.message));
        else
            qCWarning(lcSync, "Sending a comment failed: %s", qUtf8Printable(error.message));
        if (failure)
            failure(ended);
    };
    qCInfo(lcSync, "Sending a comment of %d characters", int(text.size()));
    m_engine.client().send(std::move(request));
}

} // namespace qv
