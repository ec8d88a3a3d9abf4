#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace qv::test {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One request as it arrived, bytes untouched.
struct HttpRequest {
    qint64 sequence = 0;  // 1, 2, ... in order of arrival
    int connectionId = 0; // which TCP connection carried it
    QByteArray method;
    QByteArray target;   // the request line's target, e.g. "/api/v1/item/?format=json"
    QByteArray path;     // target before '?'
    QByteArray rawQuery; // target after '?', not decoded
    HeaderList headers;
    QByteArray body;
    QHash<QString, QString> args; // the ":name" segments of the route that took it

    QByteArray header(const QByteArray& name) const;
    bool hasQueryItem(const QString& name) const;
    // Decoded ("%XX" and '+'); empty when absent.
    QString queryItem(const QString& name) const;
    QJsonDocument json() const { return QJsonDocument::fromJson(body); }
};

struct HttpResponse {
    int status = 200;
    QByteArray body;
    QByteArray contentType; // empty: the server's JSON content type
    HeaderList headers;

    static HttpResponse json(const QJsonObject& object, int status = 200);
    static HttpResponse json(const QJsonDocument& document, int status = 200);
    static HttpResponse error(int status, const QString& message);
    static HttpResponse text(const QByteArray& body, const QByteArray& contentType, int status = 200);
};

struct Fault {
    enum class Kind {
        Status,         // answer with `status` without handling the request
        Hold,           // handle it, answer when releaseHeldReplies() is called
        DropConnection, // close the connection without answering or handling it
        MalformedJson,  // answer 200 with a body that is not JSON
        TruncatedJson,  // handle it, answer with the first half of the body
        OmitFromBulk,   // handle it, leave the last `count` entries out of "objects"
        // The server acted, the client cannot tell:
        AppliedThenDropped, // handle it, close the connection without answering
        AppliedThenStatus,  // handle it, answer with `status` (a gateway's 502, say)
        CutReply,           // handle it, send the header and half the body, close the connection
    };
    Kind kind = Kind::Status;
    int status = 500;
    int count = 1;
};

enum class PathMatch { Prefix, Exact };

// A small HTTP/1.1 server on 127.0.0.1 only, for tests: keep-alive connections, bodies with
// Content-Length, a route table of method + path pattern, a request log and fault injection.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    explicit LoopbackHttpServer(QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    // Port 0 lets the system pick a free one.
    bool listen(quint16 port = 0);
    void close();
    quint16 port() const;
    // "http://127.0.0.1:<port>"
    QUrl baseUrl() const;

    // Asked before any route: a response answers the request in the route's place.
    using Gate = std::function<std::optional<HttpResponse>(const HttpRequest&)>;
    void setGate(Gate gate) { m_gate = std::move(gate); }

    // A pattern is a path whose ":name" segments match any one segment, e.g. "/api/v1/item/:id/".
    // A route added later takes precedence over an earlier one for the same request.
    void addRoute(const QByteArray& method, const QString& pattern, Handler handler);

    // The request log, in order of arrival (dropped and faulted requests included).
    const QList<HttpRequest>& requests() const { return m_log; }
    QList<HttpRequest> requestsTo(const QByteArray& method, const QString& pathPrefix) const;
    void clearRequests() { m_log.clear(); }
    int connectionCount() const { return m_connectionCount; }

    // Applies fault to the next `times` requests whose path matches (times < 0: until cleared).
    // Faults of different kinds can meet on one request (a hold and a status, say); faults of
    // the same kind take turns in the order they were injected.
    void injectFault(const QString& path, Fault fault, int times = 1, PathMatch match = PathMatch::Prefix);
    void failNext(const QString& path, int status, int times = 1, PathMatch match = PathMatch::Prefix);
    void holdNext(const QString& path, int times = 1, PathMatch match = PathMatch::Prefix);
    void dropNext(const QString& path, int times = 1, PathMatch match = PathMatch::Prefix);
    void malformNext(const QString& path, int times = 1, PathMatch match = PathMatch::Prefix);
    void truncateNext(const QString& path, int times = 1, PathMatch match = PathMatch::Prefix);
    void omitFromBulkNext(const QString& path, int count, int times = 1, PathMatch match = PathMatch::Prefix);
    void applyThenDropNext(const QString& path, int times = 1, PathMatch match = PathMatch::Prefix);
    void applyThenFailNext(const QString& path, int status, int times = 1,
                           PathMatch match = PathMatch::Prefix);
    void applyThenCutNext(const QString& path, int times = 1, PathMatch match = PathMatch::Prefix);
    void clearFaults() { m_faults.clear(); }

    void releaseHeldReplies();
    int heldReplyCount() const { return int(m_held.size()); }
    // Requests received whose answer has not been written yet.
    int inFlightCount() const { return m_inFlight; }

    // Content type of JSON answers; "application/json; charset=utf-8" unless changed.
    void setJsonContentType(const QByteArray& type) { m_jsonContentType = type; }

signals:
    void requestReceived(const qv::test::HttpRequest& request);

private:
    class Connection;
    struct Route {
        QByteArray method;
        QStringList segments;
        Handler handler;
    };
    struct FaultEntry {
        QString path;
        PathMatch match;
        Fault fault;
        int remaining;
    };
    struct Held {
        QPointer<Connection> connection;
        HttpResponse response;
        bool close;
    };

    void newConnection();
    void handle(Connection* connection, HttpRequest request, bool closeAfter);
    HttpResponse route(HttpRequest& request) const;
    // cut: only half the body goes out, then the connection closes.
    void send(Connection* connection, const HttpResponse& response, bool closeAfter, bool cut = false);

    QTcpServer* m_server = nullptr;
    QList<Route> m_routes;
    Gate m_gate;
    QList<HttpRequest> m_log;
    QList<FaultEntry> m_faults;
    QList<Held> m_held;
    QList<QPointer<Connection>> m_connections;
    QByteArray m_jsonContentType = "application/json; charset=utf-8";
    qint64 m_sequence = 0;
    int m_connectionCount = 0;
    int m_inFlight = 0;
};

} // namespace qv::test
