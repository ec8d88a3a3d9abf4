#include "tests/core/model/EntityFixture.h"

#include "core/model/DocumentContext.h"
#include "core/model/TagManager.h"
#include "platform/Log.h"

namespace qv::test {
namespace {

using ProjectIdentity = EntityFixture;

TEST_F(ProjectIdentity, GivenQuadrantNumbers_WhenNamed_ThenOnlyZeroToThreeHaveTitles)
{
    TODOList* project = newProject(QStringLiteral("p"));
    project->setTextFirstQuadrant(QStringLiteral("Do Now"));
    project->setTextSecondQuadrant(QStringLiteral("Do Later"));
    project->setTextThirdQuadrant(QStringLiteral("Delegate"));
    project->setTextFourthQuadrant(QStringLiteral("Postpone"));
    EXPECT_EQ(project->nameForQuadrant(0), QStringLiteral("Do Now"));
    EXPECT_EQ(project->nameForQuadrant(3), QStringLiteral("Postpone"));
    EXPECT_EQ(project->nameForQuadrant(4), QString());
    EXPECT_EQ(project->nameForQuadrant(-1), QString());
}

TEST_F(ProjectIdentity, GivenIdZeroAndNoResourcePath_WhenAskedForURI_ThenNone)
{
    TODOList* project = newProject(QStringLiteral("p"), 0);
    EXPECT_TRUE(project->getURI().isEmpty());
    EXPECT_FALSE(project->isValidUniID());
    project->setId_(8);
    EXPECT_EQ(project->getURI(), QStringLiteral("/api/v1/project/8/"));
    project->setResourceURI(QStringLiteral("/api/v1/project/9/"));
    EXPECT_EQ(project->getURI(), QStringLiteral("/api/v1/project/9/"));
}

TEST_F(ProjectIdentity, GivenServerIdentity_WhenIDsReset_ThenIdZeroAndResourcePathCleared)
{
    TODOList* project = newProject(QStringLiteral("p"), 8);
    project->setVersionID(2);
    project->setBoxFolderID(QStringLiteral("box"));
    project->setResourceURI(QStringLiteral("/api/v1/project/8/"));
    project->resetIDs();
    EXPECT_EQ(project->id_(), 0);
    EXPECT_TRUE(project->isNull(QStringLiteral("versionID")));
    EXPECT_TRUE(project->isNull(QStringLiteral("boxFolderID")));
    EXPECT_TRUE(project->getURI().isEmpty());
}

using ProjectArchive = EntityFixture;

TEST_F(ProjectArchive, GivenArchivedTags_WhenAsked_ThenArchivedOnlyWithExactlyOneSuchTag)
{
    DocumentContext document(&context);
    TODOList* project = newProject(QStringLiteral("p"));
    EXPECT_FALSE(project->isArchived());
    project->addTagsObject(TagManager::getListTagForName(QStringLiteral("Archived"), context));
    EXPECT_TRUE(project->isArchived());

    auto* second = context.insert<ListTag>(ListTag::staticEntityName());
    second->setName(QStringLiteral("archived"));
    EXPECT_FALSE(project->isArchived());
}

using ProjectLookup = EntityFixture;

TEST_F(ProjectLookup, GivenRemovedAndDuplicatedProjects_WhenFound_ThenLiveFirstAndDuplicatesLogged)
{
    newProject(QStringLiteral("removed"), 7)->setState(3);
    EXPECT_EQ(TODOList::findWithID(7, context), nullptr);
    TODOList* first = newProject(QStringLiteral("a"), 7);
    newProject(QStringLiteral("b"), 7);
    LogCapture log;
    EXPECT_EQ(TODOList::findWithID(7, context), first);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("7 is replicated. There are 2 copies")});
}

using ProjectCopy = EntityFixture;

TEST_F(ProjectCopy, GivenCopyWithoutIdentifiers_WhenCopied_ThenIdentityAndBoardLayoutStay)
{
    TODOList* source = newProject(QStringLiteral("src"), 5);
    source->setVersionID(3);
    source->setResourceURI(QStringLiteral("/api/v1/project/5/"));
    source->setColorThirdQuadrant(QStringLiteral("{1, 0, 0, 1}"));
    source->setQv_notes(QStringLiteral("notes"));
    source->setCenterX(20);
    source->setIndex(9);
    source->setLastItemIndex(4000);
    TODOList* copy = newProject(QStringLiteral("dst"), 6);
    copy->setResourceURI(QStringLiteral("/api/v1/project/6/"));

    source->copyTo(copy, false);

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
    TODOList* source = newProject(QStringLiteral("src"), 5, &server);
    source->addTagsObject(TagManager::getListTagForName(QStringLiteral("client"), server));
    TODOList* copy = newProject(QStringLiteral("dst"));
    copy->addTagsObject(TagManager::getListTagForName(QStringLiteral("old"), context));

    source->copyTo(copy, true, true);
    EXPECT_EQ(copy->getTagNames(), QStringList{QStringLiteral("client")});
    EXPECT_EQ(copy->tags().front()->context(), &context);
}

using ProjectChangeTest = EntityFixture;

TEST_F(ProjectChangeTest, GivenBoardLayoutOrItemsChanged_WhenAsked_ThenNoUploadNeeded)
{
    TODOList* project = newProject(QStringLiteral("p"));
    context.processPendingChanges();
    project->setCenterX(30);
    project->setLastItemIndex(1000);
    newItem(QStringLiteral("a"), 0, project);
    EXPECT_FALSE(project->needToUploadGiven(nullptr));
    project->setTextFirstQuadrant(QStringLiteral("Now"));
    EXPECT_TRUE(project->needToUploadGiven(nullptr));
}

} // namespace
} // namespace qv::test
