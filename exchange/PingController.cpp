#include "exchange/PingController.h"

#include "core/util/BuildInfo.h"
#include "core/util/Utils.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace qv {

PingController::PingController(Options options, QNetworkAccessManager* network)
    : m_options(std::move(options)), m_network(network), m_ownsNetwork(network == nullptr)
{
    if (m_ownsNetwork)
        m_network = new QNetworkAccessManager;
    if (m_options.deviceUID.isEmpty())
        m_options.deviceUID = Utils::getDeviceUID();
    if (m_options.version.isEmpty())
        m_options.version = BuildInfo::version();
    while (m_options.webOrigin.endsWith(QLatin1Char('/')))
        m_options.webOrigin.chop(1);
}

PingController::~PingController()
{
    if (m_ownsNetwork)
        delete m_network;
}

QUrl PingController::pingURL() const
{
    if (m_options.webOrigin.isEmpty())
        return {};
    const QUrl url(m_options.webOrigin + QStringLiteral("/ping/"), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return {};
    return url;
}

QByteArray PingController::formBody(const QString& eventName) const
{
    return QByteArrayLiteral("device_id=") + QUrl::toPercentEncoding(m_options.deviceUID) +
           QByteArrayLiteral("&version=") + QUrl::toPercentEncoding(m_options.version) +
           QByteArrayLiteral("&event=") + QUrl::toPercentEncoding(eventName);
}

void PingController::pingServer(const QString& eventName, std::function<void()> answered)
{
    const QUrl url = pingURL();
    if (!url.isValid()) {
        if (answered)
            answered();
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::UserAgentHeader, Utils::appUserAgent());
    request.setTransferTimeout(30'000);
    QNetworkReply* reply = m_network->post(request, formBody(eventName));
    // Failures are not reported; only the quit waits for an answer, and only briefly.
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, answered = std::move(answered)] {
        reply->deleteLater();
        if (answered)
            answered();
    });
}

} // namespace qv
