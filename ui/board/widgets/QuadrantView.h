#pragma once

#include "ui/board/Board.h"

#include <QTableView>
#include <QUrl>

#include <functional>

class QDrag;
class QTimer;

namespace qv {

class ImageFactoryForMac;
class ItemRowDelegate;
class QuadrantTableModel;
class Clock;
class Preferences;

// The table of one quadrant of the selected project: its rows follow the quadrant's controller
// (rows and selection), its keys and clicks become board commands, it is the drag source of its
// items and takes drops of items, links, files and text.
class QuadrantView final : public QTableView {
    Q_OBJECT
public:
    QuadrantView(Board& board, int quadrant, ImageFactoryForMac& icons, const Preferences& preferences,
                 const Clock& clock, QWidget* parent = nullptr);
    ~QuadrantView() override;

    int quadrant() const { return m_quadrant; }
    QuadrantTableModel* itemsModel() const { return m_model; }
    ItemRowDelegate* rowDelegate() const { return m_delegate; }

    void setRowHeight(int height);
    // Scrolls to the row and opens its title editor with the text selected.
    void editTitle(qsizetype row);
    void scrollToRow(qsizetype row);
    bool isEditingTitle() const;
    // An open title editor commits its text and closes.
    void endEditing(Board::TextMovement movement = Board::TextMovement::Other);

    // The drop handler: row is the row the drop lands before (-1: at the end).
    bool dropMime(const QMimeData* mime, qsizetype row);
    // The row a drop at a point of the viewport lands before.
    qsizetype dropRowAt(const QPoint& viewportPoint) const;
    bool isDragging() const { return m_dragging; }
    // What an empty quadrant says (also when the filter hides its items); empty while it has rows
    // or cannot take new items.
    QString emptyHint() const;

    // How a drag is run; tests replace QDrag::exec.
    using DragRunner = std::function<Qt::DropAction(QDrag& drag)>;
    void setDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }
    using UrlOpener = std::function<void(const QUrl& url)>;
    void setUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }
    // Whether the detail panel shows (a double click on a row then opens the item's link).
    void setDetailShownQuery(std::function<bool()> query) { m_isShowingDetail = std::move(query); }

signals:
    void draggingChanged(bool dragging);
    void detailToggleRequested();
    void contextMenuRequested(const QPoint& globalPosition);
    void iconsRequested();
    void collaboratorsRequested();
    // A double click below the rows added an item.
    void addedByDoubleClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void selectionFromController();
    void selectionToController();
    void modelAboutToRebuild();
    void openItem(int row);
    QList<qsizetype> selectedRows() const;

    Board& m_board;
    int m_quadrant;
    QuadrantTableModel* m_model = nullptr;
    ItemRowDelegate* m_delegate = nullptr;
    bool m_syncingSelection = false;
    bool m_dragging = false;
    DragRunner m_dragRunner;
    UrlOpener m_urlOpener;
    std::function<bool()> m_isShowingDetail;
    // A click on the one selected row's title edits it once no double click can follow.
    QTimer* m_pendingEdit = nullptr;
    qsizetype m_pendingEditRow = -1;
    qsizetype m_pressedSelectedRow = -1;
};

} // namespace qv
