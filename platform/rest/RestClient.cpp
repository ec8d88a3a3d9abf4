#include "platform/rest/RestClient.h"

#include "platform/rest/MultipartParams.h"
#include "platform/rest/NetworkReachability.h"
#include "platform/rest/SendOnceBody.h"

#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

namespace qv::rest {

QByteArray methodName(Method method)
{
    switch (method) {
    case Method::Get:
        return "GET";
    case Method::Post:
        return "POST";
    case Method::Put:
        return "PUT";
    case Method::Delete:
        return "DELETE";
    }
    return "GET";
}

QByteArray Response::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

void Request::setJsonBody(const QJsonDocument& document)
{
    body = document.toJson(QJsonDocument::Compact);
    setHeader("Content-Type", "application/json");
}

void Request::setHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = value;
            return;
        }
    }
    headers.append({name, value});
}

namespace {

bool hasHeader(const HeaderList& headers, const QByteArray& name)
{
    for (const auto& header : headers)
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The server serves its JSON as "text/html" too; a reply without a type is tried as JSON.
bool servedAsJson(const QByteArray& contentType)
{
    const QByteArray media = contentType.split(';').first().trimmed().toLower();
    return media.isEmpty() || media == "application/json" || media.endsWith("+json") ||
           media == "text/json" || media == "text/javascript" || media == "text/html";
}

// Errors below 200 and the generic protocol failure mean no complete HTTP reply arrived.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return (error > 0 && error < 200) || error == QNetworkReply::ProtocolFailure ||
           error == QNetworkReply::UnknownNetworkError;
}

void drain(QNetworkReply& reply, const Request& request)
{
    constexpr qint64 kChunk = 256 * 1024;
    while (reply.bytesAvailable() > 0)
        request.onBodyChunk(reply.read(kChunk));
}

Error invalidRequest(const QString& message)
{
    Error error;
    error.kind = Error::Kind::Invalid;
    error.message = message;
    return error;
}

} // namespace

bool RestClient::Outcome::succeeded(const Request& request) const
{
    if (!httpReplied)
        return false;
    if (response.statusCode >= 400)
        return !request.failOnHttpError;
    return error.kind != Error::Kind::Parse;
}

Error RestClient::Outcome::failureFor(const Request& request) const
{
    if (httpReplied && response.statusCode >= 400 && request.failOnHttpError) {
        Error http;
        http.kind = Error::Kind::Http;
        http.message = QStringLiteral("HTTP status %1").arg(response.statusCode);
        http.networkError = error.networkError;
        http.response = response;
        return http;
    }
    return error;
}

void RestClient::deliver(const Request& request, const Outcome& outcome)
{
    if (outcome.succeeded(request)) {
        if (request.onSuccess)
            request.onSuccess(outcome.response);
    } else if (request.onFailure) {
        request.onFailure(outcome.failureFor(request));
    }
}

RestClient::RestClient(const QUrl& baseUrl, QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_baseUrl(baseUrl)
{
    m_defaultHeaders.emplaceBack("Accept", "application/json");
}

RestClient::~RestClient()
{
    // Callbacks must not run into owners that are being torn down with the client.
    const auto calls = std::move(m_calls);
    m_calls.clear();
    for (const auto& [id, call] : calls) {
        if (call.reply) {
            call.reply->disconnect(this);
            call.reply->abort();
            delete call.reply;
        }
    }
}

void RestClient::setBaseUrl(const QUrl& url)
{
    m_baseUrl = url;
}

QUrl RestClient::urlForPath(const QString& path) const
{
    if (path.startsWith(QLatin1String("http://")) || path.startsWith(QLatin1String("https://")))
        return QUrl::fromEncoded(path.toUtf8(), QUrl::TolerantMode);
    QByteArray base = m_baseUrl.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment);
    while (base.endsWith('/'))
        base.chop(1);
    QByteArray tail = path.toUtf8();
    if (!tail.isEmpty() && !tail.startsWith('/') && !tail.startsWith('?'))
        tail.prepend('/');
    // Tolerant mode keeps every valid %XX as it is, so a "%20" already in a query is sent once.
    return QUrl::fromEncoded(base + tail, QUrl::TolerantMode);
}

