#pragma once

#include <QString>

namespace qv {

// The in-app notices feed's configuration, set once at start-up.
class NoticeFeed {
public:
    // The process's feed, made on first use.
    static NoticeFeed& sharedInstance();
    // The notices list on our web host; empty without one.
    static QString noticesAddress(const QString& webOrigin);

    void setNotificationsPlistURL(const QString& address) { m_address = address; }
    QString notificationsPlistURL() const { return m_address; }
    void setApplicationVersion(const QString& version) { m_version = version; }
    QString applicationVersion() const { return m_version; }
    void setShowOldestFirst(bool oldestFirst) { m_showOldestFirst = oldestFirst; }
    bool showOldestFirst() const { return m_showOldestFirst; }

private:
    QString m_address;
    QString m_version;
    bool m_showOldestFirst = false;
};

} // namespace qv
