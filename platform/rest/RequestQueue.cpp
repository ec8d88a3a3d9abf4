#include "platform/rest/RequestQueue.h"

#include <algorithm>
#include <vector>

namespace qv::rest {

RequestQueue::RequestQueue(RestClient* client, QObject* parent) : QObject(parent), m_client(client) {}

RequestQueue::~RequestQueue()
{
    if (m_client)
        for (const auto& entry : m_loading)
            m_client->abort(entry.first);
}

void RequestQueue::setConcurrentRequestsLimit(int limit)
{
    m_limit = std::max(1, limit);
    pump();
}

void RequestQueue::setSuspended(bool suspended)
{
    m_suspended = suspended;
    if (!suspended)
        pump();
}

RequestId RequestQueue::addRequest(Request request)
{
    if (!m_client)
        return 0;
    const RequestId id = m_client->nextId();
    m_waiting.push_back({id, std::make_shared<const Request>(std::move(request))});
    pump();
    return id;
}

bool RequestQueue::contains(RequestId id) const
{
    if (m_loading.count(id))
        return true;
    for (const Entry& entry : m_waiting)
        if (entry.id == id)
            return true;
    return false;
}

bool RequestQueue::cancelRequest(RequestId id)
{
    QVariantMap userData;
    if (auto it = m_loading.find(id); it != m_loading.end()) {
        userData = it->second.request->userData;
        m_loading.erase(it);
        if (m_client)
            m_client->abort(id);
    } else {
        auto waiting = std::find_if(m_waiting.begin(), m_waiting.end(),
                                    [id](const Entry& entry) { return entry.id == id; });
        if (waiting == m_waiting.end())
            return false;
        userData = waiting->request->userData;
        m_waiting.erase(waiting);
    }
    QPointer<RequestQueue> self(this);
    emit didCancelRequest(id, userData);
    if (self)
        pump();
    return true;
}

void RequestQueue::cancelAllRequests()
{
    // Loading ones first, then the waiting ones in order; all are gone before any signal, so a
    // listener that adds a request sees an empty queue.
    std::vector<Entry> cancelled;
    for (auto& [id, entry] : m_loading) {
        if (m_client)
            m_client->abort(id);
        cancelled.push_back(std::move(entry));
    }
    m_loading.clear();
    for (Entry& entry : m_waiting)
        cancelled.push_back(std::move(entry));
    m_waiting.clear();
    QPointer<RequestQueue> self(this);
    for (const Entry& entry : cancelled) {
        emit didCancelRequest(entry.id, entry.request->userData);
        if (!self)
            return;
    }
}

void RequestQueue::pump()
{
    if (m_pumping)
        return;
    m_pumping = true;
    QPointer<RequestQueue> self(this);
    while (!m_suspended && m_client && int(m_loading.size()) < m_limit && !m_waiting.empty()) {
        Entry entry = std::move(m_waiting.front());
        m_waiting.pop_front();
        const RequestId id = entry.id;
        m_loading[id] = entry;
        emit willSendRequest(id, entry.request->userData);
        if (!self)
            return;
        // A listener may have cancelled it or suspended the queue.
        if (!m_loading.count(id))
            continue;
        m_client->start(id, entry.request,
                        [this, id](const RestClient::Outcome& outcome) { finished(id, outcome); });
        emit didSendRequest(id, entry.request->userData);
        if (!self)
            return;
    }
    m_pumping = false;
}

void RequestQueue::finished(RequestId id, const RestClient::Outcome& outcome)
{
    auto it = m_loading.find(id);
    if (it == m_loading.end())
        return;
    const std::shared_ptr<const Request> request = it->second.request;
    m_loading.erase(it);

    QPointer<RequestQueue> self(this);
    RestClient::deliver(*request, outcome);
    if (!self)
        return;
    if (outcome.httpReplied)
        emit didLoadResponse(id, request->userData, outcome.response);
    else
        emit didFailRequest(id, request->userData, outcome.error);
    if (self)
        pump();
}

} // namespace qv::rest
