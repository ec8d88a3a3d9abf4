#include "core/document/MyDocument.h"

#include "core/document/CalendarSync.h"
#include "core/document/Collaboration.h"
#include "core/document/DocumentLogging.h"
#include "core/document/DocumentWindow.h"
#include "core/document/ProjectList.h"
#include "core/document/RemindersSync.h"
#include "core/document/StoreFiles.h"
#include "core/document/SyncEngine.h"
#include "core/model/DocumentContext.h"
#include "core/model/ItemIdentifiers.h"
#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/Utils.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"
#include "platform/store/UndoManager.h"

#include <QMutex>

#include <algorithm>
#include <optional>
#include <typeinfo>

namespace qv {

namespace {

constexpr qint64 kSaveIntervalMs = 120'000;
constexpr qint64 kStartUpStepMs = 1'000;
constexpr qint64 kCalendarStepMs = 30'000;
constexpr qint64 kItemIndexStep = 1000;
const QString kNewItemIcon = QStringLiteral("empty_orange128.png");

QMutex& sharedMutex()
{
    static QMutex mutex;
    return mutex;
}

MyDocument*& sharedDocument()
{
    static MyDocument* document = nullptr;
    return document;
}

// Recurrence steps are calendar steps in the user's zone, not fixed numbers of seconds.
struct Step {
    int days = 0;
    int months = 0;
    int years = 0;
};

std::optional<Step> recurrenceStep(TODOItem::Recurrence recurrence)
{
    using Recurrence = TODOItem::Recurrence;
    switch (recurrence) {
    case Recurrence::Daily:
        return Step{1, 0, 0};
    case Recurrence::Weekly:
        return Step{7, 0, 0};
    case Recurrence::Biweekly:
        return Step{14, 0, 0};
    case Recurrence::FourWeekly:
        return Step{28, 0, 0};
    case Recurrence::Monthly:
        return Step{0, 1, 0};
    case Recurrence::Quarterly:
        return Step{0, 3, 0};
    case Recurrence::Semesterly:
        return Step{0, 6, 0};
    case Recurrence::Yearly:
        return Step{0, 0, 1};
    case Recurrence::Never:
    case Recurrence::Unknown:
        break;
    }
    return std::nullopt;
}

QDateTime addStep(const QDateTime& date, const Step& step, const QTimeZone& zone)
{
    const QDateTime local = date.toTimeZone(zone);
    return local.addYears(step.years).addMonths(step.months).addDays(step.days).toUTC();
}

QString idText(const store::ManagedObject* object)
{
    const QVariant id = object->value(QStringLiteral("id_"));
    return id.isNull() ? QStringLiteral("(null)") : id.toString();
}

std::vector<TODOItem*> sortedByIndexDescending(std::vector<TODOItem*> items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const TODOItem* a, const TODOItem* b) { return a->index() > b->index(); });
    return items;
}

} // namespace

MyDocument::MyDocument(const Services& services, std::unique_ptr<store::Context> context,
                       StoreFiles* storeFiles)
    : m_services(services), m_context(std::move(context)), m_storeFiles(storeFiles),
      m_lifetime(std::make_unique<QObject>()), m_timeZone(QTimeZone::systemTimeZone())
{
    Q_ASSERT(m_context);
    if (!m_storeFiles) {
        m_ownStoreFiles = std::make_unique<StoreFiles>(m_services);
        m_storeFiles = m_ownStoreFiles.get();
    }
    m_storeProjectList = std::make_unique<StoreProjectList>(*m_context);
    {
        QMutexLocker locker(&sharedMutex());
        if (!sharedDocument()) {
            sharedDocument() = this;
            m_documentContext = std::make_unique<DocumentContext>(m_context.get());
        }
    }
    if (store::UndoManager* undo = m_context->undoManager()) {
        undo->setWillUndoHandler(
            [this](const std::vector<store::ManagedObject*>& removed) { noteUploadedItemsUndone(removed); });
        undo->setDidUndoHandler([this] { removeUndoneItemsOnServer(); });
        undo->setDidRedoHandler([this] { takeBackServerRemovals(); });
    }
    if (m_services.scheduler)
        m_calendarStep = m_services.scheduler->after(kCalendarStepMs, [this] { startCalendar(); });
    if (!m_context->path().isEmpty()) {
        m_commitObserver = m_context->addChangeObserver([this](const store::ChangeEvent& event) {
            m_backupWorthyPending = m_backupWorthyPending || isBackupWorthy(event);
            // Whoever changes the document (the user, the sync engine), a crash loses at most a moment.
            if (m_services.scheduler)
                scheduleCommit(kCommitDelayMs);
        });
    }
}

