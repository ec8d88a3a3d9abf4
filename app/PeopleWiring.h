#pragma once

namespace qv {

class AvatarManager;
class CollaborationManager;
class MainWindow;
class MyDrawerController;
struct Services;

// The menus of people to delegate items to (the drawer's, the item rows' context menu's and at
// a row's owner picture) and the toolbar's team filter, over the collaboration caches, with
// the people's pictures.
void attachPeopleMenus(MainWindow& window, MyDrawerController& drawer, const Services& services,
                       CollaborationManager& collaboration, AvatarManager& avatars);

} // namespace qv
