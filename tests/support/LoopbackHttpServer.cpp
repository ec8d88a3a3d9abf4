#include "tests/support/LoopbackHttpServer.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace qv::test {

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
constexpr qint64 kMaxBodyBytes = 64 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases = {{200, "OK"},
                                                   {201, "Created"},
                                                   {202, "Accepted"},
                                                   {204, "No Content"},
                                                   {302, "Found"},
                                                   {400, "Bad Request"},
                                                   {401, "Unauthorized"},
                                                   {403, "Forbidden"},
                                                   {404, "Not Found"},
                                                   {405, "Method Not Allowed"},
                                                   {409, "Conflict"},
                                                   {413, "Payload Too Large"},
                                                   {500, "Internal Server Error"},
                                                   {501, "Not Implemented"},
                                                   {502, "Bad Gateway"},
                                                   {503, "Service Unavailable"}};
    return phrases.value(status, "Status");
}

QString decodeQueryPart(QByteArray part)
{
    part.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
}

bool pathMatches(const QByteArray& path, const QString& pattern, PathMatch match)
{
    const QByteArray wanted = pattern.toUtf8();
    return match == PathMatch::Exact ? path == wanted : path.startsWith(wanted);
}

} // namespace

QByteArray HttpRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

bool HttpRequest::hasQueryItem(const QString& name) const
{
    for (const QByteArray& item : rawQuery.split('&'))
        if (decodeQueryPart(item.left(item.indexOf('=') < 0 ? item.size() : item.indexOf('='))) == name)
            return true;
    return false;
}

QString HttpRequest::queryItem(const QString& name) const
{
    for (const QByteArray& item : rawQuery.split('&')) {
        const qsizetype equals = item.indexOf('=');
        const QByteArray key = equals < 0 ? item : item.left(equals);
        if (decodeQueryPart(key) == name)
            return equals < 0 ? QString() : decodeQueryPart(item.mid(equals + 1));
    }
    return {};
}

HttpResponse HttpResponse::json(const QJsonObject& object, int status)
{
    return json(QJsonDocument(object), status);
}

HttpResponse HttpResponse::json(const QJsonDocument& document, int status)
{
    HttpResponse response;
    response.status = status;
    response.body = document.toJson(QJsonDocument::Compact);
    return response;
}

HttpResponse HttpResponse::error(int status, const QString& message)
{
    return json(QJsonObject{{QStringLiteral("error"), message}}, status);
}

HttpResponse HttpResponse::text(const QByteArray& body, const QByteArray& contentType, int status)
{
    HttpResponse response;
    response.status = status;
    response.body = body;
    response.contentType = contentType;
    return response;
}

// One TCP connection: reads requests one after another and answers them in order.
class LoopbackHttpServer::Connection : public QObject {
public:
    Connection(LoopbackHttpServer* server, QTcpSocket* socket, int id)
        : QObject(server), m_server(server), m_socket(socket), m_id(id)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            m_buffer += m_socket->readAll();
            processNext();
        });
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    }

    void answer(const QByteArray& bytes, bool closeAfter)
    {
        m_busy = false;
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        m_socket->write(bytes);
        if (closeAfter) {
            m_socket->disconnectFromHost();
            return;
        }
        // A pipelined request may already wait in the buffer.
        QTimer::singleShot(0, this, [this] { processNext(); });
    }

    void drop()
    {
        m_busy = false;
        m_buffer.clear();
        m_socket->abort();
        deleteLater();
    }