void RestClient::setDefaultHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& header : m_defaultHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = value;
            return;
        }
    }
    m_defaultHeaders.append({name, value});
}

void RestClient::setCookieJar(QNetworkCookieJar* jar)
{
    QObject* owner = jar ? jar->parent() : nullptr;
    m_manager->setCookieJar(jar);
    // The manager adopts the jar; give it back so others can keep sharing it.
    if (jar)
        jar->setParent(owner);
}

void RestClient::setReachability(NetworkReachability* reachability)
{
    m_reachability = reachability;
}

bool RestClient::isNetworkReachable() const
{
    return !m_reachability || m_reachability->isNetworkReachable();
}

QNetworkCookieJar* RestClient::cookieJar() const
{
    return m_manager->cookieJar();
}

RequestId RestClient::send(Request request)
{
    const RequestId id = nextId();
    auto shared = std::make_shared<const Request>(std::move(request));
    start(id, shared, [shared](const Outcome& outcome) { deliver(*shared, outcome); });
    return id;
}

RequestId RestClient::get(const QString& path, std::function<void(const Response&)> onSuccess,
                          std::function<void(const Error&)> onFailure)
{
    Request request;
    request.path = path;
    request.onSuccess = std::move(onSuccess);
    request.onFailure = std::move(onFailure);
    return send(std::move(request));
}

RequestId RestClient::post(const QString& path, const QJsonDocument& body,
                           std::function<void(const Response&)> onSuccess,
                           std::function<void(const Error&)> onFailure)
{
    Request request;
    request.method = Method::Post;
    request.path = path;
    request.setJsonBody(body);
    request.onSuccess = std::move(onSuccess);
    request.onFailure = std::move(onFailure);
    return send(std::move(request));
}

RequestId RestClient::put(const QString& path, const QJsonDocument& body,
                          std::function<void(const Response&)> onSuccess,
                          std::function<void(const Error&)> onFailure)
{
    Request request;
    request.method = Method::Put;
    request.path = path;
    request.setJsonBody(body);
    request.onSuccess = std::move(onSuccess);
    request.onFailure = std::move(onFailure);
    return send(std::move(request));
}

RequestId RestClient::deleteResource(const QString& path, std::function<void(const Response&)> onSuccess,
                                     std::function<void(const Error&)> onFailure)
{
    Request request;
    request.method = Method::Delete;
    request.path = path;
    request.onSuccess = std::move(onSuccess);
    request.onFailure = std::move(onFailure);
    return send(std::move(request));
}

bool RestClient::cancel(RequestId id)
{
    return abort(id);
}

void RestClient::cancelAllRequests()
{
    std::vector<RequestId> ids;
    ids.reserve(m_calls.size());
    for (const auto& entry : m_calls)
        ids.push_back(entry.first);
    for (RequestId id : ids)
        abort(id);
}

