#pragma once

#include "core/model/ItemIdentifiers.h"
#include "core/model/ObjectState.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"

#include <QObject>
#include <QString>
#include <QTimeZone>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace qv {

namespace store {
class Context;
class ManagedObject;
class UndoManager;
struct ChangeEvent;
} // namespace store

class CalendarSyncInterface;
class CollaborationInterface;
class DocumentContext;
class DocumentWindow;
class ItemArrayController;
class ProjectList;
class RemindersSyncInterface;
class StoreFiles;
class StoreProjectList;
class SyncEngineInterface;
class TODOItem;
class TODOList;

// The one document: the object store and its context, saving, the queries over projects and
// items, where items are born and change state, and the change tracking that marks local
// edits for upload. Widgets live in the window half (DocumentWindow); the sync engine, the
// reminder sync, the calendar and the collaboration manager are reached through interfaces
// and may be absent (tests, start-up).
class MyDocument {
public:
    // The first document created becomes the shared instance until it is destroyed.
    // storeFiles == nullptr makes one of the document's own from services.
    MyDocument(const Services& services, std::unique_ptr<store::Context> context,
               StoreFiles* storeFiles = nullptr);
    ~MyDocument();
    MyDocument(const MyDocument&) = delete;
    MyDocument& operator=(const MyDocument&) = delete;

    // nullptr while no document exists.
    static MyDocument* sharedInstance();

    // --- Collaborators (all optional) ---
    void setWindow(DocumentWindow* window) { m_window = window; }
    DocumentWindow* window() const { return m_window; }
    void setSyncEngine(SyncEngineInterface* sync) { m_sync = sync; }
    SyncEngineInterface* syncEngine() const { return m_sync; }
    void setRemindersSync(RemindersSyncInterface* reminders) { m_reminders = reminders; }
    void setCalendarSync(CalendarSyncInterface* calendar) { m_calendar = calendar; }
    CalendarSyncInterface* calendarSync() const { return m_calendar; }
    void setCollaboration(CollaborationInterface* collaboration) { m_collaboration = collaboration; }
    // The zone calendar steps and calendar days are counted in; the system's by default.
    void setTimeZone(const QTimeZone& zone) { m_timeZone = zone; }
    QTimeZone timeZone() const { return m_timeZone; }

    store::Context& context() const { return *m_context; }
    StoreFiles& storeFiles() const { return *m_storeFiles; }
    const Services& services() const { return m_services; }
    // The window's project list, or the store's answer without a window.
    ProjectList& projectList() const;

    // --- Start-up (the parts that are not window code) ---
    // Queues the first-run project, starts the 120 s save timer after 1 s, the calendar
    // observation and change tracking.
    void awakeFromNib();

    // --- Flags ---
    int activeQuadrant() const { return m_activeQuadrant; }
    void setActiveQuadrant(int quadrant) { m_activeQuadrant = quadrant; }
    bool isQVTeam() const { return true; }
    bool printing() const { return m_printing; }
    void setPrinting(bool printing) { m_printing = printing; }
    // Set by the application once quitting has begun.
    bool terminating() const { return m_terminating; }
    void setTerminating(bool terminating) { m_terminating = terminating; }
    bool autosaving() const { return m_isAutosaving; }
    bool saving() const { return m_saving; }

    // --- Saving ---
    // Every change reaches the file this long after it was made, however it was made.
    static constexpr qint64 kCommitDelayMs = 1'000;
    // A commit that failed is tried again this long after.
    static constexpr qint64 kCommitRetryMs = 5'000;
    enum class SaveSender { Timer, Other };
    // Writes the changes made so far, keeping the undo history. A failure is reported once
    // ("File could not be saved!") until a commit succeeds again, keeps the changes in memory
    // and is retried. True unless it failed.
    bool commitChanges();
    // The 120 s save; skipped while printing, terminating, saving or while the user edits.
    void scheduledSave();
    // Commits, then backs the store up on the save or autosave track when anything was
    // committed since that track's previous backup. A failed commit takes no backup.
    // True unless the commit failed.
    bool saveFile(SaveSender sender = SaveSender::Other);
    void autosaveDocument();
    // Saves and answers that the document can close.
    bool canCloseDocument();
    // Removes every observer, once.
    void stopObserving();
    QString displayName() const { return QStringLiteral(" "); }

    // --- Queries ---
    TODOList* getSelectedProject() const;
    std::vector<TODOList*> getAllProjects() const;
    // The listed project with that id_; nullptr when none.
    TODOList* getProjectWithID(qint64 id) const;
    // The project's items not in state 3 / in the given state, higher index first.
    static std::vector<TODOItem*> getAllTODOItemsForTODOList(const TODOList* project);
    static std::vector<TODOItem*> getAllTODOItemsForTODOList(const TODOList* project, ObjectState state);
    std::vector<TODOItem*> getAllTODOItemsInInbox() const;
    std::vector<TODOItem*> getAllTODOItemsInInboxWithState(ObjectState state) const;
    // Open items over all listed projects.
    unsigned totalNumberOfItems() const;
    int totalNumberOfLists() const;
    unsigned countOverdueItems() const;
    // Open items due on an earlier calendar day than today; with a signed-in user only theirs.
    int countOverdueItemsInProject(const TODOList* project) const;
    void showDebugContents() const;

