#include "tests/core/document/DocumentFixture.h"

#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/TagManager.h"
#include "platform/Log.h"
#include "platform/store/UndoManager.h"

namespace qv::test {
namespace {

class ChangeTrackingTest : public DocumentFixture {
protected:
    void SetUp() override
    {
        DocumentFixture::SetUp();
        sync.serverTime = 1'000'000;
        // Objects that are already in step with the server, saved, before tracking starts.
        project = ProjectBuilder(context(), "Home").withId(12);
        item = ItemBuilder("Paint").withId(34).madeBy(*document, project);
        ASSERT_TRUE(context().save());
        document->enableDidChangeContextNotifications();
        scheduler.runPosted();
        sync.calls.clear();
    }

    // Delivers the pending change event and runs what it queued.
    void settle() { scheduler.runPosted(); }

    TODOList* project = nullptr;
    TODOItem* item = nullptr;
};

TEST_F(ChangeTrackingTest, GivenTrackingOn_WhenAnItemIsRenamed_ThenItIsMarkedOnceWithTheServerClockAndSent)
{
    LogCapture log;

    item->setName("Paint the fence");
    settle();

    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_EQ(item->timestamp(), 1'000'000);
    EXPECT_TRUE(sync.itemsAreEdited);
    EXPECT_FALSE(sync.projectsAreEdited);
    EXPECT_EQ(sync.calls, QStringList({"sendEditedItems"}));
    EXPECT_TRUE(log.contains("NOTIFICATION: Marked TODOITEM '<15 chars>' as edited with id: '34'"));
    EXPECT_EQ(project->edited_since(), 0);

    // Renamed again before the send, it keeps its first timestamp.
    sync.serverTime = 1'000'500;
    item->setName("second");
    settle();
    EXPECT_EQ(item->timestamp(), 1'000'000);
    EXPECT_EQ(sync.calls, QStringList({"sendEditedItems"}));

    // With the server clock unknown, an edit is marked without one.
    sync.serverTime.reset();
    TODOItem* offline = ItemBuilder("offline edit").madeBy(*document, project);
    settle();
    EXPECT_EQ(offline->edited_since(), 1);
    EXPECT_TRUE(offline->isNull("timestamp"));
}

TEST_F(ChangeTrackingTest, GivenOnlyUntrackedKeysChange_WhenTheEventComes_ThenNothingIsMarked)
{
    item->setHighlight(1);
    item->setServerID(999);
    item->setVersionID(3);
    item->setEditedByDevice("another device");
    item->setTimestamp(5);
    item->setLastModifiedTimestamp(6);
    project->setCenterX(30.0);
    project->setCenterY(70.0);
    project->setLastItemIndex(99'000);
    project->setOwnersCountCache(4);
    settle();

    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(project->edited_since(), 0);
    EXPECT_TRUE(sync.calls.isEmpty());
    EXPECT_FALSE(sync.itemsAreEdited);
}

TEST_F(ChangeTrackingTest,
       GivenANewItemOrAProjectAndItsItemChanged_WhenTheEventComes_ThenOnlyTheEditedAreMarkedProjectSentFirst)
{
    TODOItem* added = ItemBuilder("new").madeBy(*document, project);
    settle();

    EXPECT_EQ(added->edited_since(), 1);
    EXPECT_EQ(added->timestamp(), 1'000'000);
    EXPECT_EQ(project->edited_since(), 0);
    EXPECT_EQ(sync.calls, QStringList({"sendEditedItems"}));
    sync.calls.clear();

    LogCapture log;
    item->setName("Sand");
    project->setName("House");
    settle();

    EXPECT_EQ(project->edited_since(), 1);
    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_TRUE(sync.projectsAreEdited);
    EXPECT_EQ(sync.calls, QStringList({"sendEditedProjects", "sendEditedItems"}));
    EXPECT_TRUE(log.contains("NOTIFICATION: Marked TODOList '<5 chars>' as edited with id: '12'"));
}

TEST_F(ChangeTrackingTest, GivenTrackingOff_WhenTheStoreIsWritten_ThenTheWritesStayUnmarkedAfterwards)
{
    document->disableDidChangeContextNotifications();
    item->setName("from the server");
    project->setName("also from the server");
    document->enableDidChangeContextNotifications();
    settle();

    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(project->edited_since(), 0);
    EXPECT_TRUE(sync.calls.isEmpty());

    // An untracked write not yet saved does not count when only an untracked key changes later.
    document->disableDidChangeContextNotifications();
    item->setName("merged from the server, not saved yet");
    document->enableDidChangeContextNotifications();
    item->setHighlight(2);
    settle();
    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_TRUE(sync.calls.isEmpty());
}

TEST_F(
    ChangeTrackingTest,
    GivenTrackingSwitchedOff_WhenThereArePendingEditsOrTheUserWouldUndo_ThenTheyAreStillMarkedAndNothingUndoes)
{
    item->setName("typed by the user");
    document->disableDidChangeContextNotifications();
    settle();

    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_EQ(sync.calls, QStringList({"sendEditedItems"}));

    document->enableDidChangeContextNotifications();
    EXPECT_NE(context().undoManager(), nullptr);

    document->disableDidChangeContextNotifications();
    EXPECT_EQ(context().undoManager(), nullptr);

    document->enableDidChangeContextNotifications();
    EXPECT_NE(context().undoManager(), nullptr);
}

TEST_F(ChangeTrackingTest, GivenMismatchedSwitching_WhenRepeated_ThenItIsLoggedAndTheStateKept)
{
    LogCapture log;

    document->enableDidChangeContextNotifications();
    EXPECT_TRUE(document->isReceivingEditingNotifications());
    EXPECT_EQ(log.count("CONCURRENT ENABLING OF NOTIFICATIONS"), 1);

    document->disableDidChangeContextNotifications();
    document->disableDidChangeContextNotifications();
    EXPECT_FALSE(document->isReceivingEditingNotifications());
    EXPECT_EQ(log.count("CONCURRENT DISABLING OF NOTIFICATIONS"), 1);

    // A doubled "on" must not leave two observers that mark twice.
    document->enableDidChangeContextNotifications();
    document->enableDidChangeContextNotifications();
    item->setName("once");
    settle();
    EXPECT_EQ(sync.calls, QStringList({"sendEditedItems"}));
}

TEST_F(ChangeTrackingTest,
       GivenATagOrReminderChangesAlone_WhenTheEventComes_ThenNoItemIsMarkedButTheRemindersSyncHearsIt)
{
    ItemTag* tag = TagManager::getItemTagForName("garden", context());
    auto* reminder = context().insert<ItemReminder>(ItemReminder::staticEntityName());
    document->disableDidChangeContextNotifications();
    item->addTagsObject(tag);
    item->setReminder(reminder);
    document->enableDidChangeContextNotifications();
    const int eventsBefore = reminders.events;

    tag->setName("yard");
    reminder->setNotes("water the plants");
    settle();

    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_TRUE(sync.calls.isEmpty());
    EXPECT_GT(reminders.events, eventsBefore);
}

} // namespace
} // namespace qv::test
