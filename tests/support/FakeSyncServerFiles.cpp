// The fake server's reminders, attachments, signed-in user and web addresses.
#include "tests/support/FakeSyncServer.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace qv::test {

namespace {

const QString kFiles = QStringLiteral("files");
const QString kReminder = QStringLiteral("reminder");
const QString kUsed = QStringLiteral("used_upload_size");

qint64 itemIdOf(const QString& uri)
{
    static const QRegularExpression form(QStringLiteral(R"(^/api/v1/item/(\d+)/?$)"));
    const auto match = form.match(uri);
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

QByteArray quotedParam(const QByteArray& header, const QByteArray& name)
{
    const QRegularExpression form(
        QStringLiteral(R"re((?:^|;)\s*%1="([^"]*)")re").arg(QString::fromLatin1(name)));
    const auto match = form.match(QString::fromUtf8(header));
    return match.hasMatch() ? match.captured(1).toUtf8() : QByteArray();
}

// One red pixel.
QByteArray pngBytes()
{
    static const char bytes[] =
        "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08"
        "\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00\x00\x03"
        "\x01\x01\x00\xc9\xfe\x92\xef\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";
    return QByteArray(bytes, sizeof bytes - 1);
}

} // namespace

QJsonObject FakeSyncServer::reminder(qint64 id) const
{
    const auto it = m_reminders.find(id);
    return it == m_reminders.end() ? QJsonObject() : it->second;
}

QJsonObject FakeSyncServer::file(qint64 id) const
{
    const auto it = m_files.find(id);
    return it == m_files.end() ? QJsonObject() : it->second;
}

QByteArray FakeSyncServer::fileContent(qint64 id) const
{
    const auto it = m_fileBytes.find(id);
    return it == m_fileBytes.end() ? QByteArray() : it->second;
}

QList<FakeSyncServer::FormPart> FakeSyncServer::formParts(const HttpRequest& request)
{
    QByteArray boundary = request.header("Content-Type");
    const int at = int(boundary.indexOf("boundary="));
    if (at < 0)
        return {};
    boundary = boundary.mid(at + 9).trimmed();
    if (boundary.startsWith('"'))
        boundary = boundary.mid(1, boundary.indexOf('"', 1) - 1);
    const QByteArray delimiter = "--" + boundary;
    QList<FormPart> parts;
    qsizetype from = request.body.indexOf(delimiter);
    while (from >= 0) {
        from += delimiter.size();
        if (request.body.mid(from, 2) == "--")
            break;
        from += 2; // CRLF
        const qsizetype next = request.body.indexOf("\r\n" + delimiter, from);
        if (next < 0)
            break;
        const QByteArray chunk = request.body.mid(from, next - from);
        const qsizetype split = chunk.indexOf("\r\n\r\n");
        FormPart part;
        for (const QByteArray& line : chunk.left(split).split('\n')) {
            if (line.toLower().startsWith("content-disposition:")) {
                part.name = QString::fromUtf8(quotedParam(line.trimmed(), "name"));
                part.fileName = QString::fromUtf8(quotedParam(line.trimmed(), "filename"));
            }
        }
        part.body = chunk.mid(split + 4);
        parts.append(part);
        from = next + 2;
    }
    return parts;
}

void FakeSyncServer::touchItem(qint64 itemId)
{
    auto it = m_items.find(itemId);
    if (it == m_items.end())
        return;
    QJsonArray files;
    for (const auto& [id, record] : m_files)
        if (itemIdOf(record.value("item").toString()) == itemId)
            files.append(record);
    it->second.insert(kFiles, files);
    it->second.remove(kReminder);
    for (const auto& [id, record] : m_reminders)
        if (itemIdOf(record.value("item").toString()) == itemId)
            it->second.insert(kReminder, record);
    stamp(it->second, {}, Origin::ThisClient, true);
}

HttpResponse FakeSyncServer::postReminder(const HttpRequest& request, qint64 id)
{
    const QJsonObject body = request.json().object();
    const qint64 itemId = itemIdOf(body.value("item").toString());
    if (m_items.find(itemId) == m_items.end())
        return HttpResponse::error(400, "item: not a known item's path");
    if (id == 0) {
        for (const auto& [known, record] : m_reminders)
            if (itemIdOf(record.value("item").toString()) == itemId)
                id = known;
    } else if (m_reminders.find(id) == m_reminders.end()) {
        return HttpResponse::error(404, "no such reminder");
    }
    const bool created = id == 0;
    if (created)
        id = m_nextReminderId++;
    QJsonObject record = m_reminders[id];
    for (const char* key : {"enabled", "notes", "remind_all_followers", "reminder_date", "repeat_after"})
        if (body.contains(QLatin1String(key)))
            record.insert(QLatin1String(key), body.value(QLatin1String(key)));
    record.insert("id", id);
    record.insert("item", itemUri(itemId));
    record.insert("timestamp", now());
    record.insert("resource_uri", QStringLiteral("/api/v1/reminder/%1/").arg(id));
    m_reminders[id] = record;
    touchItem(itemId);
    return HttpResponse::json(record, created ? 201 : 200);
}

HttpResponse FakeSyncServer::postFile(const HttpRequest& request)
{
    const QList<FormPart> parts = formParts(request);
    QString itemPath;
    qint64 replaced = 0;
    const FormPart* content = nullptr;
    for (const FormPart& part : parts) {
        if (part.name == QLatin1String("item"))
            itemPath = QString::fromUtf8(part.body);
        else if (part.name == QLatin1String("id"))
            replaced = part.body.toLongLong();
        else if (part.name == QLatin1String("content"))
            content = &part;
    }
    const qint64 itemId = itemIdOf(itemPath);
    if (!content || m_items.find(itemId) == m_items.end())
        return HttpResponse::error(400, "expected the parts item and content");
    if (replaced != 0 && m_files.find(replaced) == m_files.end())
        return HttpResponse::error(404, "no such file");
    const qint64 id = replaced != 0 ? replaced : m_nextFileId++;
    const qint64 oldSize = m_files[id].value("size").toInteger();
    QJsonObject record{
        {"id", id},
        {"filename", content->fileName},
        {"item", itemUri(itemId)},
        {"owner", "/api/v1/user/1/"},
        {"resource_uri", QStringLiteral("/api/v1/file/%1/").arg(id)},
        {"size", qint64(content->body.size())},
        {"timestamp", now()},
        {"url", baseUrl().toString() + QStringLiteral("/media/%1/%2").arg(id).arg(content->fileName)}};
    m_files[id] = record;
    m_fileBytes[id] = content->body;
    if (m_userProfile.contains(kUsed))
        m_userProfile.insert(kUsed,
                             m_userProfile.value(kUsed).toDouble() + double(content->body.size() - oldSize));
    touchItem(itemId);
    return HttpResponse::json(record, 201);
}

void FakeSyncServer::installFileRoutes()
{
    m_userProfile = QJsonObject{
        {"max_upload_size", 10 * 1024 * 1024}, {"total_upload_size", 100.0 * 1024 * 1024}, {kUsed, 0.0}};

    addRoute("POST", "/api/v1/reminder/",
             [this](const HttpRequest& request) { return postReminder(request, 0); });
    addRoute("PUT", "/api/v1/reminder/:id/", [this](const HttpRequest& request) {
        const qint64 id = request.args.value("id").toLongLong();
        return id > 0 ? postReminder(request, id) : HttpResponse::error(404, "no such reminder");
    });
    addRoute("GET", "/api/v1/item/:id/reminder/", [this](const HttpRequest& request) {
        const qint64 itemId = request.args.value("id").toLongLong();
        for (const auto& [id, record] : m_reminders)
            if (itemIdOf(record.value("item").toString()) == itemId)
                return HttpResponse::json(record);
        return HttpResponse::error(404, "the item has no reminder");
    });

    addRoute("POST", "/api/v1/file/", [this](const HttpRequest& request) { return postFile(request); });
    addRoute("GET", "/api/v1/file/:id/file/", [this](const HttpRequest& request) {
        const qint64 id = request.args.value("id").toLongLong();
        if (m_fileBytes.find(id) == m_fileBytes.end())
            return HttpResponse::error(404, "no such file");
        return HttpResponse::text(m_fileBytes[id], "application/octet-stream");
    });
    addRoute("DELETE", "/api/v1/file/:id/", [this](const HttpRequest& request) {
        const qint64 id = request.args.value("id").toLongLong();
        const auto it = m_files.find(id);
        if (it == m_files.end())
            return HttpResponse::error(404, "no such file");
        const qint64 itemId = itemIdOf(it->second.value("item").toString());
        if (m_userProfile.contains(kUsed))
            m_userProfile.insert(kUsed, std::max(0.0, m_userProfile.value(kUsed).toDouble() -
                                                          double(it->second.value("size").toInteger())));
        m_files.erase(it);
        m_fileBytes.erase(id);
        touchItem(itemId);
        return HttpResponse::text({}, "application/json", 204);
    });
    addRoute("POST", "/api/v1/file/:id/rename/", [this](const HttpRequest& request) {
        const qint64 id = request.args.value("id").toLongLong();
        const QString name = request.json().object().value("filename").toString();
        const auto it = m_files.find(id);
        if (it == m_files.end())
            return HttpResponse::error(404, "no such file");
        if (name.isEmpty())
            return HttpResponse::error(400, "filename missing");
        it->second.insert("filename", name);
        it->second.insert("timestamp", now());
        touchItem(itemIdOf(it->second.value("item").toString()));
        return HttpResponse::json(it->second);
    });

    addRoute("GET", "/api/v1/me/", [this](const HttpRequest&) {
        return HttpResponse::json(QJsonObject{{"username", m_username},
                                              {"email", m_username},
                                              {"resource_uri", "/api/v1/user/1/"},
                                              {"user_profile", m_userProfile}});
    });
    addRoute("GET", "/web/image.png",
             [](const HttpRequest&) { return HttpResponse::text(pngBytes(), "image/png"); });
    addRoute("GET", "/web/page.txt",
             [](const HttpRequest&) { return HttpResponse::text("not a picture\n", "text/plain"); });
}

} // namespace qv::test
