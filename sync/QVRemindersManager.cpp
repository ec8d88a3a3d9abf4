#include "sync/QVRemindersManager.h"

#include "core/document/MyDocument.h"
#include "core/model/ItemReminder.h"
#include "core/model/TODOItem.h"
#include "platform/rest/ObjectMapper.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"
#include "sync/RestRecords.h"
#include "sync/SyncLogging.h"
#include "sync/UpdaterLoop.h"

#include <QJsonDocument>

#include <vector>

namespace qv {

namespace {

const QString kEditedSince = QStringLiteral("edited_since");
const QString kTimestamp = QStringLiteral("timestamp");

bool isRefusal(const rest::Error& error)
{
    return error.kind == rest::Error::Kind::Http && error.statusCode() >= 400 && error.statusCode() < 500;
}

} // namespace

QVRemindersManager::QVRemindersManager(QVRestManager& engine)
    : m_engine(engine), m_queue(std::make_unique<rest::RequestQueue>(&engine.client()))
{
    m_queue->setConcurrentRequestsLimit(1);
    m_queue->start();
    m_timer = m_engine.scheduler().every(kSendIntervalMs, this, [this] { sendReminders(); });
    m_engine.document().setRemindersSync(this);
}

QVRemindersManager::~QVRemindersManager()
{
    m_engine.document().setRemindersSync(nullptr);
    m_engine.scheduler().cancel(m_timer);
    // Dropping the queue aborts what is out without calling back.
    m_queue.reset();
}

bool QVRemindersManager::isSending(const ItemReminder* reminder) const
{
    return m_sending.contains(reminder);
}

int QVRemindersManager::pendingRequestCount() const
{
    return m_queue->count();
}

bool QVRemindersManager::objectContextDidChanged(const store::ChangeEvent& event)
{
    bool marked = false;
    const auto visit = [&](store::ManagedObject* object) {
        auto* reminder = store::as<ItemReminder>(object);
        if (!reminder)
            return;
        QSet<QString> keys = event.changedKeys.value(object);
        keys.remove(kEditedSince);
        keys.remove(kTimestamp);
        if (keys.isEmpty())
            return;
        if (reminder->edited_since() != 1)
            reminder->setEdited_since(1);
        const auto flight = m_sending.find(object);
        if (flight != m_sending.end())
            *flight = true;
        marked = true;
    };
    for (store::ManagedObject* object : event.inserted)
        visit(object);
    for (store::ManagedObject* object : event.updated)
        visit(object);
    return marked;
}

void QVRemindersManager::sendReminders()
{
    if (!m_engine.canInstantSync() || m_isSending)
        return;
    m_isSending = true;
    std::vector<ItemReminder*> marked;
    for (store::ManagedObject* object : m_engine.managedContext().objects(ItemReminder::staticEntityName())) {
        auto* reminder = static_cast<ItemReminder*>(object);
        if (!reminder->isDeleted() && reminder->edited_since() == 1)
            marked.push_back(reminder);
    }
    for (ItemReminder* reminder : marked) {
        if (m_unansweredPosts.contains(reminder)) {
            lookForUnansweredPost(reminder);
            continue;
        }
        const bool post = reminder->identifier() == 0;
        updateReminder(reminder, {}, [this, reminder, post](const rest::Error& error) {
            qCWarning(lcSync, "Reminder %lld not sent: %s", reminder->identifier(),
                      qUtf8Printable(error.message));
            // Only a refusal makes the server's copy the one to keep; after anything else the
            // edit stays marked and goes out again, once it is known a POST did not arrive.
            if (isRefusal(error) && !reminder->isDeleted())
                getReminderForItem(reminder->item());
            else if (post && UpdaterLoop::outcomeUnknown(error))
                m_unansweredPosts.insert(reminder);
        });
    }
    m_isSending = false;
}

void QVRemindersManager::lookForUnansweredPost(ItemReminder* reminder)
{
    TODOItem* item = reminder->item();
    if (!item || !item->isValidUniID() || m_sending.contains(reminder))
        return;
    m_sending.insert(reminder, false);
    const store::ManagedObject* key = reminder;
    rest::Request request;
    request.path = QStringLiteral("/item/%1/reminder/?format=json").arg(item->serverID());
    request.onSuccess = [this, reminder, key](const rest::Response& response) {
        leaveFlight(reminder);
        const qint64 id = response.json.object().value(QStringLiteral("id")).toInteger();
        if (id <= 0)
            return;
        m_unansweredPosts.remove(key);
        if (!reminder->isDeleted()) {
            QVRestManager::TrackingPause pause(m_engine);
            // The copy found is this one; the local values stay marked and update it.
            reminder->setIdentifier(id);
        }
    };
    request.onFailure = [this, reminder, key](const rest::Error& error) {
        leaveFlight(reminder);
        // The server has no reminder for the item: the POST never arrived.
        if (error.kind == rest::Error::Kind::Http && error.statusCode() == 404)
            m_unansweredPosts.remove(key);
    };
    m_queue->addRequest(std::move(request));
}

bool QVRemindersManager::updateReminder(ItemReminder* reminder, Success success, Failure failure)
{
    TODOItem* item = reminder ? reminder->item() : nullptr;
    if (!item || !item->isValidUniID() || m_sending.contains(reminder))
        return false;
    startRequest(reminder, Kind::Send, std::move(success), std::move(failure));
    return true;
}

bool QVRemindersManager::getReminderForItem(TODOItem* item, Success success, Failure failure)
{
    if (!item || item->serverID() == 0)
        return false;
    ItemReminder* reminder = item->reminder();
    if (!reminder) {
        QVRestManager::TrackingPause pause(m_engine);
        reminder = ItemReminder::reminderForItem(item, m_engine.services().clock);
    }
    if (m_sending.contains(reminder))
        return false;
    startRequest(reminder, Kind::ReadBack, std::move(success), std::move(failure));
    return true;
}

void QVRemindersManager::startRequest(ItemReminder* reminder, Kind kind, Success success, Failure failure)
{
    // Changes made before the request leaves must not count as made while it is out.
    m_engine.managedContext().processPendingChanges();
    m_sending.insert(reminder, false);

    rest::Request request;
    TODOItem* item = reminder->item();
    if (kind == Kind::ReadBack) {
        request.path = QStringLiteral("/item/%1/reminder/?format=json").arg(item->serverID());
    } else {
        request.method = reminder->identifier() == 0 ? rest::Method::Post : rest::Method::Put;
        request.path =
            m_engine.router()
                .resourcePathForObject(ItemReminder::staticEntityName(), request.method,
                                       [reminder](const QString& key) { return reminder->value(key); })
                .value_or(QString());
        QJsonObject body = uploadBody(reminder, *ItemReminder::inverseMapping());
        // The item's own path is empty when a reply lacked it; getURI() falls back on its id.
        body.insert(QStringLiteral("item"), item->getURI());
        request.setJsonBody(QJsonDocument(body));
    }
    request.onSuccess = [this, reminder, success = std::move(success),
                         failure](const rest::Response& response) {
        const QJsonObject record = response.json.object();
        if (record.value(QStringLiteral("id")).toInteger() > 0 &&
            rest::ObjectMapper::isWellFormed(record, m_engine.managedContext().model(),
                                             *ItemReminder::mapping())) {
            loaded(reminder, record, success);
            return;
        }
        rest::Error error;
        error.kind = rest::Error::Kind::Parse;
        error.message = QStringLiteral("the reply names no reminder");
        error.response = response;
        failed(reminder, error, failure);
    };
    request.onFailure = [this, reminder, failure = std::move(failure)](const rest::Error& error) {
        failed(reminder, error, failure);
    };
    m_queue->addRequest(std::move(request));
}

bool QVRemindersManager::leaveFlight(ItemReminder* reminder)
{
    return m_sending.take(reminder);
}

void QVRemindersManager::loaded(ItemReminder* reminder, const QJsonObject& record, const Success& success)
{
    const bool editedMeanwhile = leaveFlight(reminder);
    if (!reminder->isDeleted()) {
        QVRestManager::TrackingPause pause(m_engine);
        if (editedMeanwhile) {
            // The user's newer edit stays and goes out with the next pass, as an update.
            if (reminder->identifier() == 0)
                reminder->setIdentifier(record.value(QStringLiteral("id")).toInteger());
        } else {
            rest::ObjectMapper::apply(record, reminder, *ItemReminder::mapping());
            reminder->setEdited_since(0);
        }
    }
    if (success)
        success(reminder);
}

void QVRemindersManager::failed(ItemReminder* reminder, const rest::Error& error, const Failure& failure)
{
    leaveFlight(reminder);
    if (failure)
        failure(error);
}

} // namespace qv
