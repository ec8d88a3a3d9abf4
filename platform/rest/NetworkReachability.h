#pragma once

#include <QObject>

namespace qv::rest {

// Whether the network can be reached, and a signal when that changes. With the system backend it
// follows QNetworkInformation where a backend with reachability loads, and otherwise assumes the
// network reachable. Only a known disconnection counts as unreachable: a server on the local
// network is still worth trying when the internet is not reachable.
class NetworkReachability : public QObject {
    Q_OBJECT
public:
    enum class Backend {
        System, // QNetworkInformation
        Manual, // reachable until setReachable() says otherwise (tests, no backend)
    };

    explicit NetworkReachability(Backend backend = Backend::System, QObject* parent = nullptr);

    bool isNetworkReachable() const { return m_reachable; }
    // Whether a system backend was loaded.
    bool hasSystemBackend() const { return m_hasSystemBackend; }

    // Overrides the observed state; emits reachabilityChanged when it differs.
    void setReachable(bool reachable);

signals:
    void reachabilityChanged(bool reachable);

private:
    bool m_reachable = true;
    bool m_hasSystemBackend = false;
};

} // namespace qv::rest
