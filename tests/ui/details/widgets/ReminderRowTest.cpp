#include "tests/ui/board/ProjectListFixture.h"

#include "core/model/ItemReminder.h"
#include "ui/board/ArrayController.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/ReminderRow.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>

namespace qv::test {
namespace {

using ReminderRowTest = ProjectListFixture;

TEST_F(ReminderRowTest, GivenItemWithoutReminder_WhenTurnedOnEditedAndSynced_ThenTheRowWritesAndShowsIt)
{
    const QDateTime due(QDate(2031, 5, 2), QTime(9, 0), QTimeZone::utc());
    TODOItem* item = ItemBuilder("Call").in(ProjectBuilder(context(), "P"));
    item->setDueDate(due);
    ArrayController quadrant;
    quadrant.setContent({item});
    quadrant.setSelectedObjects({item});
    MyDrawerController drawer(*document, services);
    drawer.setArrayController(&quadrant);
    ReminderRow& row = *drawer.reminderRow();
    // Shown, not made: looking at an item changes nothing.
    EXPECT_EQ(row.dateField()->dateTime(), due.addSecs(-3600).toLocalTime());
    context().processPendingChanges();
    EXPECT_EQ(item->reminder(), nullptr);

    row.toggle()->setChecked(true);
    context().processPendingChanges();
    ASSERT_NE(item->reminder(), nullptr);
    EXPECT_TRUE(item->reminder()->enabled());
    EXPECT_EQ(item->reminder()->reminder_date(), due.addSecs(-3600));

    const QDateTime later = due.addDays(1);
    row.dateField()->setDateTime(later.addSecs(42).toLocalTime()); // shown as the minute
    row.notesField()->setText("bring the papers");
    row.notesField()->setModified(true);
    drawer.commitEdits();
    context().processPendingChanges();
    EXPECT_EQ(item->reminder()->reminder_date(), later);
    EXPECT_EQ(item->reminder()->notes(), QString("bring the papers"));

    // A reminder arriving from elsewhere shows at once.
    item->reminder()->setReminder_date(later.addDays(1));
    item->reminder()->setEnabled(false);
    context().processPendingChanges();
    EXPECT_FALSE(row.dateField()->isEnabled());
    EXPECT_EQ(row.dateField()->dateTime(), later.addDays(1).toLocalTime());
}

} // namespace
} // namespace qv::test
