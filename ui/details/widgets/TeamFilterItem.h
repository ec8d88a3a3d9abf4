#pragma once

#include "sync/ContextMenuHelper.h"

#include <QStringList>
#include <QToolButton>

#include <functional>

class QToolBar;

namespace qv {

class AvatarManager;
class AvatarMenu;
class NotificationCenter;

// The toolbar's team filter: a menu of the people the user works with, whose choice becomes the
// board's owner filter; "Anybody" lifts it. The choice travels as
// kNotificationSelectedOwnersChanged, which the filter panel and the team panel follow, and
// the item shows what they choose in turn.
class TeamFilterItem final : public QToolButton {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("TeamFilter");
    // The people to offer; read as the menu opens.
    using Source = std::function<PeopleMenuSource()>;

    TeamFilterItem(NotificationCenter* notifications, Source source, QWidget* parent = nullptr);
    ~TeamFilterItem() override;

    // Where the item goes among a toolbar's items: before the last of 1 to 7 visible items,
    // else at 6.
    static int insertionIndex(int visibleItems);
    // Puts a new item into the toolbar unless it holds one; answers the toolbar's item.
    static TeamFilterItem* addTo(QToolBar& toolbar, NotificationCenter* notifications, Source source);

    void setAvatarManager(AvatarManager* avatars);
    AvatarMenu* peopleMenu() const { return m_menu; }
    // The owner filter as last chosen or announced (e-mail addresses).
    QStringList chosen() const { return m_chosen; }
    // Makes the person (empty: anybody) the owner filter and announces it.
    void choose(const QString& email);

private:
    void fillMenu();
    void showChosen();

    NotificationCenter* m_notifications;
    Source m_source;
    AvatarMenu* m_menu;
    AvatarManager* m_avatars = nullptr;
    QStringList m_chosen;
};

} // namespace qv
