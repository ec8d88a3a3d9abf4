// A people menu drawn into a menu: headings disabled and bold, people picked by e-mail.
#include "ui/board/widgets/PeopleMenuView.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using Kind = PeopleMenu::Entry::Kind;

TEST(PeopleMenuView, GivenAModel_ThenHeadingsAreDisabledBoldAndAPersonIsPickedByEMail)
{
    QMenu menu;
    menu.addAction(QStringLiteral("stale"));
    const PeopleMenu model{QStringLiteral("Delegate"),
                           true,
                           {{Kind::Separator, {}},
                            {Kind::Heading, QStringLiteral("Your team")},
                            {Kind::Separator, {}},
                            {Kind::Person, QStringLiteral("ann@x.com")},
                            {Kind::NotFound, QStringLiteral("Not Found")}}};
    QStringList picked;
    QStringList asked;
    PeopleMenuView::fill(
        &menu, model,
        [&](const QString& email) {
            asked << email;
            QImage image(8, 8, QImage::Format_ARGB32);
            image.fill(Qt::red);
            return image;
        },
        [&](const PeopleMenu::Entry& entry) { picked << entry.title; });

    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(menu.title(), "Delegate");
    EXPECT_FALSE(actions[1]->isEnabled());
    EXPECT_TRUE(actions[1]->font().bold());
    EXPECT_EQ(actions[1]->text(), "Your team");
    EXPECT_FALSE(actions[4]->isEnabled());
    EXPECT_FALSE(actions[3]->icon().isNull());
    EXPECT_EQ(asked, QStringList{"ann@x.com"});
    actions[3]->trigger();
    actions[4]->trigger();
    EXPECT_EQ(picked, QStringList{"ann@x.com"});
}

} // namespace
} // namespace qv::test
