#pragma once

#include "sync/User.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace qv {

class CollaborationManager;
class TODOItem;
class TODOList;

// A menu from which the user picks a person, as plain data: headed sections, never one person
// twice. Drawn by the window's menus; built here so what it offers is tested without a display.
struct PeopleMenu {
    struct Entry {
        enum class Kind { Separator, Heading, Person, InviteAll, NotFound };
        Kind kind = Kind::Separator;
        QString title; // the e-mail address of a person
        friend bool operator==(const Entry&, const Entry&) = default;
    };
    QString title;
    // Whether the menu is emptied before the entries go in.
    bool replacesEntries = false;
    QList<Entry> entries;

    QStringList people() const;
};

// The people a menu is made from, as the collaboration caches hold them.
struct PeopleMenuSource {
    std::optional<User> me;
    QList<User> collaborators;
    // Of the item's project, if it has one.
    std::optional<QString> projectName;
    QList<User> owners;
    QList<User> followers;
    QString ownerUsername; // the item's current owner
};

class ContextMenuHelper {
public:
    ContextMenuHelper() = delete;

    static inline const QString kInviteToFollow = QStringLiteral("Invite to follow");
    static inline const QString kDelegate = QStringLiteral("Delegate");
    static inline const QString kShareProject = QStringLiteral("Share project");
    static inline const QString kNotFound = QStringLiteral("Not Found");
    static inline const QString kInviteAll = QStringLiteral("Invite all project members");

    // A section: the users not yet added, in order, under a heading; nothing at all when every
    // one of them is already there.
    static void buildSection(PeopleMenu& menu, const QString& title, const QList<User>& users,
                             QSet<QString>& alreadyAdded);

    static PeopleMenu forInvitingToFollowItem(const PeopleMenuSource& source);
    static PeopleMenu forDelegatingItem(const PeopleMenuSource& source);
    static PeopleMenu forInvitingToProject(const PeopleMenuSource& source);

    // What the caches hold now; a stale cache starts its download, which the next opening shows.
    static PeopleMenuSource sourceForItem(CollaborationManager& manager, const TODOItem* item);
    static PeopleMenuSource sourceForProject(CollaborationManager& manager, const TODOList* project);
};

} // namespace qv
