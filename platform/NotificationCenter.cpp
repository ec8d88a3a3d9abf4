#include "platform/NotificationCenter.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace qv {

struct NotificationCenter::Impl {
    struct Observer {
        const void* owner = nullptr;
        QString name;
        Handler handler;
        const void* sender = nullptr;
        bool removed = false;
    };

    std::vector<std::shared_ptr<Observer>> observers;

    template <typename Predicate> void removeIf(Predicate matches)
    {
        // Flag first: a post in progress holds its own list and must skip the removed ones.
        const auto end = std::remove_if(observers.begin(), observers.end(), [&](const auto& observer) {
            if (!matches(*observer))
                return false;
            observer->removed = true;
            return true;
        });
        observers.erase(end, observers.end());
    }
};

NotificationCenter::NotificationCenter() : d(new Impl) {}

NotificationCenter::~NotificationCenter()
{
    for (const auto& observer : d->observers)
        observer->removed = true;
    delete d;
}

void NotificationCenter::addObserver(const void* owner, const QString& name, Handler handler,
                                     const void* sender)
{
    auto observer = std::make_shared<Impl::Observer>();
    observer->owner = owner;
    observer->name = name;
    observer->handler = std::move(handler);
    observer->sender = sender;
    d->observers.push_back(std::move(observer));
}

void NotificationCenter::removeObserver(const void* owner)
{
    d->removeIf([owner](const Impl::Observer& observer) { return observer.owner == owner; });
}

void NotificationCenter::removeObserver(const void* owner, const QString& name)
{
    d->removeIf(
        [&](const Impl::Observer& observer) { return observer.owner == owner && observer.name == name; });
}

void NotificationCenter::post(const Notification& notification)
{
    std::vector<std::shared_ptr<Impl::Observer>> receivers;
    for (const auto& observer : d->observers) {
        if (observer->name == notification.name &&
            (observer->sender == nullptr || observer->sender == notification.sender))
            receivers.push_back(observer);
    }
    // Only the local list is used from here on: a handler may remove observers or even
    // destroy this center.
    for (const auto& observer : receivers) {
        if (!observer->removed)
            observer->handler(notification);
    }
}

void NotificationCenter::post(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    Notification notification;
    notification.name = name;
    notification.sender = sender;
    notification.userInfo = userInfo;
    post(notification);
}

int NotificationCenter::observerCount(const QString& name) const
{
    return int(std::count_if(d->observers.begin(), d->observers.end(),
                             [&](const auto& observer) { return observer->name == name; }));
}

} // namespace qv
