#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QClipboard;
class QMimeData;

namespace qv {

namespace store {
class UndoManager;
}
class Board;
class TODOItem;
class TODOList;

// The Edit menu's commands on the board: copy, cut and paste of items through the system
// clipboard (as ItemPasteboard's "TODOItemDataType"), a new item from pasted text, and undo and
// redo over the store's undo history.
//
// A cut trashes its items without marking them for upload: pasted into their own project they
// are the same items moved, and nothing was deleted. Pasted into another project they become
// copies there, and the trashing of the originals is uploaded then. The cut is no step of the
// store's undo history, so Undo brings its items back itself while no later step is waiting.
class ItemClipboard {
public:
    // clipboard == nullptr: the application's.
    explicit ItemClipboard(Board& board, QClipboard* clipboard = nullptr);

    void copy() { copyToPasteBoardWithCutting(false); }
    void cut() { copyToPasteBoardWithCutting(true); }
    // The active quadrant's selection onto the clipboard; without one nothing changes.
    void copyToPasteBoardWithCutting(bool cutting);
    // Items on the clipboard into the active quadrant, at the selected row or at the bottom,
    // else a new item from its text. Answers whether anything was pasted.
    bool paste();
    // A new item in the active quadrant named after the clipboard's text; nullptr without text.
    TODOItem* createTaskFromPasteboard();
    // The plain text, else the first other text with content; empty when there is none.
    static QString stringFromPasteboardHelper(const QMimeData* mime);

    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();

private:
    // The last cut not undone yet: its items, and the length of the undo history right after it.
    struct Cut {
        QStringList uris;
        int undoCount = 0;
    };

    store::UndoManager* undoManager() const;
    bool cutIsLatest() const;
    void undoCut();

    Board& m_board;
    QClipboard* m_clipboard;
    // What the items on the clipboard were put there by: a copy, or a cut.
    bool m_copying = false;
    std::optional<Cut> m_cut;
};

} // namespace qv
