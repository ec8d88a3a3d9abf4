#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

namespace qv {

struct Notification {
    QString name;
    const void* sender = nullptr; // the posting object, for observers that filter by it
    QVariant object;              // a payload some notifications carry as their object
    QVariantMap userInfo;
};

// Named notifications, delivered synchronously on the posting thread.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // sender == nullptr observes posts from any sender.
    void addObserver(const void* owner, const QString& name, Handler handler, const void* sender = nullptr);
    void removeObserver(const void* owner);
    void removeObserver(const void* owner, const QString& name);

    // Observers added or removed by a handler take effect for the next post.
    void post(const Notification& notification);
    void post(const QString& name, const void* sender = nullptr, const QVariantMap& userInfo = {});

    int observerCount(const QString& name) const;

private:
    struct Impl;
    Impl* d;
};

} // namespace qv
