#include "sync/ContextMenuHelper.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "sync/CollaborationManager.h"

#include <algorithm>

namespace qv {

namespace {

using Kind = PeopleMenu::Entry::Kind;

bool isSignedIn(const std::optional<User>& me)
{
    return me && !me->username.isEmpty();
}

QList<User> byUsername(QList<User> users)
{
    std::stable_sort(users.begin(), users.end(),
                     [](const User& a, const User& b) { return a.username < b.username; });
    return users;
}

QList<User> without(QList<User> users, const QString& username)
{
    if (!username.isEmpty())
        users.removeIf([&](const User& user) { return user.username == username; });
    return users;
}

// "Your team", then "Other users", each sorted by user name.
void addTeamSections(PeopleMenu& menu, const QList<User>& collaborators, QSet<QString>& alreadyAdded)
{
    QList<User> team;
    QList<User> others;
    for (const User& user : collaborators)
        (user.teammate ? team : others).append(user);
    ContextMenuHelper::buildSection(menu, QStringLiteral("Your team"), byUsername(team), alreadyAdded);
    ContextMenuHelper::buildSection(menu, QStringLiteral("Other users"), byUsername(others), alreadyAdded);
}

void addMe(PeopleMenu& menu, const User& me, QSet<QString>& alreadyAdded)
{
    menu.entries.append({Kind::Person, me.email});
    menu.entries.append({Kind::Separator, {}});
    alreadyAdded.insert(me.username);
}

} // namespace

QStringList PeopleMenu::people() const
{
    QStringList emails;
    for (const Entry& entry : entries) {
        if (entry.kind == Entry::Kind::Person)
            emails.append(entry.title);
    }
    return emails;
}

void ContextMenuHelper::buildSection(PeopleMenu& menu, const QString& title, const QList<User>& users,
                                     QSet<QString>& alreadyAdded)
{
    bool headed = false;
    for (const User& user : users) {
        if (alreadyAdded.contains(user.username))
            continue;
        if (!headed) {
            menu.entries.append({Kind::Separator, {}});
            menu.entries.append({Kind::Heading, title});
            menu.entries.append({Kind::Separator, {}});
            headed = true;
        }
        menu.entries.append({Kind::Person, user.email});
        alreadyAdded.insert(user.username);
    }
}

PeopleMenu ContextMenuHelper::forInvitingToFollowItem(const PeopleMenuSource& source)
{
    PeopleMenu menu{kInviteToFollow, true, {}};
    QSet<QString> alreadyAdded;
    for (const User& follower : source.followers)
        alreadyAdded.insert(follower.username);
    if (isSignedIn(source.me) && !alreadyAdded.contains(source.me->username))
        addMe(menu, *source.me, alreadyAdded);
    if (source.collaborators.isEmpty()) {
        menu.entries.append({Kind::NotFound, kNotFound});
        return menu;
    }
    if (source.projectName) {
        if (!source.owners.isEmpty()) {
            menu.entries.append({Kind::InviteAll, kInviteAll});
            menu.entries.append({Kind::Separator, {}});
        }
        buildSection(menu, QStringLiteral("In project '%1'").arg(*source.projectName), source.owners,
                     alreadyAdded);
    }
    addTeamSections(menu, source.collaborators, alreadyAdded);
    return menu;
}

PeopleMenu ContextMenuHelper::forDelegatingItem(const PeopleMenuSource& source)
{
    PeopleMenu menu{kDelegate, true, {}};
    QSet<QString> alreadyAdded;
    if (isSignedIn(source.me) && !source.ownerUsername.isEmpty() && source.me->email != source.ownerUsername)
        addMe(menu, *source.me, alreadyAdded);
    if (source.projectName) {
        buildSection(menu, QStringLiteral("In '%1'").arg(*source.projectName),
                     without(source.owners, source.ownerUsername), alreadyAdded);
    }
    addTeamSections(menu, without(source.collaborators, source.ownerUsername), alreadyAdded);
    return menu;
}

PeopleMenu ContextMenuHelper::forInvitingToProject(const PeopleMenuSource& source)
{
    PeopleMenu menu{kShareProject, false, {}};
    QSet<QString> alreadyAdded;
    for (const User& owner : source.owners)
        alreadyAdded.insert(owner.username);
    addTeamSections(menu, source.collaborators, alreadyAdded);
    return menu;
}

PeopleMenuSource ContextMenuHelper::sourceForItem(CollaborationManager& manager, const TODOItem* item)
{
    PeopleMenuSource source;
    source.me = manager.me();
    source.collaborators = manager.getCachedCollaborators();
    if (!item)
        return source;
    source.ownerUsername = item->ownerUsername();
    source.followers = manager.getFollowersForItem(item, {}, {}, {}, false).value_or(QList<User>());
    if (const TODOList* project = item->getProject()) {
        source.projectName = project->name();
        source.owners = manager.getOwnersForProject(project, {}, {}, {}, false);
    }
    return source;
}

PeopleMenuSource ContextMenuHelper::sourceForProject(CollaborationManager& manager, const TODOList* project)
{
    PeopleMenuSource source;
    source.me = manager.me();
    source.collaborators = manager.getCachedCollaborators();
    if (project) {
        source.projectName = project->name();
        source.owners = manager.getOwnersForProject(project, {}, {}, {}, false);
    }
    return source;
}

} // namespace qv
