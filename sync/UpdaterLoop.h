#pragma once

#include "platform/Scheduler.h"
#include "sync/InFlightSet.h"
#include "sync/QVRestManager.h"
#include "sync/RestRecords.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv {

class InstantSyncStatus;
class QVRestManager;

namespace rest {
class ObjectMapping;
class RequestQueue;
struct Error;
} // namespace rest

namespace store {
class ManagedObject;
}

// What the item and the project loop share: the one-at-a-time request queue, the send and
// poll timers, the set of objects whose change flag may be set, the uploads in flight, and the
// paged poll of what changed on the server since the loop's cursor.
class UpdaterLoop {
public:
    static constexpr qint64 kDefaultIntervalSeconds = 5;

    // Whether the server may have acted on a request whose answer we never read: a lost, cut or
    // garbled reply, or a gateway's word that the server behind it did not answer in time.
    static bool outcomeUnknown(const rest::Error& error);

    // What tells the two loops apart outside their own code.
    struct Traits {
        QString name;        // "ItemUpdaterLoop", in log lines
        QString objectsWord; // "Items", in log lines
        QString resource;    // "item": the poll's path is "/item/?format=json..."
        QString entityName;
        const QSet<QString>& (*nonTrackedProperties)();
        qint64 (QVRestManager::*pollingInterval)() const;
        // Posted with the identifiers a poll or an upload changed.
        QString updatedNotification;
        QString updatedKey;
        // The poll's cursor in the user's sync status.
        QDateTime (InstantSyncStatus::*pollingDate)() const;
        void (InstantSyncStatus::*setPollingDate)(const QDateTime&);
        QDateTime (InstantSyncStatus::*pollingDateWithResults)() const;
        void (InstantSyncStatus::*setPollingDateWithResults)(const QDateTime&);
        // After a fully applied page the item loop remembers the cursor it polled from, the
        // project loop the new one.
        bool remembersPreviousCursor;
    };

    // What a server copy is to the local objects it may have been made from.
    enum class OwnCopy {
        None,      // none: a copy like any other
        Adopted,   // a lost upload's: its unsent local object now has the server's identifier
        InFlight,  // of an object being posted again: settled when that post ends
        Duplicate, // a second copy of an object known under another identifier: removed on the server
    };

    virtual ~UpdaterLoop();
    UpdaterLoop(const UpdaterLoop&) = delete;
    UpdaterLoop& operator=(const UpdaterLoop&) = delete;

    void startLoop();
    void stopLoop();
    void fireSend();

    // --- One pass on request, also while the loop is stopped (the whole-document sync) ---
    // Where a requested poll starts: at the cursor, or at the beginning, for everything the server
    // holds (a device new to the account has nothing before its cursor); the latter moves no cursor.
    enum class PollFrom { Cursor, Beginning };
    // done(true) once a poll that started now has merged every page and seen every object the
    // server counted (the item loop's inbox poll too); done(false) when a request of it failed
    // or sync is on hold.
    void runPoll(std::function<void(bool completed)> done, PollFrom from = PollFrom::Cursor);
    // One send pass; done(true) once its uploads have ended and nothing waits for upload any
    // more, done(false) when something is left (refused, failed, or held back).
    void runSend(std::function<void(bool completed)> done);
    bool isEnding() const { return m_isEnding; }
    qint64 currentInterval() const { return m_currentInterval; }

    // --- Polling ---
    // The poll's reply ({"meta": ..., "objects": [...]}) and failure.
    void objectLoaderDidLoadObjects(const QJsonObject& reply);
    void objectLoaderDidFailWithError(const rest::Error& error);
    QString getURL() const;
    const MetaPaginator& paginator() const { return m_paginator; }
    // Polls are numbered as they start; a poll completes when its last page has been merged and
    // it saw every object the server counted. The number of the latest poll completed, and of the
    // latest started: a poll started after some moment has completed once completedPolls()
    // exceeds what startedPolls() was then.
    int completedPolls() const { return m_completedPolls; }
    int startedPolls() const { return m_startedPolls; }

    // --- State ---
    InFlightSet& objectsBeingSent() { return m_objectsBeingSent; }
    bool isInFlight(const store::ManagedObject* object) const { return m_objectsBeingSent.contains(object); }
    int queuedRequestCount() const;
    // The document's change events, seen by the manager.
    void noteChanged(store::ManagedObject* object, const QSet<QString>& keys);

protected:
    UpdaterLoop(QVRestManager& manager, const Traits& traits);

