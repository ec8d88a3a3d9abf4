#include "ui/board/widgets/QuadrantView.h"

#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "ui/board/AttachmentUploads.h"
#include "ui/board/ItemPasteboard.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"
#include "ui/board/widgets/ItemRowDelegate.h"
#include "ui/board/widgets/QuadrantTableModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDrag>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

namespace qv {

namespace {

constexpr int kStateColumnWidth = 24;
constexpr int kFocusFrameWidth = 2;

std::optional<QuadrantNavigation::Key> navigationKey(int key)
{
    using Key = QuadrantNavigation::Key;
    switch (key) {
    case Qt::Key_Up:
        return Key::Up;
    case Qt::Key_Down:
        return Key::Down;
    case Qt::Key_Left:
        return Key::Left;
    case Qt::Key_Right:
        return Key::Right;
    case Qt::Key_Space:
        return Key::Space;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return Key::Delete;
    default:
        return std::nullopt;
    }
}

QPixmap dragPixmap(const std::vector<TODOItem*>& items, const QFont& font)
{
    const QString first =
        items.front()->name().isEmpty() ? QStringLiteral("Untitled") : items.front()->name();
    const QString text = items.size() > 1
                             ? QStringLiteral("%1  (+%2)").arg(first.left(40)).arg(items.size() - 1)
                             : first.left(40);
    const QFontMetrics metrics(font);
    const QSize size(metrics.horizontalAdvance(text) + 20, metrics.height() + 10);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x9a, 0xa9, 0xba));
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRoundedRect(QRectF(pixmap.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    painter.setFont(font);
    painter.setPen(QColor(0x2c, 0x35, 0x39));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, text);
    return pixmap;
}

} // namespace

QuadrantView::QuadrantView(Board& board, int quadrant, ImageFactoryForMac& icons,
                           const Preferences& preferences, const Clock& clock, QWidget* parent)
    : QTableView(parent), m_board(board), m_quadrant(quadrant)
{
    setObjectName(QStringLiteral("quadrant%1").arg(quadrant + 1));
    m_model = new QuadrantTableModel(board.controller(quadrant), this);
    setModel(m_model);
    m_delegate = new ItemRowDelegate(board, quadrant, icons, preferences, clock, this);
    setItemDelegate(m_delegate);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QuadrantTableModel::NameColumn, QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(QuadrantTableModel::StateColumn, QHeaderView::Fixed);
    horizontalHeader()->resizeSection(QuadrantTableModel::StateColumn, kStateColumnWidth);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setDefaultDropAction(Qt::MoveAction);
    setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the table (for the drawer's fields) instead of walking its cells.
    setTabKeyNavigation(false);

    m_urlOpener = [](const QUrl& url) {
        QDesktopServices::openUrl(url);
    };

    connect(&board.controller(quadrant), &ArrayController::selectionChanged, this,
            &QuadrantView::selectionFromController);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QuadrantView::selectionToController);
    connect(m_model, &QuadrantTableModel::aboutToRebuild, this, &QuadrantView::modelAboutToRebuild);
    connect(m_model, &QAbstractItemModel::modelReset, this, &QuadrantView::selectionFromController);
    connect(m_delegate, &ItemRowDelegate::iconClicked, this, &QuadrantView::iconsRequested);
    connect(m_delegate, &ItemRowDelegate::avatarClicked, this, &QuadrantView::collaboratorsRequested);

    m_pendingEdit = new QTimer(this);
    m_pendingEdit->setSingleShot(true);
    connect(m_pendingEdit, &QTimer::timeout, this, [this] {
        if (m_pendingEditRow >= 0 &&
            m_board.controller(m_quadrant).selectionIndexes() == QList<qsizetype>{m_pendingEditRow})
            editTitle(m_pendingEditRow);
        m_pendingEditRow = -1;
    });
}

QuadrantView::~QuadrantView()
{
    // An editor still open goes with the view; the lock goes with it (the claim's destructor).
    if (m_dragging)
        m_board.endDragging();
}

void QuadrantView::setRowHeight(int height)
{
    verticalHeader()->setDefaultSectionSize(height);
    verticalHeader()->setMinimumSectionSize(std::min(height, verticalHeader()->minimumSectionSize()));
}

void QuadrantView::scrollToRow(qsizetype row)
{
    if (row >= 0 && row < m_model->rowCount())
        scrollTo(m_model->index(int(row), QuadrantTableModel::NameColumn));
}

void QuadrantView::editTitle(qsizetype row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex index = m_model->index(int(row), QuadrantTableModel::NameColumn);
    scrollTo(index);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    edit(index);
}