private:
    void processNext()
    {
        if (m_busy)
            return;
        const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            if (m_buffer.size() > kMaxHeaderBytes)
                refuse(400, "request header too large");
            return;
        }
        const QList<QByteArray> lines = m_buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
            refuse(400, "bad request line");
            return;
        }
        HttpRequest request;
        request.connectionId = m_id;
        request.method = requestLine[0];
        request.target = requestLine[1];
        const qsizetype question = request.target.indexOf('?');
        request.path = question < 0 ? request.target : request.target.left(question);
        request.rawQuery = question < 0 ? QByteArray() : request.target.mid(question + 1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        if (!request.header("Transfer-Encoding").isEmpty()) {
            refuse(501, "chunked bodies are not supported");
            return;
        }
        bool lengthOk = true;
        const QByteArray lengthText = request.header("Content-Length");
        const qint64 length = lengthText.isEmpty() ? 0 : lengthText.toLongLong(&lengthOk);
        if (!lengthOk || length < 0 || length > kMaxBodyBytes) {
            refuse(lengthOk ? 413 : 400, "bad Content-Length");
            return;
        }
        const qsizetype bodyStart = headerEnd + 4;
        if (m_buffer.size() - bodyStart < length)
            return;
        request.body = m_buffer.mid(bodyStart, length);
        m_buffer.remove(0, bodyStart + length);

        const QByteArray connectionHeader = request.header("Connection").toLower();
        const bool closeAfter =
            connectionHeader == "close" || (requestLine[2] == "HTTP/1.0" && connectionHeader != "keep-alive");
        m_busy = true;
        m_server->handle(this, std::move(request), closeAfter);
    }

    void refuse(int status, const QByteArray& message)
    {
        m_busy = true;
        m_buffer.clear();
        const QByteArray body = "{\"error\": \"" + message + "\"}";
        answer("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                   "\r\nContent-Type: application/json\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
               true);
    }

    LoopbackHttpServer* m_server;
    QTcpSocket* m_socket;
    int m_id;
    QByteArray m_buffer;
    bool m_busy = false;
};

LoopbackHttpServer::LoopbackHttpServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::newConnection);
}

LoopbackHttpServer::~LoopbackHttpServer() = default;

bool LoopbackHttpServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

void LoopbackHttpServer::close()
{
    m_server->close();
    const auto connections = std::move(m_connections);
    m_connections.clear();
    for (const QPointer<Connection>& connection : connections)
        if (connection)
            connection->drop();
}

quint16 LoopbackHttpServer::port() const
{
    return m_server->serverPort();
}

QUrl LoopbackHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void LoopbackHttpServer::addRoute(const QByteArray& method, const QString& pattern, Handler handler)
{
    m_routes.prepend({method.toUpper(), pattern.split(QLatin1Char('/')), std::move(handler)});
}

QList<HttpRequest> LoopbackHttpServer::requestsTo(const QByteArray& method, const QString& pathPrefix) const
{
    QList<HttpRequest> matching;
    for (const HttpRequest& request : m_log)
        if ((method.isEmpty() || request.method == method) &&
            pathMatches(request.path, pathPrefix, PathMatch::Prefix))
            matching.append(request);
    return matching;
}

void LoopbackHttpServer::injectFault(const QString& path, Fault fault, int times, PathMatch match)
{
    if (times != 0)
        m_faults.append({path, match, fault, times});
}

void LoopbackHttpServer::failNext(const QString& path, int status, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::Status, status, 0}, times, match);
}

void LoopbackHttpServer::holdNext(const QString& path, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::Hold, 0, 0}, times, match);
}

void LoopbackHttpServer::dropNext(const QString& path, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::DropConnection, 0, 0}, times, match);
}

void LoopbackHttpServer::malformNext(const QString& path, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::MalformedJson, 0, 0}, times, match);
}

void LoopbackHttpServer::truncateNext(const QString& path, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::TruncatedJson, 0, 0}, times, match);
}

void LoopbackHttpServer::omitFromBulkNext(const QString& path, int count, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::OmitFromBulk, 0, count}, times, match);
}

void LoopbackHttpServer::applyThenDropNext(const QString& path, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::AppliedThenDropped, 0, 0}, times, match);
}

void LoopbackHttpServer::applyThenFailNext(const QString& path, int status, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::AppliedThenStatus, status, 0}, times, match);
}

void LoopbackHttpServer::applyThenCutNext(const QString& path, int times, PathMatch match)
{
    injectFault(path, Fault{Fault::Kind::CutReply, 0, 0}, times, match);
}

void LoopbackHttpServer::releaseHeldReplies()
{
    const QList<Held> held = std::move(m_held);
    m_held.clear();
    for (const Held& entry : held) {
        if (entry.connection)
            send(entry.connection, entry.response, entry.close);
        else
            --m_inFlight;
    }
}

void LoopbackHttpServer::newConnection()
{
    m_connections.removeIf([](const QPointer<Connection>& connection) { return connection.isNull(); });
    while (QTcpSocket* socket = m_server->nextPendingConnection())
        m_connections.append(new Connection(this, socket, ++m_connectionCount));
}