MyDocument::~MyDocument()
{
    m_lifetime.reset();
    if (m_services.scheduler) {
        m_services.scheduler->cancel(m_calendarStep);
        m_services.scheduler->cancel(m_startUpStep);
        m_services.scheduler->cancel(m_saveTimer);
        m_services.scheduler->cancel(m_commitTimer);
    }
    if (m_changeObserver)
        m_context->removeChangeObserver(*m_changeObserver);
    if (m_commitObserver)
        m_context->removeChangeObserver(*m_commitObserver);
    // No copy of the file may still be reading it when its connection closes.
    m_storeFiles->waitForBackups();
    m_documentContext.reset();
    QMutexLocker locker(&sharedMutex());
    if (sharedDocument() == this)
        sharedDocument() = nullptr;
}

MyDocument* MyDocument::sharedInstance()
{
    QMutexLocker locker(&sharedMutex());
    return sharedDocument();
}

ProjectList& MyDocument::projectList() const
{
    if (m_window) {
        if (ProjectList* list = m_window->projectList())
            return *list;
    }
    return *m_storeProjectList;
}

QDateTime MyDocument::now() const
{
    return m_services.clock ? m_services.clock->now() : QDateTime::currentDateTimeUtc();
}

void MyDocument::postToMainLoop(std::function<void()> fn)
{
    if (!m_services.scheduler) {
        fn();
        return;
    }
    m_services.scheduler->post(m_lifetime.get(), std::move(fn));
}

// --- Start-up

void MyDocument::awakeFromNib()
{
    const QString path = m_context->path();
    qCInfo(lcDocument, "Document started on %s", path.isEmpty() ? "a store in memory" : qUtf8Printable(path));
    removeUnfinishedQuickAddRows();

    postToMainLoop([this] { addFirstRunProject(); });

    if (m_services.scheduler) {
        m_startUpStep = m_services.scheduler->after(kStartUpStepMs, [this] {
            m_startUpStep = 0;
            if (m_window)
                m_window->startObservingSyncEngine();
            m_saveTimer = m_services.scheduler->every(kSaveIntervalMs, [this] { scheduledSave(); });
        });
    }

    if (m_calendar)
        m_calendar->startObservingCalendarNotifications();
    if (m_window && m_services.preferences &&
        m_services.preferences->boolValue(QStringLiteral("doAutoCalSync")))
        m_window->startCalendarSyncTimer();

    enableDidChangeContextNotifications();
}

void MyDocument::addFirstRunProject()
{
    Preferences* preferences = m_services.preferences;
    if (!preferences)
        return;
    // Never again once made, and never beside projects that came from elsewhere (a sync).
    if (!preferences->boolValue(QStringLiteral("kAddedMyProject")) && projectList().numProjects() == 0) {
        preferences->setValue(QStringLiteral("kAddedMyProject"), true);
        // Made for the user, not by them: not something Undo takes back.
        const store::UndoPause pause(*m_context);
        projectList().addNewProjectWithName(QStringLiteral("My Project"));
        // Only then: every other start would write the preferences before the window's first frame.
        preferences->flush();
    }
}

void MyDocument::noteUploadedItemsUndone(const std::vector<store::ManagedObject*>& removed)
{
    for (store::ManagedObject* object : removed) {
        if (typeid(*object) != typeid(TODOItem))
            continue;
        auto* item = static_cast<TODOItem*>(object);
        UndoneUpload undone{item, {}, item->list()};
        const int count = int(item->entity().attributes().size());
        for (int index = 0; index < count; ++index)
            undone.values.emplace_back(index, item->value(index));
        if (item->isValidUniID())
            m_undoneUploads.push_back(std::move(undone));
        else if (item->intValue(QStringLiteral("unansweredPost")) != 0)
            // Its upload may still reach the server; the answer tells where it went.
            m_undoneBeforeAnswer.push_back(std::move(undone));
    }
}