void RestClient::start(RequestId id, std::shared_ptr<const Request> request, Completion done)
{
    const QUrl url = urlForPath(request->path);
    auto failLater = [&](const Error& error) {
        // Still asynchronous, so callers see the same order of events as for a network failure.
        m_calls[id] = Call{nullptr, request, std::move(done)};
        QTimer::singleShot(0, this, [this, id, error] {
            auto it = m_calls.find(id);
            if (it == m_calls.end())
                return;
            Call call = std::move(it->second);
            m_calls.erase(it);
            Outcome outcome;
            outcome.error = error;
            call.done(outcome);
        });
    };
    if (!url.isValid() || url.scheme().isEmpty()) {
        failLater(invalidRequest(QStringLiteral("Invalid address: %1").arg(request->path)));
        return;
    }

    QNetworkRequest networkRequest(url);
    HeaderList headers = request->headers;
    for (const auto& header : m_defaultHeaders)
        if (!hasHeader(headers, header.first))
            headers.append(header);
    if (!request->params && !request->body.isEmpty() && !hasHeader(headers, "Content-Type"))
        headers.emplaceBack("Content-Type", "application/json");
    for (const auto& [name, value] : headers) {
        if (request->params && name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            continue; // the multipart body's own, with the boundary, goes instead
        networkRequest.setRawHeader(name, value);
    }
    if (request->params)
        networkRequest.setRawHeader("Content-Type", request->params->contentType());
    if (m_timeoutMs > 0)
        networkRequest.setTransferTimeout(int(std::min<qint64>(m_timeoutMs, INT_MAX)));
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);

    const QByteArray verb = methodName(request->method);
    QNetworkReply* reply = nullptr;
    if (request->params || request->method == Method::Post) {
        // A POST leaves once per decision of ours: the network layer must not send it again
        // on its own after a connection closed without a reply (see SendOnceBody).
        auto body = std::make_unique<SendOnceBody>();
        QString error;
        if (request->params && !request->params->appendTo(*body, &error)) {
            failLater(invalidRequest(error));
            return;
        }
        if (!request->params)
            body->append(request->body);
        body->open(QIODevice::ReadOnly);
        networkRequest.setHeader(QNetworkRequest::ContentLengthHeader, body->totalSize());
        networkRequest.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        reply = m_manager->sendCustomRequest(networkRequest, verb, body.get());
        body.release()->setParent(reply);
    } else if (request->method == Method::Get && request->body.isEmpty()) {
        reply = m_manager->get(networkRequest);
    } else {
        reply = m_manager->sendCustomRequest(networkRequest, verb, request->body);
    }

    m_calls[id] = Call{reply, request, std::move(done)};
    connect(reply, &QNetworkReply::finished, this, [this, id] { finished(id); });
    if (request->onUploadProgress)
        connect(reply, &QNetworkReply::uploadProgress, this,
                [request](qint64 sent, qint64 total) { request->onUploadProgress(sent, total); });
    if (request->onBodyChunk) {
        // The network is read no further ahead than this of what has been handed over.
        reply->setReadBufferSize(1024 * 1024);
        connect(reply, &QNetworkReply::readyRead, this, [reply, request] { drain(*reply, *request); });
    }
    if (request->onDownloadProgress)
        connect(reply, &QNetworkReply::downloadProgress, this,
                [request](qint64 received, qint64 total) { request->onDownloadProgress(received, total); });
}

bool RestClient::abort(RequestId id)
{
    auto it = m_calls.find(id);
    if (it == m_calls.end())
        return false;
    QPointer<QNetworkReply> reply = it->second.reply;
    m_calls.erase(it);
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    return true;
}

void RestClient::finished(RequestId id)
{
    auto it = m_calls.find(id);
    if (it == m_calls.end())
        return;
    Call call = std::move(it->second);
    m_calls.erase(it);
    QNetworkReply* reply = call.reply;
    if (!reply)
        return;
    reply->deleteLater();

    Outcome outcome;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError networkError = reply->error();
    outcome.error.networkError = networkError;
    if (status.isValid() && !isTransportError(networkError)) {
        outcome.httpReplied = true;
        Response& response = outcome.response;
        response.statusCode = status.toInt();
        if (call.request->onBodyChunk)
            drain(*reply, *call.request);
        else
            response.body = reply->readAll();
        response.url = reply->url();
        response.headers = reply->rawHeaderPairs();
        response.contentType = reply->rawHeader("Content-Type");
        if (!response.body.trimmed().isEmpty() && servedAsJson(response.contentType)) {
            QJsonParseError parseError;
            response.json = QJsonDocument::fromJson(response.body, &parseError);
            if (parseError.error != QJsonParseError::NoError && response.statusCode < 400) {
                outcome.error.kind = Error::Kind::Parse;
                outcome.error.message = QStringLiteral("Malformed JSON at offset %1: %2")
                                            .arg(parseError.offset)
                                            .arg(parseError.errorString());
                outcome.error.response = response;
            }
        }
    } else {
        // Cancellations never get here (abort() disconnects first), so a cancelled
        // operation is the transfer time-out.
        const bool timedOut = networkError == QNetworkReply::OperationCanceledError ||
                              networkError == QNetworkReply::TimeoutError;
        outcome.error.kind = timedOut ? Error::Kind::Timeout : Error::Kind::Network;
        outcome.error.message = reply->errorString();
    }
    call.done(outcome);
}

} // namespace qv::rest
