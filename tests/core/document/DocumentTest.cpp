#include "tests/core/document/DocumentFixture.h"

#include "core/document/EmptyProjectPredicate.h"
#include "platform/Log.h"
#include "platform/store/UndoManager.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace qv::test {
namespace {

constexpr qint64 kSecond = 1000;

class DocumentTest : public DocumentFixture {
protected:
    bool backupExists(const QString& track, int slot) const
    {
        return QFileInfo::exists(StoreFiles::backupPath(track, slot));
    }

    // Backups in place on the save track (the counter moves once one is).
    int backupsMade()
    {
        document->storeFiles().waitForBackups();
        return preferences.intValue("_currentBackupNumbersave");
    }

    // Items in the file, as another connection reads them.
    int savedItemCount()
    {
        auto reopened = store::Context::open(context().path(), TodoModel::shared(), scheduler, nullptr);
        return reopened ? reopened->count(TODOItem::staticEntityName()) : -1;
    }
};

// --- Shared instance

TEST_F(DocumentTest, GivenTheFirstDocument_WhenMoreAreMade_ThenItStaysTheSharedOneUntilItGoes)
{
    EXPECT_EQ(MyDocument::sharedInstance(), document.get());
    {
        MyDocument second(services, std::make_unique<store::Context>(TodoModel::shared(), scheduler));
        EXPECT_EQ(MyDocument::sharedInstance(), document.get());
    }
    EXPECT_EQ(MyDocument::sharedInstance(), document.get());

    document.reset();
    EXPECT_EQ(MyDocument::sharedInstance(), nullptr);
}

// --- Start-up

TEST_F(DocumentTest,
       GivenAFirstStartUp_WhenTheDocumentWakes_ThenTrackingIsOnTheCalendarObservedAndMyProjectMadeOnceOnly)
{
    preferences.setValue("doAutoCalSync", true);

    document->awakeFromNib();
    scheduler.runPosted();

    EXPECT_TRUE(document->isReceivingEditingNotifications());
    EXPECT_EQ(calendar.observing, 1);
    EXPECT_EQ(window->calls.count("startCalendarSyncTimer"), 1);
    EXPECT_FALSE(window->calls.contains("startObservingSyncEngine"));

    scheduler.advance(1 * kSecond);
    EXPECT_TRUE(window->calls.contains("startObservingSyncEngine"));

    scheduler.advance(29 * kSecond);
    EXPECT_EQ(calendar.observing, 2);

    ASSERT_EQ(document->getAllProjects().size(), 1u);
    EXPECT_EQ(document->getAllProjects().front()->name(), "My Project");
    EXPECT_TRUE(preferences.boolValue("kAddedMyProject"));
    // Nothing the user did: there is nothing to undo, and an undo leaves it in place.
    context().processPendingChanges();
    ASSERT_NE(context().undoManager(), nullptr);
    EXPECT_FALSE(context().undoManager()->canUndo());
    context().undoManager()->undo();
    context().processPendingChanges();
    EXPECT_EQ(document->getAllProjects().size(), 1u);

    // Deleting it must not bring it back on the next start.
    context().deleteObject(document->getAllProjects().front());
    document->saveFile();
    document.reset();
    SetUp();
    document->awakeFromNib();
    scheduler.runPosted();
    EXPECT_TRUE(document->getAllProjects().empty());
}

TEST_F(DocumentTest, GivenAProjectFromASync_WhenTheFirstRunWakes_ThenNoMyProjectIsAdded)
{
    ProjectBuilder(context(), "Synced").withId(77);

    document->awakeFromNib();
    scheduler.runPosted();

    ASSERT_EQ(document->getAllProjects().size(), 1u);
    EXPECT_EQ(document->getAllProjects().front()->name(), "Synced");
    EXPECT_FALSE(preferences.hasUserValue("kAddedMyProject"));
}

// --- Commits and backups

// An alert during a save runs a nested event loop, where the timer may call again.
class ReenteringAlerts : public Alerts {
public:
    std::function<void()> duringAlert;
    int shown = 0;
    void alert(const QString&, const QString&, const QString&, Style) override
    {
        ++shown;
        if (duringAlert)
            duringAlert();
    }
    int choose(const Question& question) override { return question.safeButton(); }
};

// Holds the store file's write lock from another connection.
class FileLock {
public:
    explicit FileLock(const QString& path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &m_db);
        m_locked = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~FileLock() { release(); }
    bool locked() const { return m_locked; }
    void release()
    {
        if (m_db) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
};

TEST_F(DocumentTest, GivenAnEdit_WhenTimePasses_ThenItIsCommittedAtOnceAndTheTimedSaveBacksItUpOnce)
{
    document->awakeFromNib();
    ItemBuilder("edited").madeBy(*document, ProjectBuilder(context(), "P"));

    scheduler.advance(MyDocument::kCommitDelayMs - 1);
    EXPECT_TRUE(context().hasChanges());
    scheduler.advance(1);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(savedItemCount(), 1);
    EXPECT_EQ(backupsMade(), 0);

    // The first timed save comes 121 s after start-up and backs up what was committed.
    scheduler.advance(121 * kSecond - MyDocument::kCommitDelayMs - 1);
    EXPECT_EQ(backupsMade(), 0);
    scheduler.advance(1);
    EXPECT_EQ(backupsMade(), 1);
    EXPECT_TRUE(backupExists("save", 0));

    // Nothing committed since: no backup.
    scheduler.advance(120 * kSecond);
    EXPECT_EQ(backupsMade(), 1);
    EXPECT_FALSE(backupExists("save", 1));
}

TEST_F(DocumentTest, GivenABlockingCondition_WhenTheTimerTicks_ThenTheSaveWaitsForTheNextTick)
{
    document->awakeFromNib();
    scheduler.advance(1 * kSecond);
    const std::vector<std::pair<const char*, std::function<void(bool)>>> conditions = {
        {"printing",
         [&](bool on) {
             document->setPrinting(on);
         }},
        {"terminating",
         [&](bool on) {
             document->setTerminating(on);
         }},
        {"user editing",
         [&](bool on) {
             sync.editing = on;
         }},
    };
    for (const auto& [name, set] : conditions) {
        SCOPED_TRACE(name);
        const int before = backupsMade();
        ItemBuilder(name).madeBy(*document, ProjectBuilder(context(), name));
        set(true);
        scheduler.advance(120 * kSecond);
        EXPECT_FALSE(context().hasChanges());
        EXPECT_EQ(backupsMade(), before);

        set(false);
        scheduler.advance(120 * kSecond);
        EXPECT_EQ(backupsMade(), before + 1);
    }
    // A print job stops only the timer; other callers still save.
    document->setPrinting(true);
    ItemBuilder("while printing").madeBy(*document, ProjectBuilder(context(), "printing"));
    document->saveFile(MyDocument::SaveSender::Other);
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(DocumentTest, GivenACommitThatFails_WhenTimePasses_ThenItIsReportedOnceAndRetriedUntilItWorks)
{
    context().setBusyTimeout(0);
    ItemBuilder("unsaved work").madeBy(*document, ProjectBuilder(context(), "P"));
    FileLock lock(context().path());
    ASSERT_TRUE(lock.locked());
    LogCapture log;

    scheduler.advance(MyDocument::kCommitDelayMs + 2 * MyDocument::kCommitRetryMs);
    EXPECT_FALSE(document->saveFile());

    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().front().message, "File could not be saved!");
    EXPECT_EQ(alerts.shown().front().button, "OK");
    EXPECT_EQ(log.lines().filter("Error saving file: ").size(), 4);
    EXPECT_TRUE(context().hasChanges());
    EXPECT_EQ(backupsMade(), 0);
    EXPECT_FALSE(backupExists("save", 0));

    lock.release();
    scheduler.advance(MyDocument::kCommitRetryMs);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(savedItemCount(), 1);

    EXPECT_TRUE(document->saveFile());
    EXPECT_EQ(backupsMade(), 1);
    EXPECT_EQ(alerts.shown().size(), 1);
}

TEST_F(DocumentTest, GivenACommittedEdit_WhenUndone_ThenTheUndoHistoryOutlivedTheCommit)
{
    TODOItem* item = ItemBuilder("first").madeBy(*document, ProjectBuilder(context(), "P"));
    scheduler.advance(MyDocument::kCommitDelayMs);
    item->setName("second");
    scheduler.advance(MyDocument::kCommitDelayMs);
    ASSERT_FALSE(context().hasChanges());

    ASSERT_TRUE(context().undoManager()->canUndo());
    context().undoManager()->undo();
    EXPECT_EQ(item->name(), "first");
    scheduler.advance(MyDocument::kCommitDelayMs);
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(DocumentTest, GivenAnEmptyQuickAddRowCommittedBeforeACrash_WhenTheNextRunStarts_ThenItIsGone)
{
    TODOList* project = ProjectBuilder(context(), "P");
    for (const ItemBuilder& item : {ItemBuilder("kept"), ItemBuilder(""), ItemBuilder("").withServerID(31)})
        item.madeBy(*document, project);
    ItemBuilder("").madeBy(*document, nullptr);
    scheduler.advance(MyDocument::kCommitDelayMs);
    ASSERT_EQ(savedItemCount(), 4);

    document.reset(); // no quit: the process ends here
    SetUp();
    document->awakeFromNib();
    scheduler.advance(MyDocument::kCommitDelayMs);

    EXPECT_EQ(savedItemCount(), 3);
    EXPECT_EQ(names(context().objects(TODOItem::staticEntityName())), (QStringList{"kept", "", ""}));
    EXPECT_FALSE(context().undoManager()->canUndo());
    EXPECT_FALSE(sync.itemsAreEdited);
}

TEST_F(DocumentTest, GivenAScheduledSaveRunning_WhenTheTimerCallsAgainMeanwhile_ThenTheSecondCallIsSkipped)
{
    ReenteringAlerts reentering;
    services.alerts = &reentering;
    document.reset();
    SetUp();
    context().setBusyTimeout(0);
    reentering.duringAlert = [&] {
        document->scheduledSave();
    };
    ItemBuilder("x").madeBy(*document, ProjectBuilder(context(), "P"));
    FileLock lock(context().path());
    LogCapture log;

    document->scheduledSave();

    EXPECT_FALSE(document->saving());
    EXPECT_EQ(log.count("Saving document (scheduled)"), 1);
    EXPECT_EQ(reentering.shown, 1);
}

TEST_F(DocumentTest, GivenASelectedProject_WhenItsContentsAreDumped_ThenIdsShowButNoNames)
{
    window->projects.selected =
        ProjectBuilder(context(), "Secret plans").withId(12).with(ItemBuilder("Buy the island").withId(34));
    LogCapture log;

    document->showDebugContents();

    const QString dump = log.lines().join(u'\n');
    EXPECT_TRUE(dump.contains("Item #34"));
    EXPECT_FALSE(dump.contains("Secret") || dump.contains("island"));
}

TEST_F(DocumentTest,
       GivenNoChangesOrAnAutosave_WhenSaving_ThenNothingIsWrittenOrTheBackupGoesOnTheAutosaveTrack)
{
    ItemBuilder("x").madeBy(*document, ProjectBuilder(context(), "P"));
    LogCapture log;

    document->autosaveDocument();
    document->storeFiles().waitForBackups();

    EXPECT_TRUE(log.contains("Autosaving document"));
    EXPECT_TRUE(backupExists("autosave", 0));
    EXPECT_FALSE(backupExists("save", 0));
    EXPECT_FALSE(document->autosaving());

    EXPECT_TRUE(document->saveFile());

    EXPECT_FALSE(backupExists("save", 0));
    EXPECT_FALSE(preferences.hasUserValue("_currentBackupNumbersave"));
}

TEST_F(DocumentTest, GivenClosing_WhenAsked_ThenTheDocumentSavesStopsObservingOnceAndMayClose)
{
    ItemBuilder("x").madeBy(*document, ProjectBuilder(context(), "P"));

    EXPECT_TRUE(document->canCloseDocument());
    document->canCloseDocument();

    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(window->calls.count("stopObserving"), 1);
}

// --- Queries

TEST_F(DocumentTest,
       GivenInboxAndProjectItems_WhenAsked_ThenRemovedOnesAreLeftOutHigherIndexFirstAndTheInboxHasNoProject)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* a = ItemBuilder("a").madeBy(*document, project);
    TODOItem* b = ItemBuilder("b").madeBy(*document, project);
    TODOItem* removed = ItemBuilder("removed").removed().madeBy(*document, project);
    TODOItem* done = ItemBuilder("done").completed().madeBy(*document, project);

    EXPECT_EQ(MyDocument::getAllTODOItemsForTODOList(project), (std::vector<TODOItem*>{done, b, a}));
    EXPECT_EQ(MyDocument::getAllTODOItemsForTODOList(project, ObjectState::Open),
              (std::vector<TODOItem*>{b, a}));
    EXPECT_EQ(MyDocument::getAllTODOItemsForTODOList(project, ObjectState::Removed),
              (std::vector<TODOItem*>{removed}));

    ItemBuilder("in a project").madeBy(*document, ProjectBuilder(context(), "P"));
    TODOItem* open = ItemBuilder("open").madeBy(*document, nullptr);
    TODOItem* closed = ItemBuilder("done").completed().madeBy(*document, nullptr);

    EXPECT_EQ(document->getAllTODOItemsInInbox(), (std::vector<TODOItem*>{open, closed}));
    EXPECT_EQ(document->getAllTODOItemsInInboxWithState(ObjectState::Completed),
              (std::vector<TODOItem*>{closed}));
}

TEST_F(DocumentTest,
       GivenListedTrashedAndSameIdProjects_WhenCountedOrLookedUp_ThenOnlyOpenItemsOfListedOnesAndTheListedOne)
{
    TODOList* listed = ProjectBuilder(context(), "listed");
    TODOList* trashed = ProjectBuilder(context(), "trashed").trashed();
    ItemBuilder("open").madeBy(*document, listed);
    ItemBuilder("done").completed().madeBy(*document, listed);
    ItemBuilder("open but in the trash").madeBy(*document, trashed);

    EXPECT_EQ(document->totalNumberOfItems(), 1u);
    EXPECT_EQ(document->totalNumberOfLists(), 1);

    ProjectBuilder(context(), "trashed").withId(42).trashed();
    TODOList* live = ProjectBuilder(context(), "live").withId(42);
    ProjectBuilder(context(), "other").withId(43);

    EXPECT_EQ(document->getProjectWithID(42), live);
    EXPECT_EQ(document->getProjectWithID(44), nullptr);
    document->setWindow(nullptr);
    EXPECT_EQ(document->getProjectWithID(42), live);
}

TEST_F(
    DocumentTest,
    GivenDueDatesAroundMidnightAndASignedInUser_WhenOverdueItemsAreCounted_ThenCalendarDaysInTheZoneAndOwnersDecide)
{
    // 00:30 in Berlin is still the previous day in UTC.
    clock.setNow(berlinTime(2024, 3, 31, 0, 30));
    TODOList* project = ProjectBuilder(context(), "P");
    ItemBuilder("due late yesterday").due(berlinTime(2024, 3, 30, 23, 0)).madeBy(*document, project);
    ItemBuilder("due earlier today").due(berlinTime(2024, 3, 31, 0, 10)).madeBy(*document, project);
    ItemBuilder("completed last week").due(berlinTime(2024, 3, 24, 9)).completed().madeBy(*document, project);
    ItemBuilder("no due date").madeBy(*document, project);

    EXPECT_EQ(document->countOverdueItemsInProject(project), 1);

    ItemBuilder("ancient").due(berlinTime(2023, 1, 1, 9)).madeBy(*document, ProjectBuilder(context(), "Q"));
    EXPECT_EQ(document->countOverdueItems(), 2u);

    // Signed in, only one's own items count.
    clock.setNow(berlinTime(2024, 6, 10, 12));
    TODOList* shared = ProjectBuilder(context(), "Shared");
    for (const char* owner : {"ana", "ben"})
        ItemBuilder(owner).due(berlinTime(2024, 6, 1, 9)).ownedBy(owner).madeBy(*document, shared);

    EXPECT_EQ(document->countOverdueItemsInProject(shared), 2);
    collaboration.me = QStringLiteral("ana");
    EXPECT_EQ(document->countOverdueItemsInProject(shared), 1);
}

TEST_F(DocumentTest, GivenTheBoardFilter_WhenProjectsAreTestedForEmptiness_ThenOnlyProjectsWithShownItemsPass)
{
    window->filter = Predicate::withFormat("state == 0");
    TODOList* shown = ProjectBuilder(context(), "shown").with(ItemBuilder("open"));
    TODOList* allDone = ProjectBuilder(context(), "all done").with(ItemBuilder("done").completed());
    TODOList* lazy = ProjectBuilder(context(), "not fetched yet").lazy();
    TODOList* strayQuadrant =
        ProjectBuilder(context(), "item outside the board").with(ItemBuilder("stray").inQuadrant(7));

    const EmptyProjectPredicate predicate(document.get());

    EXPECT_TRUE(predicate.evaluate(shown));
    EXPECT_FALSE(predicate.evaluate(allDone));
    EXPECT_TRUE(predicate.evaluate(lazy));
    EXPECT_FALSE(predicate.evaluate(strayQuadrant));
    EXPECT_FALSE(predicate.evaluate(ProjectBuilder(context(), "empty")));
}

} // namespace
} // namespace qv::test
