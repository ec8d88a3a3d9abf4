#include "ui/board/IndexAdjuster.h"

#include "ui/board/ArrayController.h"
#include "ui/board/BoardLogging.h"

#include <vector>

namespace qv {

namespace {

const QString kIndex = QStringLiteral("index");

void renumber(ArrayController& controller)
{
    const std::vector<store::ManagedObject*>& objects = controller.arrangedObjects();
    const size_t count = objects.size();
    if (count < 2)
        return;
    // Indices are read as 64-bit numbers so that neither the midpoint nor the step of 1000
    // can overflow near the ends of the 32-bit range.
    for (size_t i = 0; i < count; ++i) {
        store::ManagedObject* object = objects[i];
        const qint64 current = object->intValue(kIndex);
        if (i == 0) {
            const qint64 second = objects[1]->intValue(kIndex);
            if (current <= second)
                object->setValue(kIndex, second + 1000);
            continue;
        }
        const qint64 previous = objects[i - 1]->intValue(kIndex);
        if (previous > current)
            continue;
        if (i + 1 < count) {
            const qint64 next = objects[i + 1]->intValue(kIndex);
            if (previous - next >= 2) {
                object->setValue(kIndex, (previous + next) / 2);
                continue;
            }
        }
        object->setValue(kIndex, previous - 1000);
    }
}

} // namespace

bool IndexAdjuster::isSortedByIndex(const ArrayController& controller)
{
    const std::vector<SortDescriptor>& descriptors = controller.sortDescriptors();
    return descriptors.empty() || descriptors.front().key == kIndex;
}

void IndexAdjuster::adjustIndices(ArrayController& controller)
{
    const std::vector<store::ManagedObject*>& objects = controller.arrangedObjects();
    if (!objects.empty() && objects.back()->entityName() == QLatin1String("TODOList"))
        qCDebug(lcBoard, "reindexing lists");
    else if (!isSortedByIndex(controller))
        return;
    renumber(controller);
}

void IndexAdjuster::adjustListIndices(ArrayController& controller)
{
    renumber(controller);
}

} // namespace qv
