#pragma once

#include <QString>

#include <optional>
#include <vector>

class QMimeData;

namespace qv {

class Board;
class TODOItem;
class TODOList;
struct ItemPasteboard;

// What dropping items dragged out of a quadrant table onto one of the toolbar's drop buttons
// does: complete them, move them to the trash or duplicate them.
//
// The dragged items are the ones the drag's links name, never rows of a table: while the drag
// is under way the pointer may pass over the project list and show another project, whose rows
// are other items. A drag whose links no longer all name live items of its project is refused.
class DropTargets {
public:
    enum class Operation { Complete, Trash, Duplicate };

    explicit DropTargets(Board& board) : m_board(board) {}

    // "complete", "trash", "duplicate"; nullopt for anything else.
    static std::optional<Operation> operationNamed(const QString& name);

    struct DraggedItems {
        TODOList* project = nullptr;
        std::vector<TODOItem*> items; // in drag order
    };
    // nullopt unless every link names a live item of the drag's (live) project and rows were
    // dragged.
    std::optional<DraggedItems> resolve(const ItemPasteboard& pasteboard) const;

    // Whether a drop of this data would be taken (items dragged, no colour).
    static bool canAccept(const QMimeData* mime);
    // true when the drop acted; a refused drop or a declined confirmation changes nothing.
    bool perform(Operation operation, const QMimeData* mime);

    // A copy of the item in its project and quadrant: its values, not its tags, files,
    // reminder or owner; new identifiers.
    TODOItem* createCloneOfItem(const TODOItem* item) const;

private:
    bool performComplete(const DraggedItems& dragged);
    bool performTrash(const DraggedItems& dragged);
    bool performDuplicate(const DraggedItems& dragged);
    void finish();

    Board& m_board;
};

} // namespace qv
