#include "core/model/ItemIdentifiers.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"

#include "platform/store/Context.h"

#include <QRandomGenerator>

#include <algorithm>

namespace qv {

qint64 ItemIdentifiers::generateItemId(const RandomSource& random)
{
    const quint32 drawn = random ? random() : QRandomGenerator::global()->generate();
    return qint64(drawn % kLimit);
}

qint64 ItemIdentifiers::newUniqueIdForItemInList(const TODOList* list, const RandomSource& random)
{
    if (!list || !list->context())
        return generateItemId(random);
    // Through the id index: scanning the project for every draw makes copying a project quadratic.
    const store::Context& context = *list->context();
    const auto takenInList = [&](qint64 id) {
        const auto sameId = context.lookup(TODOItem::staticEntityName(), QStringLiteral("id_"), QVariant(id));
        return std::any_of(sameId.begin(), sameId.end(), [list](const store::ManagedObject* item) {
            return item->toOne(QStringLiteral("list")) == list;
        });
    };
    qint64 id = generateItemId(random);
    while (takenInList(id))
        id = generateItemId(random);
    return id;
}

} // namespace qv
