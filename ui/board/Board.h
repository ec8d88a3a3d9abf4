#pragma once

#include "core/util/Predicate.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "ui/board/ArrayController.h"
#include "ui/board/BoardArrangement.h"
#include "ui/board/QuadrantNavigation.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QImage;
class QMimeData;
class QObject;
class QUrl;

namespace qv {

class AttachmentUploads;
class CollaborationInterface;
class ItemFilterPanel;
class MyDocument;
class SyncEngineInterface;
class TODOItem;
class TODOList;
struct ItemPasteboard;

// What the board's operations ask of the window. Every call does nothing by default.
class BoardView {
public:
    virtual ~BoardView() = default;
    // Quadrant q's table scrolls to the row and opens its title editor with the text selected.
    virtual void editTitle(int, qsizetype) {}
    virtual void scrollToRow(int, qsizetype) {}
    // The rows of quadrant q show changed items (attribute changes rebuild nothing).
    virtual void reloadQuadrant(int) {}
    // Keyboard focus to quadrant q's table, or to the project list.
    virtual void focusQuadrant(int) {}
    virtual void focusProjectList() {}
    virtual void activeQuadrantChanged(int) {}
    // The project list counts its rows' items anew / re-filters / re-sorts.
    virtual void cleanListCustomCells() {}
    virtual void reloadProjectListFilters() {}
    virtual void rearrangeProjectList() {}
    virtual void showUndeleteWindow() {}
    virtual void toggleShowDetail() {}
    // Another project (or none) is shown: titles, colours, the axis crossing.
    virtual void projectShown(TODOList*) {}
    virtual void scrollSelectedRowToVisible() {}
    // Any open title editor commits its text and closes.
    virtual void endEditing() {}
};

// The board of the selected project, without widgets: the four quadrants' controllers over the
// project's items, their sort order and filter, the item commands, the drop side of the quadrant
// tables, the keyboard moves between quadrants and the sync engine's editing lock.
//
// The controllers hold every item of the project shown and follow the store: items that join
// or leave the project (a sync, a recurrence, the inbox) join or leave them.
class Board {
public:
    static const QString kItemNameComponent; // "itemNameTextCell"
    static const QString kNewItemIcon;       // "empty_orange128.png"
    static const QString kFileItemIcon;      // "green_filecabinet128.png"

    // How a title edit ended.
    enum class TextMovement { Other, Return, Tab, Cancel };

    Board(MyDocument& document, const Services& services);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    void setView(BoardView* view) { m_view = view; }
    void setFilterPanel(ItemFilterPanel* panel) { m_filterPanel = panel; }
    void setCollaboration(const CollaborationInterface* collaboration) { m_collaboration = collaboration; }
    // Files dropped, chosen or captured go to the server through it; without it they stay links.
    void setAttachments(AttachmentUploads* attachments) { m_attachments = attachments; }
    AttachmentUploads* attachments() const { return m_attachments; }

    MyDocument& document() const { return m_document; }
    // Quadrant 0-3.
    ArrayController& controller(int quadrant) const;
    // nullptr outside 0-3.
    ArrayController* controllerForQuadrant(int quadrant) const;
    BoardArrangement& arrangement() { return m_arrangement; }

    // --- The project shown ---
    TODOList* selectedProject() const { return m_project; }
    // Shows the project's items (nullptr: none); the shown project again changes nothing.
    void showProject(TODOList* project);

    // --- Focus ---
    int activeQuadrant() const;
    void setActiveQuadrant(int quadrant);
    // A quadrant table took the keyboard focus: the others drop their selections.
    void quadrantDidBecomeFirstResponder(int quadrant);
    // Focus to quadrant q; the rows join its selection (extend) or replace it.
    void enableQuadrantAndSelectRows(int quadrant, const QList<qsizetype>& rows, bool extend = true);
    void enableProjectView();
    // Brings the item into view and selects it, widening the filters when it is hidden;
    // nullptr clears every quadrant's selection.
    void selectItem(TODOItem* item);
    bool selectItemWithoutChangingFilters(TODOItem* item);
    // A key pressed in quadrant q's table; answers the move made. TableHandling: the table
    // handles the key itself.
    QuadrantNavigation::Move keyPressed(int quadrant, QuadrantNavigation::Key key);

    // --- Order and filters ---
    void updateSortDescriptors();
    void updateFilters();
    void changeFiltersToNormal();
    // The board filter without the quadrant test, as a store predicate.
    Predicate userFilterPredicate() const;
    // Whether the filter hides some item of quadrant q that is neither trashed nor removed.
    bool filterHidesItems(int quadrant) const;
    void adjustItemIndices();
    // After an item loop pass, a sync or an undelete: every quadrant re-sorts and re-filters.
    void rearrangeArrayControllers();

