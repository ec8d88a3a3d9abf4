#include "ui/details/InboxModel.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "ui/board/ItemPasteboard.h"

#include <QMimeData>

#include <algorithm>

namespace qv {

namespace {

std::vector<SortKey> objectIDKeys(const std::vector<store::ManagedObject*>& objects)
{
    std::vector<SortKey> keys;
    keys.reserve(objects.size());
    for (const store::ManagedObject* object : objects)
        keys.push_back({object->objectID()});
    return keys;
}

} // namespace

InboxModel::InboxModel(MyDocument& document, QObject* parent) : QObject(parent), m_document(document)
{
    // Of the many items a download inserts, only the new ones are filtered; the observer below
    // asks again about every item whose project or state changes.
    m_items.setFiltersOnlyInsertedObjects(true);
    m_items.setFetch(&document.context(), TODOItem::staticEntityName());
    m_items.setFilterPredicate(
        [state = store::IntegerReader(QStringLiteral("state"))](const store::ManagedObject* object) mutable {
            return isVisible(toObjectState(state(*object).value_or(0))) &&
                   object->toOne(QStringLiteral("list")) == nullptr;
        },
        ArrayController::FilterReads::ObjectOnly);
    // Items made within the same second: the one made last is the newest.
    m_items.setSortDescriptors({SortDescriptor::byValue(QStringLiteral("creationDate"), false),
                                SortDescriptor::keyed(QStringLiteral("self"), false, objectIDKeys)});
    // An item dropped on a quadrant (or trashed anywhere) leaves the inbox at once, and one sent
    // back to it shows.
    // Only the items whose project or state changed are asked again, not the whole store.
    m_observer = document.context().addChangeObserver([this](const store::ChangeEvent& event) {
        std::vector<store::ManagedObject*> changed;
        for (store::ManagedObject* object : event.updated) {
            const auto keys = event.changedKeys.constFind(object);
            if (store::as<TODOItem>(object) && keys != event.changedKeys.constEnd() &&
                (keys->contains(QStringLiteral("list")) || keys->contains(QStringLiteral("state"))))
                changed.push_back(object);
        }
        if (!changed.empty())
            m_items.refilterObjects(changed);
    });
}

InboxModel::~InboxModel()
{
    m_document.context().removeChangeObserver(m_observer);
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

std::unique_ptr<QMimeData> InboxModel::dragData(const QList<qsizetype>& rows) const
{
    QList<qsizetype> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    std::vector<TODOItem*> items;
    QList<qsizetype> dragged;
    for (qsizetype row : sorted) {
        if (auto* item = store::as<TODOItem>(m_items.arrangedObjectAt(row)); item && !dragged.contains(row)) {
            items.push_back(item);
            dragged << row;
        }
    }
    if (items.empty())
        return nullptr;
    return ItemPasteboard::forItems(items, nullptr, dragged).toMimeData();
}

int InboxModel::trashSelectedItems()
{
    const QList<qsizetype> rows = m_items.selectionIndexes();
    int trashed = 0;
    for (store::ManagedObject* object : m_items.selectedObjects()) {
        auto* item = store::as<TODOItem>(object);
        if (item && isVisible(item->objectState())) {
            m_document.markTODOItemAsTrashed(item, nullptr);
            ++trashed;
        }
    }
    if (trashed == 0)
        return 0;
    reload();
    if (!rows.isEmpty() && m_items.arrangedCount() > 0)
        m_items.setSelectionIndex(
            std::min(*std::min_element(rows.begin(), rows.end()), m_items.arrangedCount() - 1));
    return trashed;
}

} // namespace qv