void MyDocument::itemReachedServer(TODOItem* item)
{
    const auto found = std::find_if(m_undoneBeforeAnswer.begin(), m_undoneBeforeAnswer.end(),
                                    [item](const UndoneUpload& undone) { return undone.item == item; });
    if (found == m_undoneBeforeAnswer.end())
        return;
    UndoneUpload undone = std::move(*found);
    m_undoneBeforeAnswer.erase(found);
    // Brought back by a redo before the answer came, it is simply on the server now.
    if (!item->isDeleted() || !item->isValidUniID())
        return;
    // What the answer set: the item's identity and bookkeeping on the server.
    const store::EntityDescription& entity = item->entity();
    for (const char* key : {"serverID", "resourceURI", "versionID", "requestedTime", "lastModifiedTimestamp",
                            "unansweredPost"}) {
        const int index = entity.attributeIndex(QString::fromLatin1(key));
        for (auto& [attribute, value] : undone.values) {
            if (attribute == index)
                value = item->value(index);
        }
    }
    m_undoneUploads.push_back(std::move(undone));
    removeUndoneItemsOnServer();
}

void MyDocument::removeUndoneItemsOnServer()
{
    if (m_undoneUploads.empty())
        return;
    const std::vector<UndoneUpload> undone = std::exchange(m_undoneUploads, {});
    // The stand-in is the program's doing, not a step the user can undo or redo. What the undo's
    // observers changed joins the undo's own group first.
    m_context->processPendingChanges();
    const store::UndoPause pause(*m_context);
    for (const UndoneUpload& gone : undone) {
        if (!gone.item->isDeleted())
            continue;
        auto* standIn = m_context->insert<TODOItem>(TODOItem::staticEntityName());
        standIn->setValues(gone.values);
        if (gone.project && !gone.project->isDeleted())
            gone.project->addItem(standIn);
        standIn->setObjectState(ObjectState::Removed);
        m_serverRemovals.emplace_back(gone.item, standIn);
        qCInfo(lcDocument, "An undone item is removed on the server too: %s",
               qUtf8Printable(idText(standIn)));
    }
}

void MyDocument::takeBackServerRemovals()
{
    std::optional<store::UndoPause> pause;
    for (auto it = m_serverRemovals.begin(); it != m_serverRemovals.end();) {
        if (it->first->isDeleted()) {
            ++it;
            continue;
        }
        if (!pause) {
            m_context->processPendingChanges();
            pause.emplace(*m_context);
        }
        if (!it->second->isDeleted())
            m_context->deleteObject(it->second);
        // Back here, it goes to the server again as it stands.
        it->first->setEdited_since(1);
        it = m_serverRemovals.erase(it);
    }
    if (pause && m_sync)
        m_sync->setItemsAreEdited(true);
}

void MyDocument::removeUnfinishedQuickAddRows()
{
    // A quick-add row still empty when the program ended (a commit wrote it before a crash)
    // goes, as it goes when its editing ends. It never reached the server: no one is told, and
    // its removal is nothing to undo.
    const store::UndoPause pause(*m_context);
    // The server's items, nearly all of them, are ruled out first, by a reader that finds the
    // attribute once: this runs over every item before the window first shows.
    store::IntegerReader serverID(QStringLiteral("serverID"));
    for (store::ManagedObject* object : m_context->objects(TODOItem::staticEntityName())) {
        if (serverID(*object).value_or(0) != 0)
            continue;
        auto* item = static_cast<TODOItem*>(object);
        if (item->objectState() == ObjectState::Open && item->list() && item->name().isEmpty())
            m_context->deleteObject(item);
    }
}

