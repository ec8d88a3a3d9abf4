#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QNetworkReply>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

namespace qv::rest {

class MultipartParams;

// Numbered as the routes number them: GET 0, POST 1, PUT 2.
enum class Method { Get = 0, Post = 1, Put = 2, Delete = 3 };

QByteArray methodName(Method method);

using RequestId = quint64;
using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct Response {
    int statusCode = 0;
    QByteArray body;
    // The body parsed as JSON when it was served as JSON or "text/html"; null otherwise.
    QJsonDocument json;
    QByteArray contentType;
    HeaderList headers;
    QUrl url;

    QString bodyAsString() const { return QString::fromUtf8(body); }
    QByteArray header(const QByteArray& name) const;
};

struct Error {
    enum class Kind {
        Network, // no HTTP reply: refused, dropped, reset
        Timeout, // no data moved within the client's time-out
        Http,    // the server answered with a status of 400 or more
        Parse,   // the reply claimed to be JSON and was not
        Invalid, // the request could not be built (unreadable file, bad address)
    };
    Kind kind = Kind::Network;
    QString message;
    QNetworkReply::NetworkError networkError = QNetworkReply::NoError;
    // What the server sent, for Http and Parse.
    Response response;

    int statusCode() const { return response.statusCode; }
};

struct Request {
    Method method = Method::Get;
    // Relative to the client's base URL, query included, exactly as it goes on the wire:
    // nothing in it is encoded again. An absolute "http(s)://" address is used as it is.
    QString path;
    QByteArray body;
    // Replaces the client's default headers of the same name.
    HeaderList headers;
    // A multipart form body; takes the place of body.
    std::shared_ptr<const MultipartParams> params;
    QVariantMap userData;
    // With false, every HTTP reply reaches onSuccess and the caller reads the status.
    bool failOnHttpError = true;

    std::function<void(const Response&)> onSuccess;
    std::function<void(const Error&)> onFailure;
    std::function<void(qint64 done, qint64 total)> onUploadProgress;
    std::function<void(qint64 done, qint64 total)> onDownloadProgress;
    // When set, the reply's body is handed over piece by piece as it arrives, whatever the
    // status, and Response::body stays empty: a large download never sits in memory whole.
    std::function<void(const QByteArray& chunk)> onBodyChunk;

    // Sets the body and a JSON content type.
    void setJsonBody(const QJsonDocument& document);
    void setHeader(const QByteArray& name, const QByteArray& value);
};

} // namespace qv::rest
