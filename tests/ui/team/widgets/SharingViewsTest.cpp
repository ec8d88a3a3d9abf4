// The address popover and the shared-project list as the user works them, against the fake
// server on 127.0.0.1.
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamViewController.h"
#include "ui/team/widgets/InputCollaboratorView.h"
#include "ui/team/widgets/PendingSharingRequestsView.h"
#include "ui/team/widgets/TeamPopover.h"

#include "tests/ui/team/SharingFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace qv::test {
namespace {

TEST_F(Sharing, GivenThePopover_WhenAPartialAddressIsEnteredAndAMatchChosen_ThenTheDelegateGetsIt)
{
    manager->getCollaborators();
    settle();
    InputCollaboratorViewController input(*manager);
    input.setDelegate(this);
    QPushButton anchor(QStringLiteral("+"));
    anchor.show();
    auto* view = new InputCollaboratorView(input);
    TeamPopover popover(view);
    input.reset();
    popover.showRelativeTo(&anchor, Qt::RightEdge);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    EXPECT_TRUE(view->field()->hasFocus()); // typing needs no click first
    EXPECT_EQ(view->completionMenu()->actions().size(), 2);

    QTest::keyClicks(view->field(), QStringLiteral("ann"));
    QTest::keyClick(view->field(), Qt::Key_Return);
    EXPECT_TRUE(entered.isEmpty());
    QMenu* menu = view->completionMenu();
    EXPECT_TRUE(menu->isVisible());
    ASSERT_EQ(menu->actions().size(), 1);
    menu->actions().first()->trigger();
    EXPECT_EQ(view->field()->text(), kAnn);
    EXPECT_EQ(entered, QStringList{kAnn});

    input.startProgress();
    EXPECT_TRUE(view->findChild<QProgressBar*>()->isVisible());
    input.reset();
    EXPECT_TRUE(view->field()->text().isEmpty());
    EXPECT_FALSE(view->findChild<QProgressBar*>()->isVisible());
}

TEST_F(Sharing, GivenTheAddressField_WhenMadeHiddenAndShownLater_ThenItsSearchIconIsReadOnlyOnceShown)
{
    InputCollaboratorViewController input(*manager);
    QPushButton anchor(QStringLiteral("+"));
    anchor.show();
    auto* view = new InputCollaboratorView(input);
    TeamPopover popover(view);
    ASSERT_EQ(view->field()->actions().size(), 1);
    QAction* search = view->field()->actions().first();
    // The popovers are made at start and stay hidden: nothing to read for them then.
    EXPECT_TRUE(search->icon().isNull());

    popover.showRelativeTo(&anchor, Qt::RightEdge);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popover));
    EXPECT_FALSE(search->icon().isNull());
}

TEST_F(Sharing,
       GivenAnAddressWithAnAmpersand_WhenItIsOffered_ThenItShowsAsTypedWithoutAShortcutAndIsTakenAsIs)
{
    team.collaborators.append(FakeTeam::user(4, QStringLiteral("r&d@x.com")));
    manager->getCollaborators();
    settle();
    InputCollaboratorViewController input(*manager);
    input.setDelegate(this);
    InputCollaboratorView view(input);
    input.reset();
    QTest::keyClicks(view.field(), QStringLiteral("r&"));
    // The entry that shows the address: "&&" shows as "&", a lone "&" marks a shortcut.
    QAction* offered = nullptr;
    for (QAction* action : view.completionMenu()->actions()) {
        if (QString(action->text()).replace(QStringLiteral("&&"), QStringLiteral("&")) ==
            QStringLiteral("r&d@x.com"))
            offered = action;
    }
    ASSERT_NE(offered, nullptr);
    EXPECT_TRUE(QKeySequence::mnemonic(offered->text()).isEmpty());
    offered->trigger();
    EXPECT_EQ(view.field()->text(), QStringLiteral("r&d@x.com"));
}

TEST_F(Sharing, GivenTheListOfSharedProjects_WhenAcceptIsClicked_ThenTheProjectComesAndTheRowGoes)
{
    const qint64 id = shareProjectOfAnn();
    PendingSharingRequestsView view(*pending);
    view.show();
    loaded(true);
    QTableWidget* table = view.table();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), "Launch");
    auto* accept = qobject_cast<QCheckBox*>(table->cellWidget(0, 1));
    ASSERT_TRUE(accept && accept->isEnabled());
    accept->click();
    settle();
    EXPECT_EQ(selected, QList<qint64>{id});
    EXPECT_EQ(table->rowCount(), 0);
}

// The shared projects' list in its popover, as the team panel shows it.
struct ListPopover : SharedProjectsPopover {
    explicit ListPopover(PendingSharingRequestsView* view) : frame(view) { anchor.show(); }
    bool isShown() const override { return frame.isVisible(); }
    void close() override { frame.hide(); }
    void showAt(QObject*) override { frame.showRelativeTo(&anchor, Qt::BottomEdge); }
    QPushButton anchor{QStringLiteral("Shared with Me")};
    TeamPopover frame;
};

TEST_F(Sharing, GivenTheOpenSharedList_WhenTheMinutesCheckFindsNothingNew_ThenItStaysUntilTheLastAnswer)
{
    shareProjectOfAnn();
    const qint64 budget = server.createProjectAsOtherDevice({{"name", "Budget"}, {"creator_username", kAnn}});
    team.inviteMe(budget, team.collaborators[1]);
    SimpleCollaboratorsController people(device->services, *manager, device->sync(), nullptr);
    TeamViewController panel(device->services, people);
    auto* view = new PendingSharingRequestsView(*pending);
    ListPopover popover(view);
    panel.setSharedProjects(pending.get());
    panel.setSharedProjectsPopover(&popover);
    tick(2'000);
    ASSERT_TRUE(popover.isShown());
    ASSERT_EQ(view->table()->rowCount(), 2);
    const QPointer<QWidget> accept = view->table()->cellWidget(0, 1);

    // Nothing new: the popover and the box under the user's hand stay.
    tick(60'000);
    EXPECT_TRUE(popover.isShown());
    ASSERT_TRUE(accept);
    qobject_cast<QCheckBox*>(accept.data())->click();
    settle();
    EXPECT_TRUE(popover.isShown()); // one request is still open
    ASSERT_EQ(view->table()->rowCount(), 1);
    qobject_cast<QCheckBox*>(view->table()->cellWidget(0, 2))->click();
    settle();
    EXPECT_FALSE(popover.isShown()); // nothing left to answer
    EXPECT_EQ(pending->count(), 0);
}

} // namespace
} // namespace qv::test