void MyDocument::startCalendar()
{
    m_calendarStep = 0;
    if (m_calendar)
        m_calendar->startObservingCalendarNotifications();
    if (m_window && m_services.preferences &&
        m_services.preferences->boolValue(QStringLiteral("doAutoCalSync")))
        m_window->startCalendarSyncTimer();
}

// --- Saving

void MyDocument::scheduledSave()
{
    if (m_printing || m_terminating || m_saving || (m_sync && m_sync->uiIsEditing()))
        return;
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_saving);
    qCDebug(lcDocument, "Saving document (scheduled)");
    saveFile(SaveSender::Other);
}

void MyDocument::scheduleCommit(qint64 delayMs)
{
    // The first change starts the wait; later ones join that commit.
    if (m_commitTimer || !m_services.scheduler)
        return;
    m_commitTimer = m_services.scheduler->after(delayMs, [this] {
        m_commitTimer = 0;
        commitChanges();
    });
}

bool MyDocument::commitChanges()
{
    // Marks of the last edits belong in this commit.
    m_context->processPendingChanges();
    if (!m_context->hasChanges())
        return true;

    store::StoreError error;
    if (!m_context->save(&error)) {
        // The changes stay in memory and are tried again.
        qCWarning(lcDocument, "Error saving file: %s", qUtf8Printable(error.message));
        if (!m_saveFailureReported && m_services.alerts) {
            m_saveFailureReported = true;
            m_services.alerts->alert(QStringLiteral("File could not be saved!"), QString(),
                                     QStringLiteral("OK"), Alerts::Style::Warning);
        }
        scheduleCommit(kCommitRetryMs);
        return false;
    }
    m_saveFailureReported = false;
    if (std::exchange(m_backupWorthyPending, false))
        m_storeFiles->storeCommitted();
    return true;
}

bool MyDocument::isBackupWorthy(const store::ChangeEvent& event)
{
    // The engine moves its polling cursors at every poll; backups for those alone would rotate
    // the user's data out of the twenty slots within minutes.
    const auto cursorsOnly = [](const std::vector<store::ManagedObject*>& objects) {
        return std::all_of(objects.begin(), objects.end(), [](const store::ManagedObject* object) {
            return object->entityName() == InstantSyncStatus::staticEntityName();
        });
    };
    return !cursorsOnly(event.inserted) || !cursorsOnly(event.updated) || !cursorsOnly(event.deleted);
}

bool MyDocument::saveFile(SaveSender sender)
{
    if (m_printing && sender == SaveSender::Timer) {
        qCDebug(lcDocument, "No autosave while printing");
        return true;
    }
    // No backup of a state that never reached the file.
    if (!commitChanges())
        return false;
    m_storeFiles->backupCurrentStoreWithTrack(
        m_isAutosaving ? QStringLiteral("autosave") : QStringLiteral("save"), *m_context);
    return true;
}

void MyDocument::autosaveDocument()
{
    qCDebug(lcDocument, "Autosaving document");
    m_isAutosaving = true;
    saveFile(SaveSender::Other);
    m_isAutosaving = false;
}

bool MyDocument::canCloseDocument()
{
    stopObserving();
    qCInfo(lcDocument, "Saving document (canCloseDocument...)");
    saveFile(SaveSender::Other);
    return true;
}

void MyDocument::stopObserving()
{
    if (m_stoppedObserving)
        return;
    m_stoppedObserving = true;
    if (m_window)
        m_window->stopObserving();
}

// --- Queries

TODOList* MyDocument::getSelectedProject() const
{
    return projectList().getSelectedProject();
}

std::vector<TODOList*> MyDocument::getAllProjects() const
{
    return projectList().getAllProjects();
}

TODOList* MyDocument::getProjectWithID(qint64 id) const
{
    // The index finds the candidates; only a project the list shows counts.
    std::vector<TODOList*> candidates;
    for (store::ManagedObject* object :
         m_context->lookup(TODOList::staticEntityName(), QStringLiteral("id_"), QVariant(id))) {
        auto* project = store::as<TODOList>(object);
        if (project && isVisible(project->objectState()))
            candidates.push_back(project);
    }
    if (candidates.empty())
        return nullptr;
    if (candidates.size() == 1 && !m_window)
        return candidates.front();
    for (TODOList* project : getAllProjects()) {
        if (std::find(candidates.begin(), candidates.end(), project) != candidates.end())
            return project;
    }
    return nullptr;
}

