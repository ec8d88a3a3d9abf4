#include "ui/board/ItemClipboard.h"

#include "core/document/CalendarSync.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/store/Context.h"
#include "platform/store/UndoManager.h"
#include "ui/board/Board.h"
#include "ui/board/BoardLogging.h"
#include "ui/board/ItemPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace qv {

namespace {

// Changes made meanwhile are not the user's edits for the sync, nor steps of the undo history.
class ChangeTrackingPause {
public:
    explicit ChangeTrackingPause(MyDocument& document)
        : m_document(document), m_paused(document.isReceivingEditingNotifications())
    {
        if (m_paused)
            m_document.disableDidChangeContextNotifications();
    }
    ~ChangeTrackingPause()
    {
        if (m_paused)
            m_document.enableDidChangeContextNotifications();
    }
    ChangeTrackingPause(const ChangeTrackingPause&) = delete;
    ChangeTrackingPause& operator=(const ChangeTrackingPause&) = delete;

private:
    MyDocument& m_document;
    bool m_paused;
};

} // namespace

ItemClipboard::ItemClipboard(Board& board, QClipboard* clipboard)
    : m_board(board), m_clipboard(clipboard ? clipboard : QGuiApplication::clipboard())
{
}

store::UndoManager* ItemClipboard::undoManager() const
{
    return m_board.document().context().undoManager();
}

// --- Copy and cut

void ItemClipboard::copyToPasteBoardWithCutting(bool cutting)
{
    const int quadrant = m_board.activeQuadrant();
    ArrayController* source = m_board.controllerForQuadrant(quadrant);
    TODOList* project = m_board.selectedProject();
    const std::vector<TODOItem*> items = m_board.selectedItems(quadrant);
    if (!source || !project || items.empty())
        return;
    qCDebug(lcBoard, "%s %lld items", cutting ? "Cutting" : "Copying", qint64(items.size()));
    m_copying = !cutting;

    const ItemPasteboard pasteboard = ItemPasteboard::forItems(items, project);
    if (cutting) {
        {
            ChangeTrackingPause pause(m_board.document());
            for (TODOItem* item : items)
                item->setState(2);
        }
        const store::UndoManager* manager = undoManager();
        m_cut = Cut{pasteboard.itemURIs, manager ? manager->undoCount() : 0};
    }
    m_clipboard->setMimeData(pasteboard.toMimeData().release());
    if (cutting) {
        source->rearrangeObjects();
        m_board.cleanListCustomCells();
    }
}

// --- Paste

bool ItemClipboard::paste()
{
    qCDebug(lcBoard, "Pasting");
    const int quadrant = m_board.activeQuadrant();
    ArrayController* target = m_board.controllerForQuadrant(quadrant);
    TODOList* project = m_board.selectedProject();
    if (!target || !project)
        return false;
    const std::optional<ItemPasteboard> pasteboard = ItemPasteboard::fromMimeData(m_clipboard->mimeData());
    if (!pasteboard)
        return createTaskFromPasteboard() != nullptr;

    // A link to an item deleted since the copy resolves to nothing and is left out.
    std::vector<TODOItem*> sources;
    for (TODOItem* item : pasteboard->resolveItems(m_board.document().context())) {
        if (item->state() != 3)
            sources.push_back(item);
    }
    if (sources.empty())
        return false;

    const bool moving = !m_copying && pasteboard->listURI == project->uri();
    const Board::PasteKind kind = m_copying ? Board::PasteKind::Copy
                                  : moving  ? Board::PasteKind::Move
                                            : Board::PasteKind::MoveToProject;
    const qsizetype insertionRow = target->selectionIndex();
    target->clearSelection();
    return m_board.pasteItems(quadrant, sources, kind, insertionRow);
}

QString ItemClipboard::stringFromPasteboardHelper(const QMimeData* mime)
{
    if (!mime)
        return {};
    const QString plain = mime->text();
    if (!plain.isEmpty())
        return plain;
    for (const QString& format : mime->formats()) {
        if (!format.startsWith(QLatin1String("text/")))
            continue;
        const QString text = QString::fromUtf8(mime->data(format));
        // The kind and the length only: what was copied is the user's.
        qCDebug(lcBoard, "Clipboard text of type %s: %lld characters", qUtf8Printable(format),
                qint64(text.size()));
        if (!text.isEmpty())
            return text;
    }
    return plain;
}

TODOItem* ItemClipboard::createTaskFromPasteboard()
{
    const int quadrant = m_board.activeQuadrant();
    ArrayController* target = m_board.controllerForQuadrant(quadrant);
    TODOList* project = m_board.selectedProject();
    const QString text = stringFromPasteboardHelper(m_clipboard->mimeData());
    if (!target || !project || text.trimmed().isEmpty())
        return nullptr;
    TODOItem* item = m_board.document().newItemForProject(project, quadrant);
    item->setName(text);
    item->setDescriptionText(text);
    const bool mailAddress =
        text.startsWith(QLatin1String("mailto:")) && text.contains(u'@') && text.contains(u'.');
    if (text.contains(QLatin1String("://")) || mailAddress)
        item->setMacResourceURL(text);
    m_board.addToContent({item});
    target->rearrangeObjects();
    m_board.cleanListCustomCells();
    return item;
}

// --- Undo and redo

bool ItemClipboard::cutIsLatest() const
{
    const store::UndoManager* manager = undoManager();
    return m_cut && (manager ? manager->undoCount() : 0) <= m_cut->undoCount;
}

bool ItemClipboard::canUndo() const
{
    const store::UndoManager* manager = undoManager();
    return cutIsLatest() || (manager && manager->canUndo());
}

bool ItemClipboard::canRedo() const
{
    const store::UndoManager* manager = undoManager();
    return manager && manager->canRedo();
}

void ItemClipboard::undo()
{
    // Edits still on their way count as the latest step.
    m_board.document().context().processPendingChanges();
    if (cutIsLatest()) {
        undoCut();
    } else if (store::UndoManager* manager = undoManager(); manager && manager->canUndo()) {
        manager->undo();
    } else {
        return;
    }
    m_board.rearrangeArrayControllers();
}

void ItemClipboard::redo()
{
    store::UndoManager* manager = undoManager();
    if (!manager || !manager->canRedo())
        return;
    manager->redo();
    m_board.rearrangeArrayControllers();
}

void ItemClipboard::undoCut()
{
    const Cut cut = *m_cut;
    m_cut.reset();
    store::Context& context = m_board.document().context();
    ItemPasteboard pasteboard;
    pasteboard.itemURIs = cut.uris;
    // Not a step of the undo history, as the cut was not. It is an edit for the sync all the
    // same: the trashing may have been uploaded meanwhile (a paste into another project).
    const store::UndoPause pause(context);
    CalendarSyncInterface* calendar = m_board.document().calendarSync();
    for (TODOItem* item : pasteboard.resolveItems(context)) {
        if (item->state() == 2)
            item->setState(item->completionPercentage() > 99 ? 1 : 0);
        if (calendar && item->dueDate().isValid())
            calendar->updateEventForItem(item, item->list());
    }
}

} // namespace qv
