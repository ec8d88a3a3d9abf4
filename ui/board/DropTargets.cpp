#include "ui/board/DropTargets.h"

#include "core/document/DocumentWindow.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/store/Context.h"
#include "ui/board/Board.h"
#include "ui/board/BoardLogging.h"
#include "ui/board/IndexAdjuster.h"
#include "ui/board/ItemPasteboard.h"

#include <QHash>
#include <QMimeData>

#include <algorithm>

namespace qv {

namespace {

constexpr qint64 kEdgeStep = 100;

bool isLive(const TODOItem* item)
{
    return item && !item->isDeleted() && isVisible(item->objectState());
}

// A completed recurring item's follow-up joins the board when its project is the one shown.
class FollowUpSink final : public ItemArrayController {
public:
    explicit FollowUpSink(Board& board) : m_board(board) {}
    void addObject(TODOItem* item) override
    {
        if (item && item->list() == m_board.selectedProject())
            m_board.addToContent({item});
    }

private:
    Board& m_board;
};

} // namespace

std::optional<DropTargets::Operation> DropTargets::operationNamed(const QString& name)
{
    if (name == QLatin1String("complete"))
        return Operation::Complete;
    if (name == QLatin1String("trash"))
        return Operation::Trash;
    if (name == QLatin1String("duplicate"))
        return Operation::Duplicate;
    return std::nullopt;
}

bool DropTargets::canAccept(const QMimeData* mime)
{
    return mime && !mime->hasColor() && mime->hasFormat(ItemPasteboard::kType);
}

std::optional<DropTargets::DraggedItems> DropTargets::resolve(const ItemPasteboard& pasteboard) const
{
    if (pasteboard.rowIndexes.isEmpty() || pasteboard.itemURIs.isEmpty())
        return std::nullopt;
    const store::Context& context = m_board.document().context();
    DraggedItems dragged;
    dragged.project = pasteboard.resolveList(context);
    if (!dragged.project || dragged.project->isDeleted() || !isVisible(dragged.project->objectState()))
        return std::nullopt;
    dragged.items = pasteboard.resolveItems(context);
    const bool allResolved = qsizetype(dragged.items.size()) == pasteboard.itemURIs.size();
    const bool allLive = std::all_of(dragged.items.begin(), dragged.items.end(), [&](const TODOItem* item) {
        return isLive(item) && item->list() == dragged.project;
    });
    if (!allResolved || !allLive) {
        qCInfo(lcBoard, "Refusing a drop of %lld items: %lld resolved", qint64(pasteboard.itemURIs.size()),
               qint64(dragged.items.size()));
        return std::nullopt;
    }
    return dragged;
}

bool DropTargets::perform(Operation operation, const QMimeData* mime)
{
    if (!canAccept(mime))
        return false;
    const std::optional<ItemPasteboard> pasteboard = ItemPasteboard::fromMimeData(mime);
    if (!pasteboard)
        return false;
    const std::optional<DraggedItems> dragged = resolve(*pasteboard);
    if (!dragged)
        return false;
    switch (operation) {
    case Operation::Complete:
        return performComplete(*dragged);
    case Operation::Trash:
        return performTrash(*dragged);
    case Operation::Duplicate:
        return performDuplicate(*dragged);
    }
    return false;
}

bool DropTargets::performComplete(const DraggedItems& dragged)
{
    FollowUpSink sink(m_board);
    for (TODOItem* item : dragged.items)
        m_board.document().markTODOItem(item, dragged.project, &sink, 100);
    finish();
    return true;
}

bool DropTargets::performTrash(const DraggedItems& dragged)
{
    if (!m_board.userConfirmsItemsDeletion(dragged.items))
        return false;
    for (TODOItem* item : dragged.items)
        m_board.document().markTODOItemAsTrashed(item, dragged.project);
    finish();
    return true;
}

bool DropTargets::performDuplicate(const DraggedItems& dragged)
{
    // Clones gather at the top of a quadrant in manual order, in the order they were dragged
    // (the manual order stands higher for a higher index). In another order they keep the
    // original's index and the order places them.
    QHash<qint64, qint64> topOfQuadrant;
    for (const TODOItem* item : dragged.project->items()) {
        if (isLive(item))
            topOfQuadrant[item->quadrant()] =
                std::max(topOfQuadrant.value(item->quadrant(), item->index()), item->index());
    }
    const qint64 count = qint64(dragged.items.size());
    for (qint64 i = 0; i < count; ++i) {
        const TODOItem* item = dragged.items[size_t(i)];
        const int quadrant = int(std::clamp<qint64>(item->quadrant(), 0, 3));
        const bool manual = IndexAdjuster::isSortedByIndex(m_board.controller(quadrant));
        const qint64 index =
            manual ? topOfQuadrant.value(item->quadrant()) + kEdgeStep * (count - i) : item->index();
        TODOItem* clone = createCloneOfItem(item);
        clone->setIndex(index);
        if (dragged.project == m_board.selectedProject())
            m_board.addToContent({clone});
    }
    finish();
    return true;
}

TODOItem* DropTargets::createCloneOfItem(const TODOItem* item) const
{
    store::Context& context = m_board.document().context();
    auto* clone = context.insert<TODOItem>(TODOItem::staticEntityName());
    if (TODOList* project = item->list())
        project->addItem(clone);
    for (const store::AttributeDescription& attribute : item->entity().attributes()) {
        if (!attribute.transient)
            clone->setValue(attribute.name, item->value(attribute.name));
    }
    clone->resetIDs();
    clone->clearValue(QStringLiteral("owner"));
    clone->clearValue(QStringLiteral("ownerUsername"));
    return clone;
}

void DropTargets::finish()
{
    m_board.rearrangeArrayControllers();
    m_board.cleanListCustomCells();
}

} // namespace qv