    // --- Items ---
    static qint64 generateItemId();
    // A fresh id_ no item of the project has (found through the store's index, not a scan).
    qint64 newUniqueIdForItemInList(const TODOList* project) const;
    // The random source of new identifiers; empty means the system's generator.
    void setItemIdSource(ItemIdentifiers::RandomSource random) { m_random = std::move(random); }
    // A new open item; with no project an inbox item.
    TODOItem* newItemForProject(TODOList* project, int quadrant = 0);
    void markTODOItemAsTrashed(TODOItem* item, TODOList* project);
    // Completes at 100 % or more (and spawns the follow-up of a recurring item); reopens below.
    void markTODOItem(TODOItem* item, TODOList* project, ItemArrayController* controller, int percentage);
    // The follow-up of a recurring item; nullptr when none is due.
    TODOItem* performRecurrenceForTODOItem(TODOItem* item, TODOList* project,
                                           ItemArrayController* controller);
    TODOList* cloneList(TODOList* project, bool withItems);
    // A new inbox item, sent to the server at once; nullptr for a blank title.
    TODOItem* addItemWithTitle(const QString& title, const QString& notes = {}, const QDateTime& dueDate = {},
                               bool allDay = false);
    // The server has answered the item's first upload: its identity there is set. One an undo
    // took out while that upload was on its way is removed there too, as it would have been
    // had the answer come before the undo.
    void itemReachedServer(TODOItem* item);

    // --- Change tracking ---
    void enableDidChangeContextNotifications();
    void disableDidChangeContextNotifications();
    bool isReceivingEditingNotifications() const { return m_isReceivingEditingNotifications; }
    void markStuffAsEdited(const store::ChangeEvent& event);

private:
    static bool isBackupWorthy(const store::ChangeEvent& event);
    QDateTime now() const;
    void postToMainLoop(std::function<void()> fn);
    void addFirstRunProject();
    void scheduleCommit(qint64 delayMs);
    void removeUnfinishedQuickAddRows();
    void startCalendar();
    // An undo that takes out an item the server has (the next occurrence of a recurring item,
    // say) removes it there too: a stand-in with its identity stays here, marked removed and
    // edited, so the next send removes the server's copy and it never comes back. A redo that
    // brings the item back lets its stand-in go.
    void noteUploadedItemsUndone(const std::vector<store::ManagedObject*>& removed);
    void removeUndoneItemsOnServer();
    void takeBackServerRemovals();

    Services m_services;
    std::unique_ptr<store::Context> m_context;
    std::unique_ptr<StoreFiles> m_ownStoreFiles;
    StoreFiles* m_storeFiles = nullptr;
    std::unique_ptr<StoreProjectList> m_storeProjectList;
    std::unique_ptr<DocumentContext> m_documentContext;
    // Context of the callbacks queued on the main loop; the first thing the document lets go.
    std::unique_ptr<QObject> m_lifetime;

    DocumentWindow* m_window = nullptr;
    SyncEngineInterface* m_sync = nullptr;
    RemindersSyncInterface* m_reminders = nullptr;
    CalendarSyncInterface* m_calendar = nullptr;
    CollaborationInterface* m_collaboration = nullptr;
    QTimeZone m_timeZone;
    ItemIdentifiers::RandomSource m_random;

    int m_activeQuadrant = 0;
    bool m_printing = false;
    bool m_terminating = false;
    bool m_isAutosaving = false;
    bool m_saving = false;
    bool m_stoppedObserving = false;
    bool m_saveFailureReported = false;
    // Something besides the sync engine's polling cursors waits to be committed.
    bool m_backupWorthyPending = false;

    bool m_isReceivingEditingNotifications = false;
    std::optional<int> m_changeObserver;
    std::optional<int> m_commitObserver;
    std::unique_ptr<store::UndoManager> m_savedUndoManager;
    struct UndoneUpload {
        TODOItem* item = nullptr;
        std::vector<std::pair<int, QVariant>> values;
        TODOList* project = nullptr;
    };
    std::vector<UndoneUpload> m_undoneUploads;
    // The same of items whose first upload was still unanswered when the undo took them out.
    std::vector<UndoneUpload> m_undoneBeforeAnswer;
    // Items taken out by an undo, with the stand-ins that remove them on the server.
    std::vector<std::pair<TODOItem*, TODOItem*>> m_serverRemovals;

    TimerId m_calendarStep = 0;
    TimerId m_startUpStep = 0;
    TimerId m_saveTimer = 0;
    TimerId m_commitTimer = 0;
};

} // namespace qv
