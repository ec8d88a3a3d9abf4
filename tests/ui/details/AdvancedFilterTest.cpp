#include "tests/ui/board/ProjectListFixture.h"

#include "core/model/ItemFile.h"
#include "core/model/ItemTag.h"
#include "core/util/Utils.h"
#include "ui/details/AdvancedFilter.h"
#include "ui/details/DetailsNotifications.h"

#include <QSignalSpy>

namespace qv::test {
namespace {

class AdvancedFilterTest : public ProjectListFixture {
protected:
    void SetUp() override
    {
        ProjectListFixture::SetUp();
        filter = std::make_unique<AdvancedFilter>(preferences, &notifications);
        project = ProjectBuilder(context(), "P");
    }
    void TearDown() override
    {
        filter.reset();
        ProjectListFixture::TearDown();
    }

    QStringList passing(const std::vector<TODOItem*>& items) const
    {
        const Predicate predicate = filter->userFilterPredicate();
        QStringList names;
        for (const TODOItem* item : items) {
            if (predicate.evaluate(item))
                names << item->name();
        }
        return names;
    }

    std::unique_ptr<AdvancedFilter> filter;
    TODOList* project = nullptr;
};

TEST_F(AdvancedFilterTest, GivenAnyFilterSet_WhenReset_ThenEverythingClearsAndTheBoardIsAskedOnce)
{
    preferences.setValue("kItemFilterState", 3);
    preferences.setValue("kItemTimeFilterMode", 2);
    preferences.setValue("kItemTagFilterState", 1);
    filter->setSearchString("x");
    filter->setDateRange(clock.now(), clock.now().addDays(2));
    filter->setSelectedTags({"work"});
    filter->setCreatedBy({"ann@example.com"}, true);
    filter->setCompletedBy({"bob@example.com"}, false);
    filter->setOwnersNegated(true);
    EXPECT_TRUE(filter->getIsFiltering());
    QSignalSpy changed(filter.get(), &AdvancedFilter::filtersChanged);

    filter->reset();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(preferences.intValue("kItemFilterState"), 1);
    EXPECT_EQ(preferences.intValue("kItemTimeFilterMode"), 1);
    EXPECT_EQ(preferences.intValue("kItemTagFilterState"), 0);
    EXPECT_EQ(filter->searchString(), QString(""));
    EXPECT_TRUE(filter->isWholeTimeLine());
    EXPECT_TRUE(filter->selectedTags().isEmpty());
    EXPECT_TRUE(filter->createdBy().isEmpty());
    EXPECT_FALSE(filter->createdByNegated());
    EXPECT_TRUE(filter->completedBy().isEmpty());
    EXPECT_FALSE(filter->ownersNegated());
    EXPECT_FALSE(filter->getIsFiltering());
}

TEST_F(AdvancedFilterTest, GivenEachKindOfRestriction_WhenAsked_ThenItCountsAsFiltering)
{
    filter->reset();
    EXPECT_FALSE(filter->getIsFiltering());
    filter->setSearchString("   ");
    EXPECT_FALSE(filter->getIsFiltering());
    filter->setSearchString(" a ");
    EXPECT_TRUE(filter->getIsFiltering());
    filter->reset();
    filter->setFilterState(2);
    EXPECT_TRUE(filter->getIsFiltering());
    filter->reset();
    filter->setDateRange(Utils::distantPast(), Utils::distantFuture());
    EXPECT_FALSE(filter->getIsFiltering());
    filter->setDateRange({}, clock.now());
    EXPECT_TRUE(filter->getIsFiltering());
    filter->reset();
    filter->setDelegatedTo("ann@example.com");
    EXPECT_TRUE(filter->getIsFiltering());
}

TEST_F(
    AdvancedFilterTest,
    GivenSearchTextOrFilterStatesThreeAndFour_WhenFiltering_ThenNameOrNotesMatchOrDueDatesOrFilesAreRequired)
{
    TODOItem* a = ItemBuilder("Café opening").in(project);
    TODOItem* b = ItemBuilder("Groceries").in(project);
    b->setDescriptionText("buy CAFE beans");
    TODOItem* c = ItemBuilder("It's \"100%\"").in(project);
    TODOItem* d = ItemBuilder("Other").in(project);
    filter->setSearchString("  cafe ");
    EXPECT_EQ(passing({a, b, c, d}), (QStringList{"Café opening", "Groceries"}));
    filter->setSearchString("\"100%\"");
    EXPECT_EQ(passing({a, b, c, d}), (QStringList{"It's \"100%\""}));
    filter->setSearchString("");

    TODOItem* dated = ItemBuilder("dated").in(project);
    dated->setDueDate(clock.now());
    TODOItem* withFile = ItemBuilder("with file").in(project);
    withFile->addFilesObject(context().insert<ItemFile>(ItemFile::staticEntityName()));
    TODOItem* plain = ItemBuilder("plain").in(project);
    filter->setFilterState(3);
    EXPECT_EQ(passing({dated, withFile, plain}), (QStringList{"dated"}));
    filter->setFilterState(4);
    EXPECT_EQ(passing({dated, withFile, plain}), (QStringList{"with file"}));
    filter->setFilterState(0);
    EXPECT_EQ(passing({dated, withFile, plain}).size(), 3);
}

TEST_F(AdvancedFilterTest, GivenDateRange_WhenFiltering_ThenTheTimeModeChoosesTheDate)
{
    const QDateTime now = clock.now();
    TODOItem* dueSoon = ItemBuilder("due soon").in(project);
    dueSoon->setDueDate(now.addDays(1));
    dueSoon->setCreationDate(now.addDays(-30));
    TODOItem* newOne = ItemBuilder("new").in(project);
    newOne->setCreationDate(now);
    TODOItem* undated = ItemBuilder("undated").in(project);
    undated->setCreationDate(now.addDays(-30));
    const std::vector<TODOItem*> items{dueSoon, newOne, undated};

    filter->reset();                     // due dates
    EXPECT_EQ(passing(items).size(), 3); // no range: undated items stay
    filter->setDateRange(now, now.addDays(2));
    EXPECT_EQ(passing(items), (QStringList{"due soon"}));
    filter->setTimeFilterMode(AdvancedFilter::CreationDate);
    EXPECT_EQ(passing(items), (QStringList{"new"}));
}

TEST_F(AdvancedFilterTest, GivenSelectedTags_WhenFiltering_ThenAnyOrAllTagsAreRequired)
{
    TODOItem* both = ItemBuilder("both").in(project);
    both->addTagsObject(TagManager::getItemTagForName("work", context()));
    both->addTagsObject(TagManager::getItemTagForName("urgent", context()));
    TODOItem* one = ItemBuilder("one").in(project);
    one->addTagsObject(TagManager::getItemTagForName("work", context()));
    TODOItem* none = ItemBuilder("none").in(project);
    filter->setSelectedTags({"work", "urgent"});
    EXPECT_EQ(passing({both, one, none}), (QStringList{"both", "one"}));
    QSignalSpy changed(filter.get(), &AdvancedFilter::filtersChanged);
    filter->setTagFilterState(AdvancedFilter::AllTags);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(passing({both, one, none}), (QStringList{"both"}));
}

TEST_F(AdvancedFilterTest, GivenPeopleConditions_WhenFiltering_ThenOwnerCreatorAndCompleterApply)
{
    TODOItem* ann = ItemBuilder("ann's").in(project);
    ann->setOwnerUsername("ann@example.com");
    ann->setCreatorUsername("bob@example.com");
    TODOItem* bob = ItemBuilder("bob's").in(project);
    bob->setOwnerUsername("bob@example.com");
    bob->setCreatorUsername("ann@example.com");
    filter->setDelegatedTo("ann@example.com");
    EXPECT_EQ(passing({ann, bob}), (QStringList{"ann's"}));
    filter->setOwnersNegated(true);
    EXPECT_EQ(passing({ann, bob}), (QStringList{"bob's"}));
    filter->setDelegatedTo({});
    filter->setCreatedBy({"ann@example.com"}, false);
    EXPECT_EQ(passing({ann, bob}), (QStringList{"bob's"}));
    filter->setCreatedBy({"ann@example.com"}, true);
    EXPECT_EQ(passing({ann, bob}), (QStringList{"ann's"}));
}

using SelectedOwnersNotificationTest = AdvancedFilterTest;

TEST_F(SelectedOwnersNotificationTest,
       GivenTeamPanelChoosesOwners_WhenAnnounced_ThenThePanelTakesThemAndRefilters)
{
    QSignalSpy changed(filter.get(), &AdvancedFilter::filtersChanged);
    Notification note;
    note.name = kNotificationSelectedOwnersChanged;
    note.object = QStringList{"bob@example.com", "ann@example.com"};
    notifications.post(note);
    EXPECT_EQ(filter->selectedOwners(), (QStringList{"ann@example.com", "bob@example.com"}));
    EXPECT_EQ(filter->currentOwnerEmails(), (QStringList{"ann@example.com", "bob@example.com"}));
    EXPECT_TRUE(filter->delegatedTo().isEmpty());
    EXPECT_EQ(changed.count(), 1);

    notifications.post(note); // the same set again
    EXPECT_EQ(changed.count(), 1);

    note.object = QStringList{"ann@example.com"};
    notifications.post(note);
    EXPECT_EQ(filter->delegatedTo(), QString("ann@example.com"));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(SelectedOwnersNotificationTest, GivenUserChoosesADelegate_WhenItChangesTheSet_ThenTheSetIsAnnounced)
{
    QList<QStringList> announced;
    int other = 0;
    notifications.addObserver(&other, kNotificationSelectedOwnersChanged,
                              [&](const Notification& note) { announced << note.object.toStringList(); });
    filter->setDelegatedTo("ann@example.com");
    filter->setDelegatedTo("ann@example.com");
    filter->setDelegatedTo({});
    EXPECT_EQ(announced, (QList<QStringList>{{"ann@example.com"}, {}}));

    filter->setDelegatedTo("bob@example.com");
    filter->reset();
    EXPECT_EQ(announced.last(), QStringList());
    notifications.removeObserver(&other);
}

} // namespace
} // namespace qv::test
