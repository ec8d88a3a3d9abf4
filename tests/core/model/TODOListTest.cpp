#include "tests/core/model/EntityFixture.h"

#include "core/model/DocumentContext.h"
#include "core/model/TagManager.h"
#include "platform/Log.h"

namespace qv::test {
namespace {

using ProjectIdentity = EntityFixture;

TEST_F(
    ProjectIdentity,
    GivenQuadrantNumbersOrServerIdentity_WhenNamedAskedForURIOrReset_ThenOnlyZeroToThreeHaveTitlesAndTheURIFollows)
{
    TODOList* project = ProjectBuilder(context, "p")
                            .withValue("textFirstQuadrant", "Do Now")
                            .withValue("textFourthQuadrant", "Postpone");
    EXPECT_EQ(project->nameForQuadrant(0), QStringLiteral("Do Now"));
    EXPECT_EQ(project->nameForQuadrant(3), QStringLiteral("Postpone"));
    EXPECT_EQ(project->nameForQuadrant(4), QString());
    EXPECT_EQ(project->nameForQuadrant(-1), QString());

    TODOList* unsent = ProjectBuilder(context, "p").withId(0);
    EXPECT_TRUE(unsent->getURI().isEmpty() && !unsent->isValidUniID());
    unsent->setId_(8);
    EXPECT_EQ(unsent->getURI(), QStringLiteral("/api/v1/project/8/"));
    unsent->setResourceURI(QStringLiteral("/api/v1/project/9/"));
    EXPECT_EQ(unsent->getURI(), QStringLiteral("/api/v1/project/9/"));

    ProjectBuilder(unsent).withValue("versionID", 2).withValue("boxFolderID", "box");
    unsent->resetIDs();
    EXPECT_EQ(unsent->id_(), 0);
    EXPECT_TRUE(unsent->isNull(QStringLiteral("versionID")));
    EXPECT_TRUE(unsent->isNull(QStringLiteral("boxFolderID")));
    EXPECT_TRUE(unsent->getURI().isEmpty());
}

using ProjectArchive = EntityFixture;

TEST_F(ProjectArchive, GivenArchivedTags_WhenAsked_ThenArchivedOnlyWithExactlyOneSuchTag)
{
    DocumentContext document(&context);
    EXPECT_FALSE(ProjectBuilder(context, "plain").get()->isArchived());
    TODOList* project = ProjectBuilder(context, "p").taggedWith("Archived");
    EXPECT_TRUE(project->isArchived());

    auto* second = context.insert<ListTag>(ListTag::staticEntityName());
    second->setName(QStringLiteral("archived"));
    EXPECT_FALSE(project->isArchived());
}

using ProjectLookup = EntityFixture;

TEST_F(ProjectLookup, GivenRemovedAndDuplicatedProjects_WhenFound_ThenLiveFirstAndDuplicatesLogged)
{
    ProjectBuilder(context, "removed").withId(7).removed();
    EXPECT_EQ(TODOList::findWithID(7, context), nullptr);
    TODOList* first = ProjectBuilder(context, "a").withId(7);
    ProjectBuilder(context, "b").withId(7);
    LogCapture log;
    EXPECT_EQ(TODOList::findWithID(7, context), first);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("7 is replicated. There are 2 copies")});
}

using ProjectCopy = EntityFixture;

TEST_F(ProjectCopy, GivenCopyWithoutIdentifiers_WhenCopied_ThenIdentityAndBoardLayoutStay)
{
    TODOList* source = ProjectBuilder(context, "src")
                           .withId(5)
                           .withValue("versionID", 3)
                           .withValue("resourceURI", "/api/v1/project/5/")
                           .withValue("colorThirdQuadrant", "{1, 0, 0, 1}")
                           .withValue("qv_notes", "notes")
                           .withValue("centerX", 20.0)
                           .atIndex(9)
                           .withValue("lastItemIndex", 4000);
    TODOList* copy = ProjectBuilder(context, "dst").withId(6).withValue("resourceURI", "/api/v1/project/6/");

    source->copyTo(copy, TODOList::CopyNoFlags);

    EXPECT_EQ(copy->name(), QStringLiteral("src"));
    EXPECT_EQ(copy->colorThirdQuadrant(), QStringLiteral("{1, 0, 0, 1}"));
    EXPECT_EQ(copy->qv_notes(), QStringLiteral("notes"));
    EXPECT_EQ(copy->id_(), 6);
    EXPECT_TRUE(copy->isNull(QStringLiteral("versionID")));
    EXPECT_EQ(copy->resourceURI(), QStringLiteral("/api/v1/project/6/"));
    EXPECT_EQ(copy->centerX(), 50.0);
    EXPECT_EQ(copy->index(), 0);
    EXPECT_EQ(copy->lastItemIndex(), 0);

    source->copyTo(copy);
    EXPECT_EQ(copy->id_(), 5);
    EXPECT_EQ(copy->versionID(), 3);
}

TEST_F(ProjectCopy, GivenTags_WhenCopiedWithTags_ThenDestinationTagsAreReplacedByName)
{
    store::Context server(TodoModel::shared(), scheduler);
    TODOList* source = ProjectBuilder(server, "src").withId(5).taggedWith("client");
    TODOList* copy = ProjectBuilder(context, "dst").taggedWith("old");

    source->copyTo(copy, TODOList::CopyTags | TODOList::CopyIdentifiers);
    EXPECT_EQ(copy->getTagNames(), QStringList{QStringLiteral("client")});
    EXPECT_EQ(copy->tags().front()->context(), &context);
}

using ProjectChangeTest = EntityFixture;

TEST_F(ProjectChangeTest, GivenBoardLayoutOrItemsChanged_WhenAsked_ThenNoUploadNeeded)
{
    TODOList* project = ProjectBuilder(context, "p");
    context.processPendingChanges();
    project->setCenterX(30);
    project->setLastItemIndex(1000);
    ItemBuilder("a").in(project);
    EXPECT_FALSE(project->needToUploadGiven(nullptr));
    project->setTextFirstQuadrant(QStringLiteral("Now"));
    EXPECT_TRUE(project->needToUploadGiven(nullptr));
}

} // namespace
} // namespace qv::test