std::vector<TODOItem*> MyDocument::getAllTODOItemsForTODOList(const TODOList* project)
{
    std::vector<TODOItem*> items;
    if (!project)
        return items;
    for (TODOItem* item : project->items()) {
        if (item->objectState() != ObjectState::Removed)
            items.push_back(item);
    }
    return sortedByIndexDescending(std::move(items));
}

std::vector<TODOItem*> MyDocument::getAllTODOItemsForTODOList(const TODOList* project, ObjectState state)
{
    std::vector<TODOItem*> items;
    if (!project)
        return items;
    for (TODOItem* item : project->items()) {
        if (item->objectState() == state)
            items.push_back(item);
    }
    return sortedByIndexDescending(std::move(items));
}

std::vector<TODOItem*> MyDocument::getAllTODOItemsInInbox() const
{
    std::vector<TODOItem*> items;
    for (store::ManagedObject* object :
         m_context->fetch(TODOItem::staticEntityName(), [](const store::ManagedObject* o) {
             return o->toOne(QStringLiteral("list")) == nullptr;
         }))
        items.push_back(store::as<TODOItem>(object));
    return items;
}

std::vector<TODOItem*> MyDocument::getAllTODOItemsInInboxWithState(ObjectState state) const
{
    std::vector<TODOItem*> items;
    for (TODOItem* item : getAllTODOItemsInInbox()) {
        if (item->objectState() == state)
            items.push_back(item);
    }
    return items;
}

unsigned MyDocument::totalNumberOfItems() const
{
    unsigned total = 0;
    for (const TODOList* project : getAllProjects()) {
        for (const TODOItem* item : project->items()) {
            if (item->objectState() == ObjectState::Open)
                ++total;
        }
    }
    return total;
}

int MyDocument::totalNumberOfLists() const
{
    return projectList().numProjects();
}

unsigned MyDocument::countOverdueItems() const
{
    unsigned total = 0;
    for (const TODOList* project : getAllProjects())
        total += unsigned(countOverdueItemsInProject(project));
    return total;
}

int MyDocument::countOverdueItemsInProject(const TODOList* project) const
{
    const std::optional<QString> me = m_collaboration ? m_collaboration->myUsername() : std::nullopt;
    const QDateTime present = now();
    int count = 0;
    for (const TODOItem* item : getAllTODOItemsForTODOList(project, ObjectState::Open)) {
        const QDateTime due = item->dueDate();
        if (!due.isValid() || Utils::daysFromDate(present, due, m_timeZone) >= 0)
            continue;
        if (me && item->ownerUsername() != *me)
            continue;
        ++count;
    }
    return count;
}

void MyDocument::showDebugContents() const
{
    const TODOList* project = getSelectedProject();
    if (!project)
        return;
    // Names stand as their lengths: the dump goes to the log.
    qCInfo(lcDocument, "Debugging list '%s' with id=%s", qUtf8Printable(redacted(project->name())),
           qUtf8Printable(idText(project)));
    QString text = QStringLiteral("Contents of selected list '%1' with id=%2:\n")
                       .arg(redacted(project->name()), idText(project));
    for (const TODOItem* item : project->items()) {
        text +=
            QStringLiteral("  Item #%1  \t(state=%2): '%3'\n")
                .arg(idText(item), item->value(QStringLiteral("state")).toString(), redacted(item->name()));
    }
    qCInfo(lcDocument, "###############\n%s\n^^^^^^^^^^^^^^\n", qUtf8Printable(text));
}

// --- Items

qint64 MyDocument::generateItemId()
{
    return ItemIdentifiers::generateItemId();
}

qint64 MyDocument::newUniqueIdForItemInList(const TODOList* project) const
{
    return ItemIdentifiers::newUniqueIdForItemInList(project, m_random);
}

