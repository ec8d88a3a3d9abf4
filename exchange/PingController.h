#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

namespace qv {

// Usage announcements ("startapp", "wakeapp", "endapp") to our web host: one
// form-encoded POST each, never retried. Without a web host nothing is sent.
class PingController final {
public:
    struct Options {
        QString webOrigin; // empty: announcements are not sent
        QString deviceUID; // empty: this machine's identifier
        QString version;   // empty: the build's version
    };

    // network may be null: the controller makes its own.
    explicit PingController(Options options, QNetworkAccessManager* network = nullptr);
    ~PingController();
    PingController(const PingController&) = delete;
    PingController& operator=(const PingController&) = delete;

    // answered runs once the host has answered or the request failed, at once when nothing
    // is sent; it does not run when the controller goes first.
    void pingServer(const QString& eventName, std::function<void()> answered = {});

    // Where announcements go; invalid without a usable web host.
    QUrl pingURL() const;
    // The form body of one announcement.
    QByteArray formBody(const QString& eventName) const;

private:
    Options m_options;
    QNetworkAccessManager* m_network;
    bool m_ownsNetwork;
};

} // namespace qv
