#include "tests/support/FakeSyncServer.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>

namespace qv::test {

namespace {

const QString kId = QStringLiteral("id");
const QString kIdd = QStringLiteral("idd");
const QString kObjects = QStringLiteral("objects");
const QString kProjects = QStringLiteral("projects");
const QString kResourceUri = QStringLiteral("resource_uri");
const QString kState = QStringLiteral("state");
const QString kTags = QStringLiteral("tags");
const QString kTimestamp = QStringLiteral("timestamp");
const QString kVersion = QStringLiteral("version_id");
const QString kEditedByUsername = QStringLiteral("edited_by_username");
const QString kEditedByDevice = QStringLiteral("editedByDevice");
const QString kCreatorUsername = QStringLiteral("creator_username");

qint64 idOf(const QJsonValue& value)
{
    if (value.isString())
        return value.toString().toLongLong();
    return value.toInteger();
}

qint64 timestampOf(const QJsonObject& object)
{
    return object.value(kTimestamp).toInteger();
}

bool inSomeProject(const QJsonObject& item)
{
    return !item.value(kProjects).toArray().isEmpty();
}

// An item names its project by resource path; clients may send paths, numbers or objects.
QJsonArray normalizedProjects(const QJsonValue& value)
{
    QJsonArray list = value.isArray() ? value.toArray() : QJsonArray{value};
    QJsonArray uris;
    for (const QJsonValue& entry : list) {
        if (entry.isString() && !entry.toString().isEmpty()) {
            uris.append(entry);
        } else if (entry.isDouble() && entry.toInteger() > 0) {
            uris.append(FakeSyncServer::projectUri(entry.toInteger()));
        } else if (entry.isObject()) {
            const QJsonObject project = entry.toObject();
            const QString uri = project.value(kResourceUri).toString();
            const qint64 id =
                idOf(project.value(kIdd)) > 0 ? idOf(project.value(kIdd)) : idOf(project.value(kId));
            if (!uri.isEmpty())
                uris.append(uri);
            else if (id > 0)
                uris.append(FakeSyncServer::projectUri(id));
        }
    }
    return uris;
}

QJsonArray normalizedTags(const QJsonValue& value)
{
    QJsonArray tags;
    for (const QJsonValue& entry : value.toArray()) {
        const QString name = entry.isString() ? entry.toString() : entry.toObject().value("name").toString();
        if (!name.isEmpty())
            tags.append(QJsonObject{{"name", name}});
    }
    return tags;
}

bool hasTag(const QJsonArray& tags, const QString& name)
{
    return std::any_of(tags.begin(), tags.end(), [&](const QJsonValue& tag) {
        return tag.toObject().value("name").toString() == name;
    });
}

QList<QJsonObject> valuesOf(const std::map<qint64, QJsonObject>& objects)
{
    QList<QJsonObject> values;
    for (const auto& entry : objects)
        values.append(entry.second);
    return values;
}

QJsonObject bodyObject(const HttpRequest& request, bool* ok)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    *ok = error.error == QJsonParseError::NoError && document.isObject();
    return document.object();
}

} // namespace

FakeSyncServer::FakeSyncServer(QObject* parent) : LoopbackHttpServer(parent)
{
    installFileRoutes();
    installRoutes();
    installLoginRoutes();
}

QUrl FakeSyncServer::apiUrl() const
{
    QUrl url = baseUrl();
    url.setPath(QString::fromLatin1(kApi));
    return url;
}

qint64 FakeSyncServer::now() const
{
    return m_systemClock ? QDateTime::currentSecsSinceEpoch() : m_now;
}

void FakeSyncServer::setPollingIntervals(int itemSeconds, int projectSeconds)
{
    m_itemPollingInterval = itemSeconds;
    m_projectPollingInterval = projectSeconds;
}

QString FakeSyncServer::itemUri(qint64 id)
{
    return QStringLiteral("/api/v1/item/%1/").arg(id);
}

QString FakeSyncServer::projectUri(qint64 id)
{
    return QStringLiteral("/api/v1/project/%1/").arg(id);
}

QJsonObject FakeSyncServer::item(qint64 id) const
{
    return m_items.count(id) ? m_items.at(id) : QJsonObject();
}

QJsonObject FakeSyncServer::project(qint64 id) const
{
    return m_projects.count(id) ? m_projects.at(id) : QJsonObject();
}