TODOItem* MyDocument::newItemForProject(TODOList* project, int quadrant)
{
    auto* item = m_context->insert<TODOItem>(TODOItem::staticEntityName());
    item->setId_(newUniqueIdForItemInList(project));
    item->setQuadrant(quadrant);
    if (project) {
        const qint64 index = project->lastItemIndex();
        item->setIndex(index);
        project->setLastItemIndex(index + kItemIndexStep);
    } else {
        item->setIndex(0);
    }
    item->setCreationDate(now());
    item->setIcon(kNewItemIcon);
    if (project)
        project->addItem(item);
    return item;
}

void MyDocument::markTODOItemAsTrashed(TODOItem* item, TODOList* project)
{
    item->setObjectState(ObjectState::Trashed);
    if (item->dueDate().isValid() && m_calendar)
        m_calendar->deleteEventForItem(item, project);
}

void MyDocument::markTODOItem(TODOItem* item, TODOList* project, ItemArrayController* controller,
                              int percentage)
{
    if (percentage >= 100) {
        item->setObjectState(ObjectState::Completed);
        item->setCompletionPercentage(percentage);
        if (!item->completionDate().isValid())
            item->setCompletionDate(now());
        performRecurrenceForTODOItem(item, project, controller);
        return;
    }
    // A trashed or removed item is not reopened.
    if (isDeleted(item->objectState()))
        return;
    item->setObjectState(ObjectState::Open);
    item->setCompletionPercentage(percentage);
    item->clearValue(QStringLiteral("completionDate"));
}

TODOItem* MyDocument::performRecurrenceForTODOItem(TODOItem* item, TODOList* project,
                                                   ItemArrayController* controller)
{
    const std::optional<Step> step = recurrenceStep(item->recurrence());
    // Completing, reopening and completing again spawns one follow-up only.
    if (!item->dueDate().isValid() || !step || item->childID() != 0)
        return nullptr;

    const QDateTime newDue = addStep(item->dueDate(), *step, m_timeZone);
    const QDateTime newStart =
        item->startDate().isValid() ? addStep(item->startDate(), *step, m_timeZone) : QDateTime();
    if (item->untilDate().isValid() && newDue > item->untilDate())
        return nullptr;

    if (m_window)
        m_window->changeFiltersToNormal();

    auto* followUp = m_context->insert<TODOItem>(TODOItem::staticEntityName());
    if (project)
        project->addItem(followUp);
    item->copyTo(followUp, TODOItem::CopyTags | TODOItem::MoveOwnReminder);
    followUp->resetIDs(m_random);

    followUp->setParentID(item->id_());
    item->setChildID(followUp->id_());
    followUp->setChildID(0);
    followUp->clearValue(QStringLiteral("completionDate"));
    followUp->setCompletionPercentage(0);
    followUp->setDueDate(newDue);
    followUp->setStartDate(newStart);
    followUp->setObjectState(ObjectState::Open);

    if (controller)
        controller->addObject(followUp);
    if (m_window)
        m_window->updateFilters();
    return followUp;
}

TODOList* MyDocument::cloneList(TODOList* project, bool withItems)
{
    ProjectList& list = projectList();
    TODOList* clone = list.newProjectForCloning();
    project->copyTo(clone, TODOList::CopyTags);
    clone->resetIDs();
    clone->setIndex(project->index() + 2);
    clone->setEdited_since(1);

    if (withItems) {
        for (const TODOItem* item : project->items()) {
            TODOItem* copy = newItemForProject(clone);
            // The original keeps its reminder; the copy gets a reminder of its own.
            item->copyTo(copy, TODOItem::CopyTags);
            copy->resetIDs(m_random);
            copy->clearValue(QStringLiteral("owner"));
            copy->clearValue(QStringLiteral("ownerUsername"));
            copy->setEdited_since(1);
        }
    }

    list.adjustIndices();
    list.rearrange();
    return clone;
}

