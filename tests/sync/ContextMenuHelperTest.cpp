// The people menus as plain data: headed sections in their order, nobody twice, empty
// sections left out, and "Not Found" when no one is known.
#include "sync/ContextMenuHelper.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using Kind = PeopleMenu::Entry::Kind;

User person(const QString& email, bool teammate = false)
{
    User user;
    user.username = email;
    user.email = email;
    user.teammate = teammate;
    return user;
}

// Headings as "# title", people by e-mail, separators as "-", the others by title.
QStringList shape(const PeopleMenu& menu)
{
    QStringList lines;
    for (const PeopleMenu::Entry& entry : menu.entries) {
        switch (entry.kind) {
        case Kind::Separator:
            lines << "-";
            break;
        case Kind::Heading:
            lines << "# " + entry.title;
            break;
        default:
            lines << entry.title;
        }
    }
    return lines;
}

const User kMe = person("me@x.com", true);
const User kAnn = person("ann@x.com", true);
const User kBob = person("bob@x.com");
const User kCid = person("cid@x.com", true);

PeopleMenuSource source()
{
    PeopleMenuSource s;
    s.me = kMe;
    s.collaborators = {kCid, kBob, kAnn};
    s.projectName = QStringLiteral("P");
    s.owners = {kMe, kAnn};
    return s;
}

TEST(PeopleMenus, GivenTheFollowMenu_ThenEachPersonIsListedOnceInTheFirstSectionThatHoldsThem)
{
    const PeopleMenu menu = ContextMenuHelper::forInvitingToFollowItem(source());
    EXPECT_EQ(menu.title, "Invite to follow");
    EXPECT_TRUE(menu.replacesEntries);
    EXPECT_EQ(shape(menu), QStringList({"me@x.com", "-", "Invite all project members", "-", "-",
                                        "# In project 'P'", "-", "ann@x.com", "-", "# Your team", "-",
                                        "cid@x.com", "-", "# Other users", "-", "bob@x.com"}));

    // Everyone already following: "me" (not following), the invitation of all, nothing headed.
    PeopleMenuSource following = source();
    following.followers = {kAnn, kBob, kCid};
    EXPECT_EQ(shape(ContextMenuHelper::forInvitingToFollowItem(following)),
              QStringList({"me@x.com", "-", "Invite all project members", "-"}));

    // Nobody known: "me" and "Not Found" only.
    PeopleMenuSource alone = source();
    alone.collaborators.clear();
    EXPECT_EQ(shape(ContextMenuHelper::forInvitingToFollowItem(alone)),
              QStringList({"me@x.com", "-", "Not Found"}));
    alone.followers = {kMe};
    EXPECT_EQ(shape(ContextMenuHelper::forInvitingToFollowItem(alone)), QStringList{"Not Found"});
}

TEST(PeopleMenus, GivenTheDelegateMenu_ThenTheOwnerIsLeftOutAndMeLeadsOnlyWhenSomeoneElseOwnsIt)
{
    PeopleMenuSource owned = source();
    owned.ownerUsername = kAnn.username;
    const PeopleMenu menu = ContextMenuHelper::forDelegatingItem(owned);
    EXPECT_EQ(menu.title, "Delegate");
    EXPECT_EQ(shape(menu), QStringList({"me@x.com", "-", "-", "# Your team", "-", "cid@x.com", "-",
                                        "# Other users", "-", "bob@x.com"}));

    // Without an owner "me" is not offered first but where the sections hold them.
    PeopleMenuSource unowned = source();
    unowned.collaborators.append(kMe);
    EXPECT_EQ(ContextMenuHelper::forDelegatingItem(unowned).people(),
              QStringList({"me@x.com", "ann@x.com", "cid@x.com", "bob@x.com"}));
    EXPECT_EQ(shape(ContextMenuHelper::forDelegatingItem(unowned)).mid(0, 3),
              QStringList({"-", "# In 'P'", "-"}));
}

TEST(PeopleMenus, GivenTheShareMenu_ThenOwnersAreNotOfferedAndAllOwnersAddNothing)
{
    const PeopleMenu menu = ContextMenuHelper::forInvitingToProject(source());
    EXPECT_EQ(menu.title, "Share project");
    EXPECT_FALSE(menu.replacesEntries);
    EXPECT_EQ(menu.people(), QStringList({"cid@x.com", "bob@x.com"}));

    PeopleMenuSource everyone = source();
    everyone.owners = everyone.collaborators;
    EXPECT_TRUE(ContextMenuHelper::forInvitingToProject(everyone).entries.isEmpty());
}

} // namespace
} // namespace qv::test
