#include "app/AvatarWiring.h"

#include "sync/AvatarManager.h"
#include "sync/QVRestManager.h"
#include "ui/board/LoginTransformers.h"
#include "ui/board/TableReload.h"
#include "ui/board/widgets/ItemRowDelegate.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/QuadrantView.h"

#include <QLineEdit>

#include <memory>

namespace qv {

void showAvatarsInRows(AvatarManager& avatars, QVRestManager& engine, MainWindow& window,
                       Scheduler& scheduler)
{
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        QuadrantView* view = window.quadrantView(quadrant);
        if (!view)
            continue;
        // Held by the row painter, which goes with the table.
        auto reload = std::make_shared<TableReload>(
            &scheduler, [&engine] { return &engine; }, [view] { view->viewport()->update(); });
        view->rowDelegate()->setAvatarSource([&avatars, reload](const QString& email) {
            // Rows are drawn often: the cached avatar, whose download (when due) runs behind.
            const AvatarImage* avatar = avatars.cachedAvatarForEmail(email);
            if (avatar && !avatar->hasPicture())
                reload->scheduleTableReload();
            return avatar && avatar->hasPicture() ? avatar->image() : QImage();
        });
        QObject::connect(&avatars, &AvatarManager::avatarChanged, view,
                         [view] { view->viewport()->update(); });
    }
}

void showAvatarInLoginButton(AvatarManager& avatars, QVRestManager& engine, MainWindow& window)
{
    registerLoginTransformers(window.valueTransformers(),
                              {{},
                               [&avatars](const QString& email) {
                                   // Asks for a download when one is due; the arrival redraws.
                                   const AvatarImage* avatar = avatars.avatarForEmail(email);
                                   return avatar && avatar->hasPicture() ? avatar->image() : QImage();
                               },
                               [&engine] {
                                   return engine.isOnline();
                               }});
    QObject::connect(&avatars, &AvatarManager::myAvatarChanged, &window,
                     &MainWindow::redisplayLoginStatusButton);
    window.redisplayLoginStatusButton();
}

} // namespace qv