QList<QJsonObject> FakeSyncServer::items() const
{
    return valuesOf(m_items);
}

QList<QJsonObject> FakeSyncServer::projects() const
{
    return valuesOf(m_projects);
}

std::optional<qint64> FakeSyncServer::parseQueryDate(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})\.(\d{6})([+-])(\d{2}):(\d{2})$)"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    auto number = [&](int group) {
        return match.captured(group).toInt();
    };
    const QDate date(number(1), number(2), number(3));
    const QTime time(number(4), number(5), number(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const int offsetSeconds = (number(9) * 60 + number(10)) * 60 * (match.captured(8) == "-" ? -1 : 1);
    const qint64 local = QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch();
    return local - qint64(offsetSeconds) * 1000 + match.captured(7).toLongLong() / 1000;
}

QJsonObject FakeSyncServer::withRequestTime(QJsonObject object) const
{
    object.insert("requested_time", now());
    return object;
}

QJsonObject FakeSyncServer::clientFields(const QJsonObject& body, bool project)
{
    static const QStringList itemOwned = {kId,
                                          kResourceUri,
                                          kVersion,
                                          kTimestamp,
                                          "lastModifiedTimestamp",
                                          kCreatorUsername,
                                          kEditedByUsername,
                                          "requested_time",
                                          "files",
                                          "reminder"};
    static const QStringList projectOwned = {
        kId, kIdd, kResourceUri, kVersion, kTimestamp, "requested_time", "owners_count", kEditedByUsername};
    QJsonObject fields = body;
    for (const QString& key : project ? projectOwned : itemOwned)
        fields.remove(key);
    if (fields.contains(kProjects))
        fields.insert(kProjects, normalizedProjects(fields.value(kProjects)));
    if (fields.contains(kTags))
        fields.insert(kTags, normalizedTags(fields.value(kTags)));
    return fields;
}

void FakeSyncServer::stamp(QJsonObject& object, const QJsonObject& body, Origin origin, bool isItem) const
{
    ++m_changes;
    object.insert(kVersion, object.value(kVersion).toInteger() + 1);
    object.insert(kTimestamp, now());
    if (isItem)
        object.insert("lastModifiedTimestamp", now());
    QString editor = actingUsername();
    if (origin == Origin::OtherDevice) {
        if (body.contains(kEditedByUsername))
            editor = body.value(kEditedByUsername).toString();
        object.insert(kEditedByDevice, body.contains(kEditedByDevice) ? body.value(kEditedByDevice)
                                                                      : QJsonValue(QString(kOtherDevice)));
    }
    object.insert(kEditedByUsername, editor);
}

qint64 FakeSyncServer::createItem(const QJsonObject& body, Origin origin)
{
    const qint64 id = m_nextItemId++;
    QJsonObject object = clientFields(body, false);
    object.insert(kId, id);
    object.insert(kResourceUri, itemUri(id));
    if (!object.contains(kIdd))
        object.insert(kIdd, 1'000'000 + id);
    if (!object.contains(kState))
        object.insert(kState, 0);
    if (!object.contains(kProjects))
        object.insert(kProjects, QJsonArray());
    if (!object.contains(kTags))
        object.insert(kTags, QJsonArray());
    const QString creator = origin == Origin::OtherDevice && body.contains(kCreatorUsername)
                                ? body.value(kCreatorUsername).toString()
                                : actingUsername();
    object.insert(kCreatorUsername, creator);
    if (!object.contains("owner_username"))
        object.insert("owner_username", creator);
    object.insert(kVersion, 0);
    stamp(object, body, origin, true);
    m_items[id] = object;
    return id;
}

qint64 FakeSyncServer::createProject(const QJsonObject& body, Origin origin)
{
    const qint64 id = m_nextProjectId++;
    QJsonObject object = clientFields(body, true);
    m_creators[id] = origin == Origin::OtherDevice && body.contains(kCreatorUsername)
                         ? object.take(kCreatorUsername).toString()
                         : actingUsername();
    object.insert(kId, id);
    object.insert(kIdd, id);
    object.insert(kResourceUri, projectUri(id));
    object.insert("owners_count", 1);
    if (!object.contains(kState))
        object.insert(kState, 0);
    if (!object.contains(kTags))
        object.insert(kTags, QJsonArray());
    object.insert(kVersion, 0);
    stamp(object, body, origin, false);
    m_projects[id] = object;
    return id;
}

bool FakeSyncServer::updateObject(std::map<qint64, QJsonObject>& objects, qint64 id, const QJsonObject& body,
                                  Origin origin, bool isItem)
{
    auto it = objects.find(id);
    if (it == objects.end())
        return false;
    const QJsonObject fields = clientFields(body, !isItem);
    for (auto field = fields.begin(); field != fields.end(); ++field)
        it->second.insert(field.key(), field.value());
    stamp(it->second, body, origin, isItem);
    return true;
}

qint64 FakeSyncServer::createItemAsOtherDevice(const QJsonObject& fields, qint64 projectId)
{
    QJsonObject body = fields;
    if (projectId > 0)
        body.insert(kProjects, QJsonArray{projectUri(projectId)});
    return createItem(body, Origin::OtherDevice);
}

bool FakeSyncServer::modifyItemAsOtherDevice(qint64 id, const QJsonObject& changes)
{
    return updateObject(m_items, id, changes, Origin::OtherDevice, true);
}

void FakeSyncServer::omitItemFields(qint64 id, const QStringList& keys)
{
    for (const QString& key : keys)
        m_items.at(id).remove(key);
    ++m_changes;
}

void FakeSyncServer::omitProjectFields(qint64 id, const QStringList& keys)
{
    for (const QString& key : keys)
        m_projects.at(id).remove(key);
    ++m_changes;
}

qint64 FakeSyncServer::createProjectAsOtherDevice(const QJsonObject& fields)
{
    return createProject(fields, Origin::OtherDevice);
}

bool FakeSyncServer::modifyProjectAsOtherDevice(qint64 id, const QJsonObject& changes)
{
    return updateObject(m_projects, id, changes, Origin::OtherDevice, false);
}

bool FakeSyncServer::deleteProjectAsOtherDevice(qint64 id)
{
    return updateObject(m_projects, id, QJsonObject{{kState, 3}}, Origin::OtherDevice, false);
}

void FakeSyncServer::forgetKeptLists() const
{
    if (m_matchesAt == m_changes)
        return;
    m_matches.clear();
    m_projectItems.clear();
    m_matchesAt = m_changes;
}

const FakeSyncServer::Matches&
FakeSyncServer::changedSince(const QString& list, const std::map<qint64, QJsonObject>& source,
                             const std::vector<qint64>* among, const Listed& listed,
                             std::optional<qint64> sinceMs, std::optional<int> state) const
{
    forgetKeptLists();
    QString key = QStringLiteral("%1 %2 %3")
                      .arg(list, sinceMs ? QString::number(*sinceMs) : QString(),
                           state ? QString::number(*state) : QString());
    // Who may read which project can change without any object changing: what the reader may
    // read now is part of the key.
    if (m_access) {
        key += QLatin1Char(' ') + actingUsername() + QLatin1Char(' ');
        for (const auto& [id, project] : m_projects)
            key += m_access(id, actingUsername()) ? QLatin1Char('1') : QLatin1Char('0');
    }
    const auto kept = m_matches.find(key);
    if (kept != m_matches.end())
        return kept->second;
    // Polls from ever newer dates would otherwise pile up on a server left running.
    if (m_matches.size() > 64)
        m_matches.clear();
    std::vector<std::pair<qint64, qint64>> matched; // (timestamp, id)
    auto consider = [&](const QJsonObject& object) {
        if (listed && !listed(object))
            return;
        const qint64 timestamp = timestampOf(object);
        if (sinceMs && timestamp * 1000 < *sinceMs)
            return;
        if (state && object.value(kState).toInt() != *state)
            return;
        if (!mayRead(object, &source != &m_projects))
            return;
        matched.emplace_back(timestamp, idOf(object.value(kId)));
    };
    if (among) {
        for (qint64 id : *among)
            consider(source.at(id));
    } else {
        for (const auto& [id, object] : source)
            consider(object);
    }
    std::sort(matched.begin(), matched.end());
    Matches& matches = m_matches[key];
    matches.ids.reserve(matched.size());
    for (const auto& [timestamp, id] : matched) {
        matches.ids.push_back(id);
        matches.lastModification = std::max(matches.lastModification, timestamp);
    }
    return matches;
}

const std::vector<qint64>& FakeSyncServer::itemsOfProject(const QString& uri) const
{
    forgetKeptLists();
    if (m_projectItems.empty()) {
        // Present even when no item names a project, so that one pass serves them all.
        m_projectItems[QString()];
        for (const auto& [id, object] : m_items)
            for (const QJsonValue& project : object.value(kProjects).toArray())
                m_projectItems[project.toString()].push_back(id);
    }
    static const std::vector<qint64> none;
    const auto found = m_projectItems.find(uri);
    return found == m_projectItems.end() ? none : found->second;
}

HttpResponse FakeSyncServer::listChangedSince(const QString& list,
                                              const std::map<qint64, QJsonObject>& source,
                                              const Listed& listed, const HttpRequest& request,
                                              const std::vector<qint64>* among) const
{
    std::optional<qint64> sinceMs;
    if (request.hasQueryItem("timestamp__gte")) {
        sinceMs = parseQueryDate(request.queryItem("timestamp__gte"));
        if (!sinceMs) {
            return HttpResponse::error(400, QStringLiteral("timestamp__gte: not a date: ") +
                                                request.queryItem("timestamp__gte"));
        }
    }
    std::optional<int> state;
    if (request.hasQueryItem(kState))
        state = request.queryItem(kState).toInt();
    const Matches& matches = changedSince(list, source, among, listed, sinceMs, state);

    const int limit = pageLimit(request);
    const int offset = std::max(0, request.queryItem("offset").toInt());
    const int total = int(matches.ids.size());
    QJsonArray page;
    for (int i = offset; i < total && (limit == 0 || i < offset + limit); ++i)
        page.append(withRequestTime(source.at(matches.ids[std::size_t(i)])));
    const qint64 lastModification =
        total > 0 ? matches.lastModification : (sinceMs ? *sinceMs / 1000 : now());

    QJsonObject meta{{"limit", limit},
                     {"offset", offset},
                     {"total_count", total},
                     {"requested_time", lastModification},
                     {"server_time", now()}};
    if (limit > 0 && offset + limit < total)
        meta.insert("next", pagePath(request, offset + limit, limit));
    if (limit > 0 && offset > 0)
        meta.insert("previous", pagePath(request, std::max(0, offset - limit), limit));
    return HttpResponse::json(QJsonObject{{"meta", meta}, {kObjects, page}});
}

bool FakeSyncServer::mayRead(const QJsonObject& object, bool isItem) const
{
    if (!m_access)
        return true;
    if (!isItem)
        return m_access(idOf(object.value(kId)), actingUsername());
    const QJsonArray projects = object.value(kProjects).toArray();
    // Inbox items are their owner's.
    if (projects.isEmpty())
        return object.value("owner_username").toString().compare(actingUsername(), Qt::CaseInsensitive) ==
                   0 ||
               object.value(kCreatorUsername).toString().compare(actingUsername(), Qt::CaseInsensitive) == 0;
    return std::any_of(projects.begin(), projects.end(), [this](const QJsonValue& uri) {
        const QStringList parts = uri.toString().split(QLatin1Char('/'), Qt::SkipEmptyParts);
        return !parts.isEmpty() && m_access(parts.last().toLongLong(), actingUsername());
    });
}

int FakeSyncServer::pageLimit(const HttpRequest& request) const
{
    bool limitOk = false;
    int limit = request.queryItem("limit").toInt(&limitOk);
    if (!limitOk || limit < 0)
        limit = m_pageSize;
    if (m_maxPageSize > 0 && (limit == 0 || limit > m_maxPageSize))
        limit = m_maxPageSize;
    return limit;
}

QString FakeSyncServer::pagePath(const HttpRequest& request, int offset, int limit)
{
    QList<QByteArray> kept;
    for (const QByteArray& part : request.rawQuery.split('&')) {
        const QByteArray key = part.left(part.indexOf('=') < 0 ? part.size() : part.indexOf('='));
        if (!part.isEmpty() && key != "offset" && key != "limit")
            kept.append(part);
    }
    kept.append("offset=" + QByteArray::number(offset));
    kept.append("limit=" + QByteArray::number(limit));
    return QString::fromUtf8(request.path + '?' + kept.join('&'));
}

HttpResponse FakeSyncServer::pagedList(const HttpRequest& request, const QList<QJsonObject>& objects) const
{
    const int limit = pageLimit(request);
    const int offset = std::max(0, request.queryItem("offset").toInt());
    const int total = int(objects.size());
    QJsonArray page;
    for (int i = offset; i < total && (limit == 0 || i < offset + limit); ++i)
        page.append(objects[i]);
    QJsonObject meta{{"limit", limit}, {"offset", offset}, {"total_count", total}};
    if (limit > 0 && offset + limit < total)
        meta.insert("next", pagePath(request, offset + limit, limit));
    if (limit > 0 && offset > 0)
        meta.insert("previous", pagePath(request, std::max(0, offset - limit), limit));
    return HttpResponse::json(QJsonObject{{"meta", meta}, {kObjects, page}});
}

bool FakeSyncServer::rejected(const QJsonObject& body) const
{
    if (!m_rejects)
        return false;
    if (!body.value(kObjects).isArray())
        return m_rejects(body);
    const QJsonArray objects = body.value(kObjects).toArray();
    return std::any_of(objects.begin(), objects.end(),
                       [this](const QJsonValue& entry) { return m_rejects(entry.toObject()); });
}

HttpResponse FakeSyncServer::postItems(const HttpRequest& request)
{
    bool ok = false;
    const QJsonObject body = bodyObject(request, &ok);
    if (!ok)
        return HttpResponse::error(400, "body is not a JSON object");
    if (rejected(body))
        return HttpResponse::error(400, "item refused");
    if (!body.value(kObjects).isArray())
        return HttpResponse::json(withRequestTime(item(createItem(body, Origin::ThisClient))), 201);
    QJsonArray created;
    for (const QJsonValue& entry : body.value(kObjects).toArray())
        created.append(withRequestTime(item(createItem(entry.toObject(), Origin::ThisClient))));
    return HttpResponse::json(QJsonObject{{kObjects, created}}, 201);
}

HttpResponse FakeSyncServer::putItems(const HttpRequest& request)
{
    bool ok = false;
    const QJsonObject body = bodyObject(request, &ok);
    if (!ok || !body.value(kObjects).isArray())
        return HttpResponse::error(400, "expected {\"objects\": [...]}");
    if (rejected(body))
        return HttpResponse::error(400, "item refused");
    // Objects the server does not know are left out of the reply.
    QJsonArray updated;
    for (const QJsonValue& entry : body.value(kObjects).toArray()) {
        const qint64 id = idOf(entry.toObject().value(kId));
        if (updateObject(m_items, id, entry.toObject(), Origin::ThisClient, true))
            updated.append(withRequestTime(item(id)));
    }
    return HttpResponse::json(QJsonObject{{kObjects, updated}});
}

HttpResponse FakeSyncServer::getOne(const std::map<qint64, QJsonObject>& objects, const HttpRequest& request,
                                    const char* kind) const
{
    const auto it = objects.find(request.args.value(kId).toLongLong());
    return it == objects.end() || !mayRead(it->second, &objects == &m_items)
               ? HttpResponse::error(404, QStringLiteral("no such ") + QLatin1String(kind))
               : HttpResponse::json(withRequestTime(it->second));
}

// Items may be refused; projects never are.
HttpResponse FakeSyncServer::putOne(std::map<qint64, QJsonObject>& objects, const HttpRequest& request,
                                    bool isItem)
{
    bool ok = false;
    const QJsonObject body = bodyObject(request, &ok);
    if (!ok)
        return HttpResponse::error(400, "body is not a JSON object");
    if (isItem && rejected(body))
        return HttpResponse::error(400, "item refused");
    const qint64 id = request.args.value(kId).toLongLong();
    if (!updateObject(objects, id, body, Origin::ThisClient, isItem))
        return HttpResponse::error(404, isItem ? "no such item" : "no such project");
    return HttpResponse::json(withRequestTime(objects.at(id)));
}

HttpResponse FakeSyncServer::tag(const HttpRequest& request)
{
    bool ok = false;
    const QJsonObject body = bodyObject(request, &ok);
    if (!ok)
        return HttpResponse::error(400, "body is not a JSON object");
    static const QRegularExpression uriForm(QStringLiteral(R"(^/api/v1/(item|project)/(\d+)/$)"));
    const auto match = uriForm.match(body.value("object").toString());
    if (!match.hasMatch())
        return HttpResponse::error(400, "object: not a resource path");
    const bool isItem = match.captured(1) == QLatin1String("item");
    const qint64 id = match.captured(2).toLongLong();
    std::map<qint64, QJsonObject>& store = isItem ? m_items : m_projects;
    auto it = store.find(id);
    if (it == store.end())
        return HttpResponse::error(404, "no such object");

    const QString action = body.value("action").toString();
    QJsonArray tags = it->second.value(kTags).toArray();
    if (action == QLatin1String("add") || action == QLatin1String("remove")) {
        const QString name = body.value("name").toString();
        if (name.isEmpty())
            return HttpResponse::error(400, "name missing");
        if (action == QLatin1String("add") && !hasTag(tags, name))
            tags.append(QJsonObject{{"name", name}});
        for (qsizetype i = tags.size() - 1; action == QLatin1String("remove") && i >= 0; --i)
            if (tags.at(i).toObject().value("name").toString() == name)
                tags.removeAt(i);
    } else if (action == QLatin1String("set")) {
        if (!body.value("names").isArray())
            return HttpResponse::error(400, "names missing");
        tags = normalizedTags(body.value("names"));
    } else {
        return HttpResponse::error(400, "unknown action");
    }
    it->second.insert(kTags, tags);
    stamp(it->second, {}, Origin::ThisClient, isItem);
    return HttpResponse::json(withRequestTime(it->second));
}

void FakeSyncServer::installRoutes()
{
    addRoute("GET", "/api/v1/rest_config/", [this](const HttpRequest&) {
        const QJsonObject config{{"is_online", m_online},
                                 {"requested_time", now()},
                                 {"item_polling_interval", m_itemPollingInterval},
                                 {"project_polling_interval", m_projectPollingInterval},
                                 {kResourceUri, "/api/v1/rest_config/1/"}};
        const QJsonObject meta{{"limit", 1},
                               {"offset", 0},
                               {"total_count", 1},
                               {"requested_time", now()},
                               {"server_time", now()}};
        return HttpResponse::json(QJsonObject{{"meta", meta}, {kObjects, QJsonArray{config}}});
    });

    // Inbox items (those without a project) are listed by the inbox poll only.
    addRoute("GET", "/api/v1/item/", [this](const HttpRequest& request) {
        return listChangedSince(QStringLiteral("items"), m_items, inSomeProject, request);
    });
    addRoute("POST", "/api/v1/item/", [this](const HttpRequest& request) { return postItems(request); });
    addRoute("PUT", "/api/v1/item/", [this](const HttpRequest& request) { return putItems(request); });
    addRoute("GET", "/api/v1/item/:id/",
             [this](const HttpRequest& request) { return getOne(m_items, request, "item"); });
    addRoute("PUT", "/api/v1/item/:id/",
             [this](const HttpRequest& request) { return putOne(m_items, request, true); });

    addRoute("GET", "/api/v1/me/inbox/", [this](const HttpRequest& request) {
        return listChangedSince(
            QStringLiteral("inbox"), m_items,
            [](const QJsonObject& object) { return !inSomeProject(object); }, request);
    });

    addRoute("GET", "/api/v1/project/", [this](const HttpRequest& request) {
        return listChangedSince(QStringLiteral("projects"), m_projects, {}, request);
    });
    addRoute("POST", "/api/v1/project/", [this](const HttpRequest& request) {
        bool ok = false;
        const QJsonObject body = bodyObject(request, &ok);
        if (!ok)
            return HttpResponse::error(400, "body is not a JSON object");
        return HttpResponse::json(withRequestTime(project(createProject(body, Origin::ThisClient))), 201);
    });
    addRoute("GET", "/api/v1/project/:id/",
             [this](const HttpRequest& request) { return getOne(m_projects, request, "project"); });
    addRoute("PUT", "/api/v1/project/:id/",
             [this](const HttpRequest& request) { return putOne(m_projects, request, false); });
    addRoute("GET", "/api/v1/project/:id/items/", [this](const HttpRequest& request) {
        const qint64 id = request.args.value(kId).toLongLong();
        if (m_projects.find(id) == m_projects.end() || !mayRead(m_projects.at(id), false))
            return HttpResponse::error(404, "no such project");
        const QString uri = projectUri(id);
        return listChangedSince(QStringLiteral("project ") + uri, m_items, {}, request, &itemsOfProject(uri));
    });

    addRoute("POST", "/api/v1/tag/", [this](const HttpRequest& request) { return tag(request); });
}

} // namespace qv::test