    // A polled object once mapped and merged.
    struct Merged {
        bool applied = false;
        // The server identifier it carries, when valid.
        std::optional<qint64> serverID;
        // What to announce when it was applied.
        std::optional<qint64> updatedID;
    };

    virtual void sendModified() = 0;
    virtual Merged mergePolled(const QJsonObject& object) = 0;
    // After the last page of a poll has been merged and announced.
    void pollFinished();
    // After the changed-objects poll of runPoll(): the loop's further polls.
    virtual void pollMore(const std::function<void(bool completed)>& done) { done(true); }
    // Whether a removed object still marked edited goes to the server (to be removed there).
    virtual bool sendsRemoval(const store::ManagedObject&) const { return false; }
    bool pollsFromBeginning() const { return m_pollFrom == PollFrom::Beginning; }

    // A further task run at each start after the first send pass and poll, then every periodMs.
    void addRepeatingTask(qint64 periodMs, std::function<void()> task);

    void poll();
    // Every object with the change flag set, found once by a scan: when the first send pass asks,
    // so that the start does not wait for it.
    void rescanEdited();
    // The objects waiting for upload, oldest first: the user's last changes are marked first;
    // deleted and unflagged ones are forgotten; deleted-on-server (state 3) ones and those in
    // flight wait.
    std::vector<store::ManagedObject*> waitingUploads();
    template <class Object> std::vector<Object*> waitingUploadsOf()
    {
        std::vector<Object*> objects;
        for (store::ManagedObject* object : waitingUploads())
            objects.push_back(static_cast<Object*>(object));
        return objects;
    }
    // Sets the change flag (unless set) and keeps the object for the next send pass.
    void keepForUpload(store::ManagedObject* object);

    // The steps of the conflict rule both loops share, before anything is copied: the verdict
    // when they settle it; nothing when the incoming copy is newer and is to be copied in.
    // editsDiffer() tells whether the local edits of the change event under way differ from it.
    template <class Object, class Incoming, class EditsDiffer>
    std::optional<bool> sharedMergeVerdict(Object* local, const Incoming& incoming, EditsDiffer editsDiffer)
    {
        if (!local || isInFlight(local))
            return false;
        processEngineWrites(local);
        if (local->edited_since() == 1 || editsDiffer()) {
            keepForUpload(local);
            return false;
        }
        if (!canSync())
            return false;
        if (local->versionID() > incoming.versionID() ||
            (local->versionID() == incoming.versionID() && local->timestamp() >= incoming.timestamp()))
            return true;
        return std::nullopt;
    }

    // What the store keeps of a post whose answer never came (attribute "unansweredPost"), so
    // that a later run knows whether the server's copy holds all the user's changes.
    enum PostRecord : qint64 { kNoPost = 0, kPosted = 1, kPostedThenEdited = 2 };
    static qint64 postRecord(const store::ManagedObject* object);
    void recordPost(store::ManagedObject* object);
    void clearPostRecord(store::ManagedObject* object);

    // A new object whose post may have reached the server unanswered is not posted again before
    // every poll started after the post has completed (after a start, before the first polls
    // have: an earlier run may have sent it); the server's copy is adopted meanwhile.
    // editedMeanwhile: the user changed it while the post was out.
    bool mayPost(const store::ManagedObject* object) const;
    void holdPost(const store::ManagedObject* object, bool editedMeanwhile);
    void releasePost(const store::ManagedObject* object) { m_postHeldUntil.remove(object); }
    void notePostsWaiting() { m_postsWaitingForPoll = true; }
    // Whether an "editedByDevice" names this device, under its identifier or the one it had
    // before it told itself by its machine identifier.
    bool isOwnDevice(const QString& deviceUID) const;

