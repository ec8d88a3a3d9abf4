#pragma once

#include "sync/QVRestManager.h"
#include "sync/RemoteItem.h"
#include "sync/UpdaterLoop.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv {

class QVRestManager;
class TODOItem;
class TODOList;

namespace rest {
struct Error;
struct Response;
} // namespace rest

namespace store {
class Context;
}

// Keeps the items of the document in step with the server: a send pass that uploads every
// locally edited item (new ones by POST, known ones by PUT, in batches of 10 when there are two
// or more), a poll of the items changed on the server since the last poll, and a poll of the
// user's inbox every 30 s. Incoming items are merged under one conflict rule.
//
// An item's change flag stays set while its upload is out and is cleared only once the server
// has accepted it (and only if the user has not changed it meanwhile), so a quit, a crash or a
// stop with uploads outstanding loses no edit. A new item whose upload may have reached the
// server without its reply reaching us (a lost or cut reply, a gateway's 502, 503 or 504) is not
// posted again before polls of changed items, of the inbox and of projects have had the chance
// to bring the server's copy back, which is then adopted instead of being created twice; after
// a start every item without a server identifier waits so, since an earlier run may have sent
// it. Unless the user changed the item after that upload went out, the adopted item counts as
// accepted and the server's copy is merged into it (another device may have edited it since).
// A second server copy of an item this device created (a request delivered twice on its way, or
// sent twice by an earlier version) is marked removed on the server.
class ItemUpdaterLoop final : public UpdaterLoop {
public:
    static constexpr qint64 kInboxIntervalMs = 30'000;
    static constexpr int kBatchSize = 10;

    using ItemSuccess = std::function<void(TODOItem* returned)>;
    using ItemFailure = std::function<void(const std::optional<rest::Error>& error)>;
    using InboxSuccess = std::function<void(const std::vector<TODOItem*>& loaded)>;
    using InboxFailure = std::function<void(const std::optional<QString>& error)>;

    explicit ItemUpdaterLoop(QVRestManager& manager);

    // --- Sending ---
    void sendModifiedItems();
    bool sendToServer(TODOItem* item, ItemSuccess success = {}, ItemFailure failure = {});
    int sendBulkItems(const std::vector<TODOItem*>& items, bool post);
    bool itemSanityCheckForSending(TODOItem* item) const;
    // Gives an item without a client identifier (one that came from the server without "idd")
    // one of its own, sent with its next upload.
    void ensureClientIdentifier(TODOItem* item);
    void blockSyncForItem(TODOItem* item);
    void unblockSyncForItem(TODOItem* item);
    bool isItemBlocked(const TODOItem* item) const;

    // --- Polling ---
    void GETModifiedItems() { poll(); }

    // --- Inbox ---
    void GETInboxItemsWithTimer();
    // fromBeginning: every inbox item the server holds, whatever its state; the cursor still
    // moves only forward.
    void GETInboxItemsForLatestTimestamp(InboxSuccess success, InboxFailure failure,
                                         bool fromBeginning = false);
    void GETInboxItemsAfterTimestamp(std::optional<qint64> secondsSince1970, InboxSuccess success,
                                     InboxFailure failure);
    // The inbox cursor, seconds since 1970; 0 before any inbox poll.
    qint64 lastInboxItemTimestamp() const;

    // --- Merging ---
    // The conflict rule; true when the local item is current afterwards.
    bool update(TODOItem* local, TODOItem* incoming);
    bool update(TODOItem* local, const RemoteItem& incoming);
    bool updateOrCreateItemFrom(const RemoteItem& incoming);
    bool updateOrCreateInboxItem(const RemoteItem& incoming, bool testDeviceUID);
    void sendDelegationNotificationFor(TODOItem* item);
    // What a server copy is to the local items it may have been made from.
    OwnCopy adoptOwnUpload(TODOItem* incoming, store::Context& context, TODOItem** adopted = nullptr);
    OwnCopy adoptOwnUpload(const RemoteItem& incoming, store::Context& context, TODOItem** adopted = nullptr);
    // An item this device removed; its copies coming back are not created again.
    void noteRemoved(qint64 serverID) { m_removedHere.insert(serverID); }
    int startedInboxPolls() const { return m_startedInboxPolls; }
    int completedInboxPolls() const { return m_completedInboxPolls; }

private:
    void sendModified() override { sendModifiedItems(); }
    Merged mergePolled(const QJsonObject& object) override;
    void pollMore(const std::function<void(bool)>& done) override;
    // An item the server has that was taken out here (by an undo) is removed there: its
    // removed state goes up like any edit.
    bool sendsRemoval(const store::ManagedObject& object) const override;
    std::optional<qint64> firstInboxPollStart() const;
    void resolveOwner(TODOItem* item, bool clearWhenUnknown);
    void singleSucceeded(TODOItem* item, bool post, const rest::Response& response,
                         const QSet<QString>& tagNames, const ItemSuccess& success);
    void singleFailed(TODOItem* item, bool post, const rest::Error& error, const ItemFailure& failure);
    void sendBatch(const std::vector<TODOItem*>& batch, bool post);
    // The identifier and project each item was sent with (an undo may have taken them since).
    struct SentKey {
        qint64 id = 0;
        std::optional<qint64> project;
    };
    void batchSucceeded(const std::vector<TODOItem*>& batch, const std::vector<SentKey>& keys, bool post,
                        const rest::Response& response);
    void batchFailed(const std::vector<TODOItem*>& batch, bool post, const rest::Error& error);
    // Back to edited after an upload ended; true when the user changed it meanwhile.
    bool leaveFlight(TODOItem* item);
    // The merge of a copy of an item known here, or of this device's own: its verdict; nothing
    // for a copy new here. skipOwn: every copy of this device's is known.
    std::optional<bool> mergeIntoKnown(const RemoteItem& incoming, bool skipOwn);
    void placeInProject(TODOItem* local, const RemoteItem& incoming);
    TODOItem* createFrom(const RemoteItem& incoming, TODOList* project);
    // What a copy of incoming sets as the local item's client identifier, into extra: nothing
    // when the server's record carries one.
    void keepClientId(const TODOItem* local, const RemoteItem& incoming, store::AttributeValues& extra) const;
    qint64 newClientId(const TODOList* project) const;
    // The inbox poll under way, over its pages.
    struct InboxPoll;
    void requestInboxPage(const std::shared_ptr<InboxPoll>& poll, const QString& path);
    void inboxPageLoaded(const std::shared_ptr<InboxPoll>& poll, const QJsonObject& reply);
    void inboxPollFailed(const InboxPoll& poll, const std::optional<QString>& error, bool announce);
    // Logged once for an edited item the send pass leaves for later.
    void noteWaiting(TODOItem* item);

    bool m_isSendingModifiedItems = false;
    bool m_isRetrievingInboxItems = false;
    qint64 m_lastInboxItemTimestamp = 0;
    QSet<const TODOItem*> m_blockItems;
    // Items a refused batch held; they go out one by one.
    QSet<const TODOItem*> m_sendSingly;
    int m_startedInboxPolls = 0;
    int m_completedInboxPolls = 0;
    QSet<qint64> m_removedHere;
    QSet<const TODOItem*> m_reportedWaiting;
};

} // namespace qv