bool QuadrantView::isEditingTitle() const
{
    return m_delegate->openEditor() != nullptr && state() == QAbstractItemView::EditingState;
}

void QuadrantView::endEditing(Board::TextMovement movement)
{
    if (m_delegate->openEditor())
        m_delegate->finishEditing(movement);
}

QList<qsizetype> QuadrantView::selectedRows() const
{
    return m_board.controller(m_quadrant).selectionIndexes();
}

void QuadrantView::selectionFromController()
{
    if (m_syncingSelection)
        return;
    m_syncingSelection = true;
    QItemSelection selection;
    const QList<qsizetype> rows = selectedRows();
    for (qsizetype row : rows) {
        if (row < m_model->rowCount())
            selection.select(m_model->index(int(row), 0),
                             m_model->index(int(row), QuadrantTableModel::ColumnCount - 1));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.isEmpty() && rows.first() < m_model->rowCount())
        selectionModel()->setCurrentIndex(m_model->index(int(rows.first()), 0),
                                          QItemSelectionModel::NoUpdate);
    m_syncingSelection = false;
}

void QuadrantView::selectionToController()
{
    if (m_syncingSelection)
        return;
    m_syncingSelection = true;
    QList<qsizetype> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    m_board.controller(m_quadrant).setSelectionIndexes(rows);
    m_syncingSelection = false;
}

void QuadrantView::modelAboutToRebuild()
{
    // The rows are about to change under the editor: what was typed is kept, the edit ends.
    if (isEditingTitle())
        endEditing(Board::TextMovement::Other);
}

void QuadrantView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    (void)hint;
    const Board::TextMovement movement = m_delegate->takeMovement();
    // The next row is never opened: each end of an edit is the board's to act on.
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    m_board.editingItemDidEnd(m_quadrant, movement);
}

void QuadrantView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const std::optional<QuadrantNavigation::Key> key = navigationKey(event->key());
    if (!key || modifiers != Qt::NoModifier) {
        QTableView::keyPressEvent(event);
        return;
    }
    m_pendingEdit->stop();
    const QuadrantNavigation::Move move = m_board.keyPressed(m_quadrant, *key);
    if (move.kind == QuadrantNavigation::Move::Kind::TableHandling)
        QTableView::keyPressEvent(event);
    else
        event->accept();
}

void QuadrantView::mousePressEvent(QMouseEvent* event)
{
    m_pendingEdit->stop();
    m_pendingEditRow = -1;
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool plainLeft = event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier;
    const QList<qsizetype> before = selectedRows();
    m_pressedSelectedRow =
        plainLeft && index.isValid() && before == QList<qsizetype>{index.row()} ? index.row() : -1;
    if (plainLeft && index.isValid() && index.column() == QuadrantTableModel::StateColumn &&
        before.contains(index.row())) {
        // The check box of a selected row.
        setFocus(Qt::MouseFocusReason);
        m_board.markClickedItemAsDone(m_quadrant, index.row());
        m_pressedSelectedRow = -1;
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void QuadrantView::mouseReleaseEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool sameRow = index.isValid() && index.row() == m_pressedSelectedRow &&
                         index.column() == QuadrantTableModel::NameColumn;
    QTableView::mouseReleaseEvent(event);
    // A click on the title of the one selected row edits it, unless a double click follows.
    if (sameRow && event->button() == Qt::LeftButton && state() != QAbstractItemView::EditingState) {
        m_pendingEditRow = index.row();
        m_pendingEdit->start(QApplication::doubleClickInterval());
    }
    m_pressedSelectedRow = -1;
}

void QuadrantView::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_pendingEdit->stop();
    m_pendingEditRow = -1;
    if (event->button() != Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    const int row = rowAt(int(event->position().y()));
    qCDebug(lcBoardWidgets, "Double click on row %d", row);
    event->accept();
    if (row < 0) {
        if (m_board.addTODOItemToQuadrant(m_quadrant))
            emit addedByDoubleClick();
        return;
    }
    if (!m_board.controller(m_quadrant).hasSelection())
        return;
    if (!m_isShowingDetail || !m_isShowingDetail()) {
        emit detailToggleRequested();
        return;
    }
    openItem(int(m_board.controller(m_quadrant).selectionIndex()));
}

void QuadrantView::openItem(int row)
{
    TODOItem* item = m_model->itemAt(row);
    if (!item || !m_urlOpener)
        return;
    const QString link = item->macResourceURL().trimmed();
    if (!link.isEmpty()) {
        ItemFile* attached = nullptr;
        for (ItemFile* file : item->files()) {
            if (!file->url().isEmpty() && link.contains(file->url())) {
                attached = file;
                break;
            }
        }
        if (attached && !QFileInfo::exists(link)) {
            // The attachment is not where the link says on this computer: our copy, fetched first
            // when there is none.
            if (AttachmentUploads* attachments = m_board.attachments())
                attachments->openItemFile(attached);
        } else {
            m_urlOpener(QFileInfo::exists(link) ? QUrl::fromLocalFile(link) : QUrl::fromUserInput(link));
        }
    }
    const QString name = item->name();
    if (name.startsWith(QLatin1String("mailto:")) && name.contains(u'@') && name.contains(u'.'))
        m_urlOpener(QUrl(name));
}

void QuadrantView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid() && !selectedRows().contains(index.row()))
        m_board.controller(m_quadrant).setSelectionIndex(index.row());
    setFocus(Qt::MouseFocusReason);
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

