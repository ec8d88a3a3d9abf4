#include "ui/details/InboxModel.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"

namespace qv {

InboxModel::InboxModel(MyDocument& document, QObject* parent) : QObject(parent), m_document(document)
{
    m_items.setFetch(&document.context(), TODOItem::staticEntityName());
    m_items.setFilterPredicate([](const store::ManagedObject* object) {
        return isVisible(objectStateOf(*object)) && object->toOne(QStringLiteral("list")) == nullptr;
    });
    // Items made within the same second: the one made last is the newest.
    m_items.setSortDescriptors(
        {SortDescriptor::byValue(QStringLiteral("creationDate"), false),
         SortDescriptor::keyed(QStringLiteral("self"), false, [](store::ManagedObject* object) {
             return QVariantList{object->objectID()};
         })});
}

TODOItem* InboxModel::addItemWithTitle(const QString& title, const QString& notes)
{
    TODOItem* item = m_document.addItemWithTitle(title, notes);
    if (item)
        itemAdded(item);
    return item;
}

void InboxModel::itemAdded(TODOItem* item)
{
    if (item && !m_items.contentContains(item))
        m_items.addObject(item);
    reload();
    emit scrollToFirstRowRequested();
}

void InboxModel::reload()
{
    m_items.rearrangeObjects();
}

} // namespace qv
