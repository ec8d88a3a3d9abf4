// A people menu drawn into a menu: headings disabled and bold, people picked by e-mail; the
// people's pictures at once and when they arrive, in menus and in the search field.
#include "ui/board/widgets/PeopleMenuView.h"

#include "ui/board/widgets/AvatarMenu.h"
#include "ui/board/widgets/AvatarSearchFieldCell.h"

#include <QAction>
#include <QMenu>
#include <QWidgetAction>

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
    const QPalette heading = static_cast<QWidgetAction*>(actions[1])->defaultWidget()->palette();
    EXPECT_EQ(heading.color(QPalette::Disabled, QPalette::WindowText),
              heading.color(QPalette::Active, QPalette::WindowText));
    EXPECT_FALSE(actions[4]->isEnabled());
    EXPECT_FALSE(actions[3]->icon().isNull());
    EXPECT_EQ(asked, QStringList{"ann@x.com"});
    actions[3]->trigger();
    actions[4]->trigger();
    EXPECT_EQ(picked, QStringList{"ann@x.com"});
}

QImage filled(Qt::GlobalColor color)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QRgb iconColor(const QAction* action)
{
    return action->icon().pixmap(8, 8).toImage().pixel(4, 4);
}

TEST(AvatarMenu, GivenAPersonEntry_ThenItShowsThePictureKnownNowAndTheOneThatArrivesLater)
{
    QImage known = filled(Qt::gray);
    AvatarMenu menu;
    menu.setAvatarSource([&known](const QString&) { return known; });
    QAction* last = menu.addAction(QStringLiteral("last"));
    QAction* ann = menu.insertItemWithTitle(QStringLiteral("ann@x.com"), 0);
    menu.showPeople({QStringLiteral("Delegate"), false, {{Kind::Person, QStringLiteral("bob@x.com")}}}, {});
    EXPECT_EQ(menu.actions(), QList<QAction*>({ann, last, menu.actions().value(2)}));
    EXPECT_EQ(iconColor(ann), QColor(Qt::gray).rgb());

    known = filled(Qt::green);
    menu.avatarArrived(QStringLiteral("bob@x.com"));
    EXPECT_EQ(iconColor(ann), QColor(Qt::gray).rgb());
    EXPECT_EQ(iconColor(menu.actions().value(2)), QColor(Qt::green).rgb());
    EXPECT_TRUE(last->icon().isNull());
}

TEST(AvatarSearchFieldCell, GivenAnAddressWithACachedPicture_ThenItIsDrawnInASquareAtTheRightEnd)
{
    AvatarSearchFieldCell field;
    field.resize(200, 24);
    field.setAvatarSource([](const QString& email) {
        return email == QStringLiteral("ann@x.com") ? filled(Qt::red) : QImage();
    });
    field.setText(QStringLiteral("ann@x.com"));
    EXPECT_FALSE(field.shownAvatar().isNull());
    EXPECT_EQ(field.avatarRect(), QRect(176, 0, 24, 24));
    EXPECT_EQ(field.textMargins().right(), 24);
    EXPECT_EQ(field.grab().toImage().pixelColor(188, 12), QColor(Qt::red));

    field.setText(QStringLiteral("bob@x.com"));
    EXPECT_TRUE(field.shownAvatar().isNull());
    EXPECT_EQ(field.textMargins().right(), 0);
}

} // namespace
} // namespace qv::test