    // --- Item commands ---
    TODOItem* addTODOItem();
    // Refused (nullptr) while the project's items are still being fetched.
    TODOItem* addTODOItemToQuadrant(int quadrant);
    // A new item at the top or bottom of the quadrant; startEditing opens its title editor.
    // after: the item just typed in a quick-add chain; the new one goes directly under it.
    TODOItem* addTODOItemToQuadrant(int quadrant, bool quickAdd, bool startEditing = true,
                                    TODOItem* after = nullptr);
    // The title editor of quadrant q closed (its text is already stored).
    void editingItemDidEnd(int quadrant, TextMovement movement);
    TODOItem* addingItem() const { return m_addingItem; }
    TODOItem* previouslySelectedItem() const { return m_previouslySelectedItem; }
    bool suggestManualSortingForQuickAdd();
    bool suggestManualSortingForDragging();
    void moveSelectedItemsToFringe(bool top);
    void toggleListOrItemsAsCompleted();
    void toggleSelectedItemsAsCompletedInQuadrant(int quadrant);
    void markClickedItemAsDone(int quadrant, qsizetype row);
    void markListOrItemsAsCompleted();
    void markSelectedItemsAsCompletedInQuadrant(int quadrant);
    void markItemsAsDeleted();
    void markSelectedItemsAsDeletedInQuadrant(int quadrant);
    bool userConfirmsItemsCompleted(const std::vector<TODOItem*>& items);
    bool userConfirmsItemsDeletion(const std::vector<TODOItem*>& items);
    void toggleStarForSelectedItems();
    // Flips the star of quadrant q's selection 0.1 s from now; calls meanwhile do nothing.
    void flipStarForSelectedItems(int quadrant);
    TODOItem* getSelectedItem() const;
    std::vector<TODOItem*> selectedItems(int quadrant) const;

    // --- Drops on a quadrant table ---
    // Items, links, files or text.
    static bool canAcceptDrop(const QMimeData* mime);
    // row: the row the drop lands before (the row count for the end, -1 for anywhere).
    bool acceptDrop(int quadrant, const QMimeData* mime, qsizetype row);
    // Reorders within a quadrant or moves into it; items from the inbox join the project; items
    // of another project move here as a cut and paste moves them.
    bool dropItems(int quadrant, const ItemPasteboard& pasteboard, qsizetype row);

    // --- Items copied or cut elsewhere ---
    enum class PasteKind {
        Copy,          // new items like the sources, without their files
        Move,          // the sources themselves (a cut pasted into its own project)
        MoveToProject, // new items with the sources' files and "copiedFromID" (a cut pasted into
                       // another project); sources a cut trashed are uploaded as trashed
    };
    // The items come into quadrant q, open unless complete, before the row (the row count or -1:
    // at the bottom), and end up selected.
    bool pasteItems(int quadrant, const std::vector<TODOItem*>& sources, PasteKind kind, qsizetype row);
    // One new item per file in quadrant q, each file uploaded as its attachment.
    bool uploadFiles(int quadrant, const QStringList& paths);
    // A new item in quadrant q whose attachment is the picture, kept in our temporary folder.
    TODOItem* addScreenShot(int quadrant, const QImage& image);
    // A new item made from dropped content.
    TODOItem* addItemInTable(int quadrant, const QString& title, const QString& notes, const QString& icon,
                             const QString& url);
    // Items of this project (or joining it) into quadrant q in their order, before the row (the
    // row count or -1: at the bottom); they end up selected.
    bool placeItems(int quadrant, const std::vector<TODOItem*>& items, qsizetype row);
    // Items new to the project shown join every quadrant's content.
    void addToContent(const std::vector<store::ManagedObject*>& objects);
    // The project list counts its rows' items anew.
    void cleanListCustomCells();

    // --- The sync engine's editing lock ---
    void claimEditing(const QString& component);
    void releaseEditing(const QString& component);
    void beginDragging();
    void endDragging();
    bool isDragging() const { return m_dragging; }
    // Gives back every claim, a drag and a held-back new item (the window closes).
    void releaseAll();

private:
    class ItemSink;
    SyncEngineInterface* sync() const;
    Preferences& preferences() const { return *m_services.preferences; }
    void post(std::function<void()> fn);
    void preferenceChanged(const QString& key);
    void onStoreChange(const store::ChangeEvent& event);
    void removeFromContent(const std::vector<store::ManagedObject*>& objects);
    void completeItems(int quadrant, const std::vector<TODOItem*>& items, qsizetype firstRow);
    void trashItems(int quadrant, const std::vector<TODOItem*>& items, qsizetype firstRow);
    void selectRowNear(ArrayController& source, qsizetype row);
    TODOItem* pastedCopy(TODOItem* source, bool withFiles);
    bool addDroppedFile(int quadrant, const QUrl& url);

    MyDocument& m_document;
    Services m_services;
    std::array<std::unique_ptr<ArrayController>, 4> m_controllers;
    BoardArrangement m_arrangement;
    std::unique_ptr<ItemSink> m_sink;
    mutable BoardView m_noView;
    BoardView* m_view = nullptr;
    ItemFilterPanel* m_filterPanel = nullptr;
    const CollaborationInterface* m_collaboration = nullptr;
    AttachmentUploads* m_attachments = nullptr;
    std::optional<int> m_storeObserver;
    // Context of the preference connection and of scheduled calls; the first thing the board lets go.
    std::unique_ptr<QObject> m_lifetime;
    TimerId m_starFlipTimer = 0;

    TODOList* m_project = nullptr;
    TODOItem* m_addingItem = nullptr;
    TODOItem* m_previouslySelectedItem = nullptr;
    bool m_askedQuickAddSorting = false;
    bool m_starFlipPending = false;
    QSet<QString> m_editingClaims;
    bool m_dragging = false;

    BoardView& view() const { return m_view ? *m_view : m_noView; }
};

} // namespace qv
