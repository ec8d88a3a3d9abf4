#include "app/AvatarWiring.h"

#include "sync/AvatarManager.h"
#include "ui/board/widgets/ItemRowDelegate.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/QuadrantView.h"

#include <QLineEdit>

namespace qv {

void showAvatarsInRows(AvatarManager& avatars, MainWindow& window)
{
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        QuadrantView* view = window.quadrantView(quadrant);
        if (!view)
            continue;
        view->rowDelegate()->setAvatarSource([&avatars](const QString& email) {
            // Rows are drawn often: the cached avatar, whose download (when due) runs behind.
            const AvatarImage* avatar = avatars.cachedAvatarForEmail(email);
            return avatar && avatar->hasPicture() ? avatar->image() : QImage();
        });
        QObject::connect(&avatars, &AvatarManager::avatarChanged, view,
                         [view] { view->viewport()->update(); });
    }
}

} // namespace qv
