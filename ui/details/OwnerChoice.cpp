#include "ui/details/OwnerChoice.h"

#include "core/model/TODOItem.h"
#include "ui/board/ArrayController.h"
#include "ui/details/DetailsLogging.h"

namespace qv {

int changeOwner(ArrayController& controller, const QString& owner)
{
    int changed = 0;
    for (store::ManagedObject* object : controller.selectedObjects()) {
        auto* item = store::as<TODOItem>(object);
        if (!item || item->ownerUsername() == owner)
            continue;
        item->setOwnerUsername(owner);
        ++changed;
    }
    if (changed > 0) {
        qCInfo(lcDetails, "Owner changed on %d items", changed);
        controller.rearrangeObjects();
    }
    return changed;
}

} // namespace qv