TODOItem* MyDocument::addItemWithTitle(const QString& title, const QString& notes, const QDateTime& dueDate,
                                       bool allDay)
{
    const QString name = title.trimmed();
    if (name.isEmpty())
        return nullptr;
    const QDateTime created = now();
    auto* item = m_context->insert<TODOItem>(TODOItem::staticEntityName());
    item->setId_(generateItemId());
    item->setName(name);
    item->setDescriptionText(notes);
    item->setTimestamp(created.toSecsSinceEpoch());
    item->setIcon(kNewItemIcon);
    item->setEdited_since(1);
    item->setCreationDate(created);
    if (dueDate.isValid()) {
        item->setAllDay(allDay);
        item->setDueDate(dueDate);
    }
    if (m_window)
        m_window->inboxItemAdded(item);
    if (m_sync)
        m_sync->sendItemToServer(item);
    return item;
}

// --- Change tracking

void MyDocument::enableDidChangeContextNotifications()
{
    if (m_isReceivingEditingNotifications) {
        qCWarning(lcDocument, "CONCURRENT ENABLING OF NOTIFICATIONS");
        return;
    }
    // Changes made while tracking was off are announced now, before the observer is back.
    m_context->processPendingChanges();
    m_changeObserver =
        m_context->addChangeObserver([this](const store::ChangeEvent& event) { markStuffAsEdited(event); });
    if (m_savedUndoManager)
        m_context->setUndoManager(std::move(m_savedUndoManager));
    m_isReceivingEditingNotifications = true;
}

void MyDocument::disableDidChangeContextNotifications()
{
    if (!m_isReceivingEditingNotifications) {
        qCWarning(lcDocument, "CONCURRENT DISABLING OF NOTIFICATIONS");
        return;
    }
    m_isReceivingEditingNotifications = false;
    // The user's last changes are still marked.
    m_context->processPendingChanges();
    if (m_changeObserver) {
        m_context->removeChangeObserver(*m_changeObserver);
        m_changeObserver.reset();
    }
    // Programmatic changes must not be undoable by the user.
    m_savedUndoManager = m_context->takeUndoManager();
}

void MyDocument::markStuffAsEdited(const store::ChangeEvent& event)
{
    bool projectMarked = false;
    bool itemMarked = false;
    const std::optional<qint64> serverTime = m_sync ? m_sync->getServerSecondsSince1970() : std::nullopt;

    const auto stamp = [&](store::ManagedObject* object) {
        object->setValue(QStringLiteral("edited_since"), 1);
        object->setValue(QStringLiteral("timestamp"), serverTime ? QVariant(*serverTime) : QVariant());
    };
    const auto visit = [&](store::ManagedObject* object) {
        if (typeid(*object) == typeid(TODOList)) {
            auto* project = static_cast<TODOList*>(object);
            if (project->edited_since() == 0 && project->needToUploadGiven(nullptr)) {
                stamp(project);
                qCDebug(lcDocument, "NOTIFICATION: Marked TODOList '%s' as edited with id: '%s'",
                        qUtf8Printable(redacted(project->name())), qUtf8Printable(idText(project)));
                projectMarked = true;
            }
        } else if (typeid(*object) == typeid(TODOItem)) {
            auto* item = static_cast<TODOItem*>(object);
            if (item->edited_since() == 0 && item->needToUploadGiven(nullptr)) {
                stamp(item);
                qCDebug(lcDocument, "NOTIFICATION: Marked TODOITEM '%s' as edited with id: '%s'",
                        qUtf8Printable(redacted(item->name())), qUtf8Printable(idText(item)));
                itemMarked = true;
            }
        }
    };
    for (store::ManagedObject* object : event.inserted)
        visit(object);
    for (store::ManagedObject* object : event.updated)
        visit(object);
    for (store::ManagedObject* object : event.deleted)
        visit(object);

    // Sends run after this change processing, not inside it; projects before items.
    if (projectMarked && m_sync) {
        m_sync->setProjectsAreEdited(true);
        postToMainLoop([this] {
            if (m_sync)
                m_sync->sendEditedProjectsToServer();
        });
    }
    if (itemMarked && m_sync) {
        m_sync->setItemsAreEdited(true);
        postToMainLoop([this] {
            if (m_sync)
                m_sync->sendEditedItemsToServer();
        });
    }
    if (m_reminders)
        m_reminders->objectContextDidChanged(event);
}

} // namespace qv
