#include "platform/rest/NetworkReachability.h"

#include <QNetworkInformation>

namespace qv::rest {

namespace {

bool reachableFrom(QNetworkInformation::Reachability reachability)
{
    return reachability != QNetworkInformation::Reachability::Disconnected;
}

} // namespace

NetworkReachability::NetworkReachability(Backend backend, QObject* parent) : QObject(parent)
{
    if (backend != Backend::System)
        return;
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    QNetworkInformation* information = QNetworkInformation::instance();
    if (!information)
        return;
    m_hasSystemBackend = true;
    m_reachable = reachableFrom(information->reachability());
    connect(information, &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                setReachable(reachableFrom(reachability));
            });
}

void NetworkReachability::setReachable(bool reachable)
{
    if (reachable == m_reachable)
        return;
    m_reachable = reachable;
    emit reachabilityChanged(reachable);
}

} // namespace qv::rest
