#include "tests/core/model/EntityFixture.h"

#include "core/model/TagManager.h"
#include "core/model/TagServer.h"
#include "platform/Log.h"

namespace qv::test {
namespace {

class TagFixture : public EntityFixture {
protected:
    RecordingTagServer server;
    TagManager tags{TodoModel::shared(), scheduler, &server};
    TODOItem* item = ItemBuilder("a").in(context);
};

using TagLookup = TagFixture;

TEST_F(TagLookup, GivenMixedCaseNames_WhenTagsAsked_ThenOneLowercasedTagPerNameFromTheFirstServiceAlive)
{
    ItemTag* tag = tags.getItemTagForName(QStringLiteral("Work"), &context);
    EXPECT_EQ(tag->name(), QStringLiteral("work"));
    EXPECT_EQ(tags.getItemTagForName(QStringLiteral("WORK"), &context), tag);
    EXPECT_EQ(context.count(ItemTag::staticEntityName()), 1);

    // No context: the service's own.
    ItemTag* own = tags.getItemTagForName(QStringLiteral("work"), nullptr);
    EXPECT_EQ(own->context(), &tags.context());
    EXPECT_EQ(tags.getListTagForName(QStringLiteral("Client"), &context)->name(), QStringLiteral("client"));

    // A second service does not take the shared place of the first while it lives.
    {
        TagManager second(TodoModel::shared(), scheduler);
        EXPECT_EQ(TagManager::sharedInstance(), &tags);
    }
    EXPECT_EQ(TagManager::sharedInstance(), &tags);
}

TEST_F(TagLookup,
       GivenTaggedProjectsAndObjects_WhenTagNamesAreAsked_ThenExactlyOneTagCountsAndNamesCompareExactly)
{
    EXPECT_FALSE(tags.existsListTagForName(QStringLiteral("archived"), &context));
    EXPECT_EQ(context.count(ListTag::staticEntityName()), 0);
    tags.getListTagForName(QStringLiteral("archived"), &context);
    EXPECT_TRUE(tags.existsListTagForName(QStringLiteral("Archived"), &context));
    context.insert<ListTag>(ListTag::staticEntityName())->setName(QStringLiteral("archived"));
    EXPECT_FALSE(tags.existsListTagForName(QStringLiteral("archived"), &context));

    EXPECT_FALSE(TagManager::itemHasTagName(item, QStringLiteral("work")));
    item->addTagsObject(tags.getItemTagForName(QStringLiteral("work"), &context));
    EXPECT_TRUE(TagManager::itemHasTagName(item, QStringLiteral("work")));
    EXPECT_FALSE(TagManager::itemHasTagName(item, QStringLiteral("Work")));

    TODOList* project = ProjectBuilder(context, "p");
    project->addTagsObject(tags.getListTagForName(QStringLiteral("archived"), &context));
    EXPECT_TRUE(TagManager::listHasTagName(project, QStringLiteral("archived")));
}

using ItemTagging = TagFixture;

TEST_F(ItemTagging, GivenItem_WhenTagAddedTwiceAndRemoved_ThenEachChangeIsMadeAndSentOnce)
{
    tags.addTagName(QStringLiteral("Work"), item);
    tags.addTagName(QStringLiteral("work"), item);
    EXPECT_EQ(item->getTagNames(), QStringList{QStringLiteral("work")});
    EXPECT_EQ(server.calls, QStringList{QStringLiteral("add Work a")});
    EXPECT_EQ(tags.pendingCount(), 0);

    tags.addTagName(QStringLiteral("work"), item);
    LogCapture log;
    tags.removeTagName(QStringLiteral("work"), item);
    EXPECT_TRUE(item->tags().empty());
    EXPECT_TRUE(log.contains(QStringLiteral("Removing '<4 chars>'")));
    EXPECT_EQ(server.calls.last(), QStringLiteral("remove work a"));
}

using TagRetry = TagFixture;

TEST_F(TagRetry, GivenRefusedOperations_WhenTwentySecondsPass_ThenRetriedInTheirOrder)
{
    server.accept = false;
    tags.addTagName(QStringLiteral("x"), item);
    tags.removeTagName(QStringLiteral("x"), item);
    tags.addTagName(QStringLiteral("y"), item);
    // Only the first reached the server; the others wait behind it.
    EXPECT_EQ(server.calls, QStringList{QStringLiteral("add x a")});
    ASSERT_EQ(tags.pendingCount(), 3);
    const auto pending = tags.pendingOperations(item);
    EXPECT_EQ(pending[1].action, QStringLiteral("remove"));

    server.calls.clear();
    server.accept = true;
    scheduler.advance(19999);
    EXPECT_TRUE(server.calls.isEmpty());
    scheduler.advance(1);
    EXPECT_EQ(server.calls, (QStringList{"add x a", "remove x a", "add y a"}));
    EXPECT_EQ(tags.pendingCount(), 0);
    EXPECT_EQ(scheduler.pendingTimers(), 0);
}

TEST_F(TagRetry, GivenStillRefused_WhenRetried_ThenLaterOperationsOfThatItemWaitAndTheTimerRearms)
{
    server.accept = false;
    tags.addTagName(QStringLiteral("x"), item);
    tags.addTagName(QStringLiteral("y"), item);
    server.calls.clear();
    scheduler.advance(TagManager::kRetryIntervalMs);
    EXPECT_EQ(server.calls, QStringList{QStringLiteral("add x a")});
    EXPECT_EQ(tags.pendingCount(), 2);
    server.accept = true;
    server.calls.clear();
    scheduler.advance(TagManager::kRetryIntervalMs);
    EXPECT_EQ(server.calls, (QStringList{"add x a", "add y a"}));
}

TEST_F(TagRetry, GivenItemsSharingAnIdInDifferentProjects_WhenRefused_ThenEachKeepsItsOwnOperations)
{
    TODOItem* first = ItemBuilder("first").in(ProjectBuilder(context, "p1").withId(1));
    TODOItem* second = ItemBuilder("second").in(ProjectBuilder(context, "p2").withId(2));
    first->setId_(77);
    second->setId_(77);
    server.accept = false;
    tags.addTagName(QStringLiteral("x"), first);
    tags.addTagName(QStringLiteral("y"), second);
    ASSERT_EQ(tags.pendingOperations(first).size(), 1u);
    ASSERT_EQ(tags.pendingOperations(second).size(), 1u);
    EXPECT_EQ(tags.pendingOperations(first)[0].name, QStringLiteral("x"));
    EXPECT_EQ(tags.pendingOperations(second)[0].name, QStringLiteral("y"));

    server.accept = true;
    server.calls.clear();
    scheduler.advance(TagManager::kRetryIntervalMs);
    EXPECT_EQ(server.calls, (QStringList{"add x first", "add y second"}));
}

TEST_F(TagRetry, GivenNoServerYet_WhenTagged_ThenKeptUntilOneAccepts)
{
    tags.setTagServer(nullptr);
    tags.addTagName(QStringLiteral("x"), item);
    EXPECT_EQ(item->getTagNames(), QStringList{QStringLiteral("x")});
    EXPECT_EQ(tags.pendingCount(), 1);
    tags.setTagServer(&server);
    scheduler.advance(TagManager::kRetryIntervalMs);
    EXPECT_EQ(server.calls, QStringList{QStringLiteral("add x a")});
}

} // namespace
} // namespace qv::test
