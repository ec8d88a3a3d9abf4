#pragma once

#include "platform/Scheduler.h"
#include "sync/ContextMenuHelper.h"
#include "ui/board/widgets/AvatarMenu.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QToolButton>

#include <functional>

namespace qv {

class AvatarManager;
class MainWindow;
class MyDrawerController;
class TODOItem;
struct Services;

// The window's menus of people to delegate items to, over what the collaboration caches hold:
// the drawer's people menu (opened from the owner button in the drawer and from a row's owner
// picture) and the "Delegate" submenu of the item rows' context menu. Picking a person makes
// them the owner of every item selected in the drawer's controller. Lives as long as the drawer,
// which must not outlive the window.
class PeopleMenus final : public QObject {
    Q_OBJECT
public:
    // Clicks on an owner picture within this time open the menu once.
    static constexpr qint64 kCollaboratorsDelayMs = 100;
    // The people to offer for an item (nullptr: for none).
    using Source = std::function<PeopleMenuSource(const TODOItem* item)>;

    PeopleMenus(MainWindow& window, MyDrawerController& drawer, const Services& services, Source source);
    ~PeopleMenus() override;

    // Pictures of the people (nullptr: none).
    void setAvatarManager(AvatarManager* avatars);

    AvatarMenu* drawerMenu() const { return m_drawerMenu; }
    AvatarMenu* delegateMenu() const { return m_delegateMenu; }
    QToolButton* ownerButton() const { return m_ownerButton; }

    // Opens the drawer's people menu shortly, unless a request is already waiting.
    void showCollaborators(QWidget* sender);
    // Opens the drawer's people menu, for the item the drawer shows, at the sender.
    void showMenuWithAll(QWidget* sender);
    // The person picked (by e-mail) owns every item selected in the drawer's controller.
    void changeOwner(const QString& title);

private:
    PeopleMenu menuForItem(const TODOItem* item) const;
    void fillDelegateMenu();
    void showOwner();

    MainWindow& m_window;
    MyDrawerController& m_drawer;
    Scheduler* m_scheduler = nullptr;
    Source m_source;
    AvatarManager* m_avatars = nullptr;
    QPointer<AvatarMenu> m_drawerMenu;
    QPointer<AvatarMenu> m_delegateMenu;
    QPointer<QMenu> m_contextMenu;
    QPointer<QToolButton> m_ownerButton;
    bool m_collaboratorsPending = false;
    TimerId m_collaboratorsTimer = 0;
};

} // namespace qv
