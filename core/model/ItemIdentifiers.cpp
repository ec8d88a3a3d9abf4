#include "core/model/ItemIdentifiers.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"

#include <QRandomGenerator>

#include <unordered_set>

namespace qv {

qint64 ItemIdentifiers::generateItemId(const RandomSource& random)
{
    const quint32 drawn = random ? random() : QRandomGenerator::global()->generate();
    return qint64(drawn % kLimit);
}

qint64 ItemIdentifiers::newUniqueIdForItemInList(const TODOList* list, const RandomSource& random)
{
    std::unordered_set<qint64> taken;
    if (list) {
        for (const TODOItem* item : list->items()) {
            if (!item->isNull(QStringLiteral("id_")))
                taken.insert(item->id_());
        }
    }
    qint64 id = generateItemId(random);
    while (taken.count(id))
        id = generateItemId(random);
    return id;
}

} // namespace qv
