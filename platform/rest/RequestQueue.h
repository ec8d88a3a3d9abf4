#pragma once

#include "platform/rest/RestClient.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <map>

namespace qv::rest {

// Sends its requests through a client in the order they were added, at most
// concurrentRequestsLimit() at once (1 unless changed). A new queue is suspended: nothing is
// sent before start(). Suspending holds back requests not yet sent; those already loading
// finish. A cancelled request calls neither of its callbacks; the queue reports it through
// didCancelRequest. Destroying the queue drops its requests without any callback or signal.
// The client must outlive its queues.
class RequestQueue : public QObject {
    Q_OBJECT
public:
    explicit RequestQueue(RestClient* client, QObject* parent = nullptr);
    ~RequestQueue() override;

    void setConcurrentRequestsLimit(int limit);
    int concurrentRequestsLimit() const { return m_limit; }

    void start() { setSuspended(false); }
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }

    RequestId addRequest(Request request);
    // false when the id is neither waiting nor loading.
    bool cancelRequest(RequestId id);
    void cancelAllRequests();

    // Requests waiting or loading.
    int count() const { return int(m_waiting.size() + m_loading.size()); }
    int loadingCount() const { return int(m_loading.size()); }
    bool contains(RequestId id) const;

    RestClient* client() const { return m_client; }

signals:
    void willSendRequest(qv::rest::RequestId id, const QVariantMap& userData);
    void didSendRequest(qv::rest::RequestId id, const QVariantMap& userData);
    // Any HTTP reply, whatever its status; the request's own callbacks decide success.
    void didLoadResponse(qv::rest::RequestId id, const QVariantMap& userData,
                         const qv::rest::Response& response);
    // No HTTP reply: the transfer failed, timed out or could not be built.
    void didFailRequest(qv::rest::RequestId id, const QVariantMap& userData, const qv::rest::Error& error);
    void didCancelRequest(qv::rest::RequestId id, const QVariantMap& userData);

private:
    struct Entry {
        RequestId id = 0;
        std::shared_ptr<const Request> request;
    };
    void pump();
    void finished(RequestId id, const RestClient::Outcome& outcome);

    QPointer<RestClient> m_client;
    int m_limit = 1;
    bool m_suspended = true;
    bool m_pumping = false;
    std::deque<Entry> m_waiting;
    std::map<RequestId, Entry> m_loading;
};

} // namespace qv::rest
