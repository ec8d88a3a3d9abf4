#include "app/PeopleWiring.h"

#include "platform/Services.h"
#include "sync/CollaborationManager.h"
#include "sync/ContextMenuHelper.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/PeopleMenus.h"
#include "ui/details/widgets/TeamFilterItem.h"

#include <QToolBar>

namespace qv {

void attachPeopleMenus(MainWindow& window, MyDrawerController& drawer, const Services& services,
                       CollaborationManager& collaboration, AvatarManager& avatars)
{
    auto* menus = new PeopleMenus(window, drawer, services, [&collaboration](const TODOItem* item) {
        return ContextMenuHelper::sourceForItem(collaboration, item);
    });
    menus->setAvatarManager(&avatars);
    if (auto* toolbar = window.findChild<QToolBar*>()) {
        TeamFilterItem* filter = TeamFilterItem::addTo(*toolbar, services.notifications, [&collaboration] {
            return ContextMenuHelper::sourceForItem(collaboration, nullptr);
        });
        filter->setAvatarManager(&avatars);
    }
}

} // namespace qv