HttpResponse LoopbackHttpServer::route(HttpRequest& request) const
{
    if (m_gate) {
        if (std::optional<HttpResponse> answer = m_gate(request))
            return *answer;
    }
    const QStringList segments = QString::fromUtf8(request.path).split(QLatin1Char('/'));
    bool pathKnown = false;
    for (const Route& route : m_routes) {
        if (route.segments.size() != segments.size())
            continue;
        QHash<QString, QString> args;
        bool matches = true;
        for (qsizetype i = 0; i < segments.size() && matches; ++i) {
            const QString& wanted = route.segments[i];
            if (wanted.startsWith(QLatin1Char(':')) && !segments[i].isEmpty())
                args.insert(wanted.mid(1),
                            QString::fromUtf8(QByteArray::fromPercentEncoding(segments[i].toUtf8())));
            else
                matches = wanted == segments[i];
        }
        if (!matches)
            continue;
        pathKnown = true;
        if (route.method != request.method)
            continue;
        request.args = args;
        return route.handler(request);
    }
    return pathKnown ? HttpResponse::error(405, QStringLiteral("method not allowed"))
                     : HttpResponse::error(404, QStringLiteral("not found"));
}

void LoopbackHttpServer::handle(Connection* connection, HttpRequest request, bool closeAfter)
{
    request.sequence = ++m_sequence;
    ++m_inFlight;
    m_log.append(request);
    QPointer<Connection> guard(connection);
    emit requestReceived(request);
    if (!guard) {
        --m_inFlight;
        return;
    }

    // One entry per kind: a second fault of the same kind waits until the first is used up.
    QList<Fault> faults;
    for (FaultEntry& entry : m_faults) {
        if (entry.remaining == 0 || !pathMatches(request.path, entry.path, entry.match))
            continue;
        const auto sameKind = [&](const Fault& taken) {
            return taken.kind == entry.fault.kind;
        };
        if (std::any_of(faults.cbegin(), faults.cend(), sameKind))
            continue;
        faults.append(entry.fault);
        if (entry.remaining > 0)
            --entry.remaining;
    }
    m_faults.removeIf([](const FaultEntry& entry) { return entry.remaining == 0; });
    auto has = [&](Fault::Kind kind) {
        return std::find_if(faults.cbegin(), faults.cend(),
                            [kind](const Fault& f) { return f.kind == kind; });
    };

    if (has(Fault::Kind::DropConnection) != faults.cend()) {
        --m_inFlight;
        connection->drop();
        return;
    }

    HttpResponse response;
    if (auto status = has(Fault::Kind::Status); status != faults.cend())
        response = HttpResponse::error(status->status, QStringLiteral("injected failure"));
    else if (has(Fault::Kind::MalformedJson) != faults.cend())
        response = HttpResponse::text(R"({"objects": [{"id": 1,}], "meta": )", m_jsonContentType);
    else
        response = route(request);

    if (has(Fault::Kind::AppliedThenDropped) != faults.cend()) {
        --m_inFlight;
        connection->drop();
        return;
    }
    if (auto status = has(Fault::Kind::AppliedThenStatus); status != faults.cend())
        response = HttpResponse::error(status->status, QStringLiteral("bad gateway"));
    if (has(Fault::Kind::CutReply) != faults.cend()) {
        send(connection, response, true, true);
        return;
    }
    if (auto omit = has(Fault::Kind::OmitFromBulk); omit != faults.cend()) {
        QJsonObject object = QJsonDocument::fromJson(response.body).object();
        QJsonArray objects = object.value(QStringLiteral("objects")).toArray();
        for (int i = 0; i < omit->count && !objects.isEmpty(); ++i)
            objects.removeLast();
        object.insert(QStringLiteral("objects"), objects);
        response.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    if (has(Fault::Kind::TruncatedJson) != faults.cend())
        response.body.truncate(response.body.size() / 2);

    if (has(Fault::Kind::Hold) != faults.cend()) {
        m_held.append({connection, response, closeAfter});
        return;
    }
    send(connection, response, closeAfter);
}

void LoopbackHttpServer::send(Connection* connection, const HttpResponse& response, bool closeAfter, bool cut)
{
    --m_inFlight;
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    bytes += "Content-Type: " + (response.contentType.isEmpty() ? m_jsonContentType : response.contentType) +
             "\r\n";
    bytes += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    bytes += closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    for (const auto& [name, value] : response.headers)
        bytes += name + ": " + value + "\r\n";
    bytes += "\r\n" + (cut ? response.body.left(response.body.size() / 2) : response.body);
    connection->answer(bytes, closeAfter || cut);
}

} // namespace qv::test
