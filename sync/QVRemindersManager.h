#pragma once

#include "core/document/RemindersSync.h"
#include "platform/Scheduler.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>

namespace qv {

class ItemReminder;
class QVRestManager;
class TODOItem;

namespace rest {
class RequestQueue;
struct Error;
} // namespace rest

namespace store {
class ManagedObject;
}

// Keeps the items' reminders in step with the server's reminder resource: a change of a
// reminder marks it, and every 10 s the marked ones are sent (new ones by POST, known ones by
// PUT), one request at a time.
//
// As with items, the mark stays set while a reminder's request is out and is cleared only once
// the server's reply has been taken in (and only when the user has not changed the reminder
// meanwhile), so a quit or a crash in flight loses no edit. Only a refusal (a 4xx reply) reads
// the server's reminder back over the local one; after any other failure the edit stays marked
// and goes out again, except that a new reminder whose POST may have reached the server
// unanswered is not posted again until the item's reminder on the server has been read: the
// copy found there is taken as this one (404: none, and the POST goes out again).
class QVRemindersManager final : public QObject, public RemindersSyncInterface {
    Q_OBJECT
public:
    static constexpr qint64 kSendIntervalMs = 10'000;

    using Success = std::function<void(ItemReminder* reminder)>;
    using Failure = std::function<void(const rest::Error& error)>;

    // Registers itself as the document's reminder sync; the engine must outlive it.
    explicit QVRemindersManager(QVRestManager& engine);
    ~QVRemindersManager() override;

    bool objectContextDidChanged(const store::ChangeEvent& event) override;

    // One sending pass over every marked reminder.
    void sendReminders();
    // false when nothing was sent: no item on the server yet, or a request already out.
    bool updateReminder(ItemReminder* reminder, Success success = {}, Failure failure = {});
    // Reads the item's reminder from the server onto the local one (made when missing).
    bool getReminderForItem(TODOItem* item, Success success = {}, Failure failure = {});

    bool isSending(const ItemReminder* reminder) const;
    int pendingRequestCount() const;

private:
    enum class Kind { Send, ReadBack };
    void startRequest(ItemReminder* reminder, Kind kind, Success success, Failure failure);
    void loaded(ItemReminder* reminder, const QJsonObject& record, const Success& success);
    void failed(ItemReminder* reminder, const rest::Error& error, const Failure& failure);
    // Whether the user changed it while its request was out.
    bool leaveFlight(ItemReminder* reminder);
    // Reads the server's reminder of an unanswered POST's item, to adopt it or post again.
    void lookForUnansweredPost(ItemReminder* reminder);

    QVRestManager& m_engine;
    std::unique_ptr<rest::RequestQueue> m_queue;
    // Reminders with a request out, and whether the user changed them since it left.
    QHash<const store::ManagedObject*, bool> m_sending;
    // New reminders whose POST went out and whose outcome is unknown.
    QSet<const store::ManagedObject*> m_unansweredPosts;
    bool m_isSending = false;
    TimerId m_timer = 0;
};

} // namespace qv