    // What a local object is to a server copy this device may have made from it.
    enum class Source {
        Unrelated,
        SentAsAnother, // already on the server under another identifier: the copy is a second one
        Unsent,        // not on the server yet: the copy may be its lost post's
    };
    // The local object the copy was made from, among candidates: the first unsent one not in
    // flight (OwnCopy::Adopted, in *unsent), else what the others say.
    template <class Object, class Range, class Classify>
    OwnCopy findSource(const Range& candidates, Classify classify, Object** unsent) const
    {
        bool inFlight = false;
        bool duplicate = false;
        for (store::ManagedObject* candidate : candidates) {
            auto* object = static_cast<Object*>(candidate);
            const Source source = classify(object);
            duplicate = duplicate || source == Source::SentAsAnother;
            if (source != Source::Unsent)
                continue;
            if (isInFlight(object)) {
                inFlight = true;
                continue;
            }
            *unsent = object;
            return OwnCopy::Adopted;
        }
        return inFlight ? OwnCopy::InFlight : duplicate ? OwnCopy::Duplicate : OwnCopy::None;
    }
    // Once the server identifier of its lost post is set on object: unless the user changed it
    // after that post went out, its change flag stands only for what the post carried, which
    // the server has, so the post counts as accepted (the server's copy is then merged by the
    // usual rule: another device may have changed it since).
    void settleAdoptedPost(store::ManagedObject* object);
    // The merge's verdict when the own-copy search settled it; nothing when the copy is to be
    // taken like any other.
    static std::optional<bool> verdictFor(OwnCopy copy);

    // Marks a second server copy of an object this device created removed (state 3) on the
    // server; each send pass tries again until the server has taken it.
    void removeDuplicate(qint64 id, const store::ManagedObject* copy, const rest::ObjectMapping& inverse);
    void sendDuplicateRemovals();

    // Runs task on the main loop soon, unless the loop is gone by then.
    void postIfAlive(std::function<void()> task);
    void announce(const QSet<qint64>& ids);
    static QVariantList sortedIdList(const QSet<qint64>& ids);

    QVRestManager& m_manager;
    std::unique_ptr<rest::RequestQueue> m_queue;
    InFlightSet m_objectsBeingSent;
    // Objects whose change flag may be set (kept from the document's change events).
    QSet<store::ManagedObject*> m_edited;
    bool m_scannedEdited = false;

private:
    struct RepeatingTask {
        qint64 periodMs;
        std::function<void()> run;
        TimerId timer = 0;
    };

    void scheduleTimers();
    void cancelTimers();
    bool canSync() const;
    // The requested pass moves on: the poll ended (completed or not), or a request ended.
    void requestedPollEnded(bool completed);
    void checkRequestedSend();
    void endRequestedPass(std::function<void(bool)>& done, bool completed);
    void processEngineWrites(store::ManagedObject* local);

    const Traits& m_traits;
    MetaPaginator m_paginator;
    qint64 m_currentInterval = kDefaultIntervalSeconds;
    TimerId m_timerSEND = 0;
    TimerId m_timerGET = 0;
    std::vector<RepeatingTask> m_moreTasks;
    bool m_loading = false;
    bool m_isEnding = true;
    int m_completedPolls = 0;
    int m_startedPolls = 0;
    int m_pollUnderWay = 0;
    PollFrom m_pollFrom = PollFrom::Cursor;
    // Server identifiers changed over the pages of the poll under way.
    QSet<qint64> m_updatedOverPages;
    // Posted objects the user changed since, to be recorded as such once the change event is over.
    QSet<store::ManagedObject*> m_editedAfterPost;
    // Objects the user changed since the engine was made.
    QSet<const store::ManagedObject*> m_editedThisRun;
    struct HeldPost {
        QVRestManager::PollMark mark;
        // The object holds more than that post carried.
        bool editedSincePost = false;
    };
    QHash<const store::ManagedObject*, HeldPost> m_postHeldUntil;
    bool m_postsWaitingForPoll = false;
    // Server copies to mark removed, by identifier, with the body that does it; and those out.
    QHash<qint64, QJsonObject> m_duplicatesToRemove;
    QSet<qint64> m_removingDuplicates;
    // Identifiers received over the pages of the poll under way.
    QSet<qint64> m_seenOverPages;
    // The pass asked for by runPoll() / runSend(), until it reports.
    std::function<void(bool)> m_requestedPoll;
    std::function<void(bool)> m_requestedSend;
    // Context of the loop's scheduled calls; the first thing the loop lets go.
    std::unique_ptr<QObject> m_lifetime;
};

} // namespace qv