void QuadrantView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    m_board.quadrantDidBecomeFirstResponder(m_quadrant);
    viewport()->update(); // the focus frame
}

void QuadrantView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void QuadrantView::startDrag(Qt::DropActions supportedActions)
{
    const QList<qsizetype> rows = selectedRows();
    std::vector<TODOItem*> items;
    for (qsizetype row : rows) {
        if (TODOItem* item = m_model->itemAt(int(row)))
            items.push_back(item);
    }
    if (items.empty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(
        ItemPasteboard::forItems(items, m_board.selectedProject(), rows).toMimeData().release());
    drag->setPixmap(dragPixmap(items, font()));
    QPointer<QDrag> alive(drag);

    m_dragging = true;
    m_board.beginDragging();
    emit draggingChanged(true);
    const Qt::DropAction operation =
        m_dragRunner ? m_dragRunner(*drag) : drag->exec(supportedActions, Qt::MoveAction);
    qCDebug(lcBoardWidgets, "ended with op = %lu", static_cast<unsigned long>(operation));
    m_dragging = false;
    m_board.endDragging();
    emit draggingChanged(false);
    // exec() disposes of its drag; a runner's drag is ours to delete.
    if (m_dragRunner && alive)
        delete drag;
}

qsizetype QuadrantView::dropRowAt(const QPoint& viewportPoint) const
{
    const QModelIndex index = indexAt(viewportPoint);
    if (!index.isValid())
        return m_model->rowCount();
    const QRect rect = visualRect(index);
    return viewportPoint.y() < rect.center().y() ? index.row() : index.row() + 1;
}

bool QuadrantView::dropMime(const QMimeData* mime, qsizetype row)
{
    return m_board.acceptDrop(m_quadrant, mime, row);
}

void QuadrantView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!Board::canAcceptDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    QTableView::dragEnterEvent(event);
    event->setDropAction(event->mimeData()->hasFormat(ItemPasteboard::kType) ? Qt::MoveAction
                                                                             : Qt::CopyAction);
    event->accept();
}

void QuadrantView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!Board::canAcceptDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    QTableView::dragMoveEvent(event);
    event->setDropAction(event->mimeData()->hasFormat(ItemPasteboard::kType) ? Qt::MoveAction
                                                                             : Qt::CopyAction);
    event->accept();
}

void QuadrantView::dropEvent(QDropEvent* event)
{
    const qsizetype row = dropRowAt(event->position().toPoint());
    const bool items = event->mimeData()->hasFormat(ItemPasteboard::kType);
    const bool accepted = dropMime(event->mimeData(), row);
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
    if (!accepted) {
        event->ignore();
        return;
    }
    event->setDropAction(items ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

} // namespace qv

namespace qv {

QString QuadrantView::emptyHint() const
{
    if (m_model->rowCount() > 0 || !m_board.selectedProject() || !m_model->isEditable())
        return {};
    if (m_board.filterHidesItems(m_quadrant))
        return tr("No items match the filter.");
    return tr("No items here. Double-click to add one.");
}

void QuadrantView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    QPainter painter(viewport());
    if (hasFocus()) {
        // The quadrant that has the keyboard shows it by a frame in the selection's colour.
        painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusFrameWidth));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kFocusFrameWidth / 2.0;
        painter.drawRect(QRectF(viewport()->rect()).adjusted(inset, inset, -inset, -inset));
    }
    const QString hint = emptyHint();
    if (hint.isEmpty())
        return;
    painter.setPen(ItemRowDelegate::hintInk(palette()));
    painter.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, hint);
}

} // namespace qv
