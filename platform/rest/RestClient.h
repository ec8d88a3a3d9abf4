#pragma once

#include "platform/rest/RestTypes.h"

#include <QNetworkCookieJar>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <map>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace qv::rest {

class NetworkReachability;

// HTTP client of the sync server over QNetworkAccessManager. It lives on the main thread and
// every callback runs there, never from inside send(). A request succeeds when an HTTP reply
// below 400 arrives whose body, when served as JSON or "text/html", parses; every other end is
// a failure (see Error::Kind). There is no reply cache: every GET goes to the server. A POST
// reaches the server at most once per send(): when its connection closes without a reply it
// fails as a network error, though the server may have carried it out, and is never sent
// again behind the caller's back.
class RestClient : public QObject {
    Q_OBJECT
public:
    explicit RestClient(const QUrl& baseUrl = {}, QObject* parent = nullptr);
    ~RestClient() override;

    QUrl baseUrl() const { return m_baseUrl; }
    void setBaseUrl(const QUrl& url);
    // The base URL followed by the path's bytes exactly as written (see Request::path).
    QUrl urlForPath(const QString& path) const;

    // Abandons a request when no data has moved for this long; 0 waits for ever.
    void setTimeoutMs(qint64 ms) { m_timeoutMs = ms; }
    qint64 timeoutMs() const { return m_timeoutMs; }

    // Sent with every request unless the request names the same header. Starts with
    // "Accept: application/json".
    void setDefaultHeader(const QByteArray& name, const QByteArray& value);
    const HeaderList& defaultHeaders() const { return m_defaultHeaders; }

    // Shares the jar with other users; the client does not take ownership, so the jar must
    // outlive the client.
    void setCookieJar(QNetworkCookieJar* jar);
    QNetworkCookieJar* cookieJar() const;

    // Where isNetworkReachable() looks; not owned. Without one the network counts as reachable.
    void setReachability(NetworkReachability* reachability);
    bool isNetworkReachable() const;

    // Sends at once, outside any queue.
    RequestId send(Request request);
    RequestId get(const QString& path, std::function<void(const Response&)> onSuccess = {},
                  std::function<void(const Error&)> onFailure = {});
    RequestId post(const QString& path, const QJsonDocument& body,
                   std::function<void(const Response&)> onSuccess = {},
                   std::function<void(const Error&)> onFailure = {});
    RequestId put(const QString& path, const QJsonDocument& body,
                  std::function<void(const Response&)> onSuccess = {},
                  std::function<void(const Error&)> onFailure = {});
    RequestId deleteResource(const QString& path, std::function<void(const Response&)> onSuccess = {},
                             std::function<void(const Error&)> onFailure = {});

    // A cancelled request calls neither of its callbacks. false when the id is not loading.
    bool cancel(RequestId id);
    void cancelAllRequests();
    int loadingCount() const { return int(m_calls.size()); }

    // How a finished transfer ended, before the request's callbacks are chosen.
    struct Outcome {
        bool httpReplied = false; // false: the transfer failed (error holds why)
        Response response;
        Error error;
        // Whether the request's success callback is the one to call.
        bool succeeded(const Request& request) const;
        Error failureFor(const Request& request) const;
    };
    // Calls the request's success or failure callback for this outcome.
    static void deliver(const Request& request, const Outcome& outcome);

private:
    friend class RequestQueue;
    using Completion = std::function<void(const Outcome&)>;
    struct Call {
        QPointer<QNetworkReply> reply;
        std::shared_ptr<const Request> request;
        Completion done;
    };

    RequestId nextId() { return ++m_lastId; }
    // Starts the transfer of request; done runs once, later, unless the call is aborted.
    void start(RequestId id, std::shared_ptr<const Request> request, Completion done);
    // Drops a loading call without running its completion.
    bool abort(RequestId id);
    void finished(RequestId id);

    QNetworkAccessManager* m_manager = nullptr;
    QPointer<NetworkReachability> m_reachability;
    QUrl m_baseUrl;
    qint64 m_timeoutMs = 0;
    HeaderList m_defaultHeaders;
    std::map<RequestId, Call> m_calls;
    RequestId m_lastId = 0;
};

} // namespace qv::rest
