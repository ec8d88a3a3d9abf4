#include "ui/board/Board.h"

#include "core/document/CalendarSync.h"
#include "core/document/Collaboration.h"
#include "core/document/DocumentWindow.h"
#include "core/document/MyDocument.h"
#include "core/document/StoreFiles.h"
#include "core/document/SyncEngine.h"
#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "core/util/Utils.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"
#include "ui/board/AttachmentUploads.h"
#include "ui/board/BoardLogging.h"
#include "ui/board/IndexAdjuster.h"
#include "ui/board/ItemFilterPanel.h"
#include "ui/board/ItemPasteboard.h"

#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QObject>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace qv {

namespace {

const QString kAddNewItemsToTop = QStringLiteral("addNewItemsToTop");
const QString kNoQuickAddSortingAlert = QStringLiteral("kNOAlertQuickAddManualSortingEver");
const QString kList = QStringLiteral("list");
constexpr qint64 kEdgeStep = 100;
constexpr qint64 kStarFlipDelayMs = 100;
constexpr qsizetype kMaxDroppedTitle = 100;

// The item state filter states 1, 2 and 3 require.
constexpr std::array<ObjectState, 3> kRequiredState = {ObjectState::Open, ObjectState::Completed,
                                                       ObjectState::Open};

const QString kSortingQuestion = QStringLiteral("Change to Manual Sorting Mode?");
const QString kSortingNote =
    QStringLiteral("\nNote: You can access the other sorting modes in Sort & Filters in the main toolbar.");

QString itemTitleForAlert(const TODOItem* item)
{
    const QString name = item->name();
    return name.isEmpty() ? QStringLiteral("Untitled") : name;
}

bool isLive(const TODOItem* item)
{
    return item && !item->isDeleted() && isVisible(item->objectState());
}

} // namespace

const QString Board::kItemNameComponent = QStringLiteral("itemNameTextCell");
const QString Board::kNewItemIcon = QStringLiteral("empty_orange128.png");
const QString Board::kFileItemIcon = QStringLiteral("green_filecabinet128.png");

// Where the document puts an item it made for the board (a recurrence's follow-up): every
// quadrant holds all of the project's items.
class Board::ItemSink final : public ItemArrayController {
public:
    explicit ItemSink(Board& board) : m_board(board) {}
    void addObject(TODOItem* item) override { m_board.addToContent({item}); }

private:
    Board& m_board;
};

namespace {

std::array<std::unique_ptr<ArrayController>, 4> makeControllers()
{
    return {std::make_unique<ArrayController>(), std::make_unique<ArrayController>(),
            std::make_unique<ArrayController>(), std::make_unique<ArrayController>()};
}

} // namespace

Board::Board(MyDocument& document, const Services& services)
    : m_document(document), m_services(services), m_controllers(makeControllers()),
      m_arrangement(*services.preferences, {m_controllers[0].get(), m_controllers[1].get(),
                                            m_controllers[2].get(), m_controllers[3].get()}),
      m_sink(std::make_unique<ItemSink>(*this)), m_lifetime(std::make_unique<QObject>())
{
    Q_ASSERT(services.preferences);
    m_arrangement.setPanelPredicateProvider([this]() -> ObjectPredicate {
        if (!m_filterPanel)
            return {};
        return BoardArrangement::fromPredicate(m_filterPanel->userFilterPredicate());
    });
    m_arrangement.changeFiltersToNormal();
    QObject::connect(services.preferences, &Preferences::changed, m_lifetime.get(),
                     [this](const QString& key) { preferenceChanged(key); });
    m_storeObserver = m_document.context().addChangeObserver(
        [this](const store::ChangeEvent& event) { onStoreChange(event); });
}

Board::~Board()
{
    m_lifetime.reset();
    if (m_services.scheduler && m_starFlipTimer)
        m_services.scheduler->cancel(m_starFlipTimer);
    if (m_storeObserver)
        m_document.context().removeChangeObserver(*m_storeObserver);
}

ArrayController& Board::controller(int quadrant) const
{
    Q_ASSERT(quadrant >= 0 && quadrant < 4);
    return *m_controllers[size_t(std::clamp(quadrant, 0, 3))];
}

ArrayController* Board::controllerForQuadrant(int quadrant) const
{
    return quadrant >= 0 && quadrant < 4 ? m_controllers[size_t(quadrant)].get() : nullptr;
}

SyncEngineInterface* Board::sync() const
{
    return m_document.syncEngine();
}

void Board::post(std::function<void()> fn)
{
    if (!m_services.scheduler) {
        fn();
        return;
    }
    m_services.scheduler->post(m_lifetime.get(), std::move(fn));
}

void Board::preferenceChanged(const QString& key)
{
    if (key == BoardArrangement::kItemFilterState)
        updateFilters();
    else if (key == BoardArrangement::kItemSortingState)
        updateSortDescriptors();
}

void Board::cleanListCustomCells()
{
    view().cleanListCustomCells();
}

// --- The project shown

void Board::showProject(TODOList* project)
{
    if (project == m_project)
        return;
    // A new item still waiting for its title belongs to the project being left.
    if (m_addingItem)
        editingItemDidEnd(int(m_addingItem->quadrant()), TextMovement::Other);
    m_project = project;
    m_previouslySelectedItem = nullptr;
    std::vector<store::ManagedObject*> items;
    if (project) {
        for (TODOItem* item : project->items())
            items.push_back(item);
    }
    for (const auto& controller : m_controllers) {
        controller->setContent(items);
        controller->clearSelection();
    }
    view().projectShown(project);
}

void Board::addToContent(const std::vector<store::ManagedObject*>& objects)
{
    for (const auto& controller : m_controllers) {
        std::vector<store::ManagedObject*> missing;
        for (store::ManagedObject* object : objects) {
            if (object && !controller->contentContains(object))
                missing.push_back(object);
        }
        if (!missing.empty())
            controller->addObjects(missing);
    }
}

void Board::removeFromContent(const std::vector<store::ManagedObject*>& objects)
{
    for (const auto& controller : m_controllers)
        controller->removeObjects(objects);
}

void Board::onStoreChange(const store::ChangeEvent& event)
{
    for (store::ManagedObject* object : event.deleted) {
        if (object == m_addingItem)
            m_addingItem = nullptr;
        if (object == m_previouslySelectedItem)
            m_previouslySelectedItem = nullptr;
        if (object == m_project) {
            showProject(nullptr);
            return;
        }
    }
    if (!m_project)
        return;
    const ArrayController& first = controller(0);
    std::vector<store::ManagedObject*> joined;
    std::vector<store::ManagedObject*> left;
    const auto isItem = [](const store::ManagedObject* object) {
        return object->entityName() == TODOItem::staticEntityName();
    };
    for (store::ManagedObject* object : event.inserted) {
        if (isItem(object) && object->toOne(kList) == m_project && !first.contentContains(object))
            joined.push_back(object);
    }
    for (store::ManagedObject* object : event.updated) {
        if (!isItem(object) || !event.changedKeys.value(object).contains(kList))
            continue;
        const bool inProject = object->toOne(kList) == m_project;
        if (inProject && !first.contentContains(object))
            joined.push_back(object);
        else if (!inProject && first.contentContains(object))
            left.push_back(object);
    }
    for (store::ManagedObject* object : event.deleted) {
        if (first.contentContains(object))
            left.push_back(object);
    }
    if (!joined.empty())
        addToContent(joined);
    if (!left.empty())
        removeFromContent(left);
}

// --- Focus

int Board::activeQuadrant() const
{
    return m_document.activeQuadrant();
}

void Board::setActiveQuadrant(int quadrant)
{
    m_document.setActiveQuadrant(quadrant);
    view().activeQuadrantChanged(quadrant);
}

void Board::quadrantDidBecomeFirstResponder(int quadrant)
{
    for (int q = 0; q < 4; ++q) {
        if (q != quadrant)
            controller(q).clearSelection();
    }
    setActiveQuadrant(quadrant);
}

void Board::enableQuadrantAndSelectRows(int quadrant, const QList<qsizetype>& rows, bool extend)
{
    ArrayController* target = controllerForQuadrant(quadrant);
    if (!target)
        return;
    for (int q = 0; q < 4; ++q) {
        if (q != quadrant)
            controller(q).clearSelection();
    }
    view().focusQuadrant(quadrant);
    if (!rows.isEmpty()) {
        if (extend)
            target->addSelectionIndexes(rows);
        else
            target->setSelectionIndexes(rows);
        view().scrollToRow(quadrant, *std::min_element(rows.begin(), rows.end()));
    }
    setActiveQuadrant(quadrant);
}

void Board::enableProjectView()
{
    for (const auto& controller : m_controllers)
        controller->clearSelection();
    view().focusProjectList();
}

bool Board::selectItemWithoutChangingFilters(TODOItem* item)
{
    const int quadrant = int(item->quadrant());
    ArrayController* target = controllerForQuadrant(quadrant);
    if (!target)
        return false;
    const qsizetype row = target->arrangedIndexOf(item);
    if (row < 0)
        return false;
    enableQuadrantAndSelectRows(quadrant, {row}, false);
    return true;
}

void Board::selectItem(TODOItem* item)
{
    if (!item) {
        for (const auto& controller : m_controllers) {
            if (controller->hasSelection())
                controller->clearSelection();
        }
        return;
    }
    if (selectItemWithoutChangingFilters(item))
        return;
    if (m_filterPanel) {
        m_filterPanel->reset();
        if (selectItemWithoutChangingFilters(item))
            return;
    }
    preferences().setValue(BoardArrangement::kItemFilterState, 0);
    selectItemWithoutChangingFilters(item);
}

QuadrantNavigation::Move Board::keyPressed(int quadrant, QuadrantNavigation::Key key)
{
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source)
        return {};
    std::array<qsizetype, 4> counts{};
    for (int q = 0; q < 4; ++q)
        counts[size_t(q)] = controller(q).arrangedCount();
    const QuadrantNavigation::Move move =
        QuadrantNavigation::keyPressed(quadrant, key, source->selectionIndex(), counts);
    using Kind = QuadrantNavigation::Move::Kind;
    switch (move.kind) {
    case Kind::FocusQuadrant:
        enableQuadrantAndSelectRows(move.quadrant,
                                    move.row >= 0 ? QList<qsizetype>{move.row} : QList<qsizetype>{});
        break;
    case Kind::FocusProjectList:
        enableProjectView();
        break;
    case Kind::ToggleDetail:
        view().toggleShowDetail();
        break;
    case Kind::DeleteItems:
        markItemsAsDeleted();
        break;
    case Kind::TableHandling:
    case Kind::Nothing:
        break;
    }
    return move;
}

// --- Order and filters

void Board::updateSortDescriptors()
{
    const std::optional<int> mode = m_arrangement.updateSortDescriptors();
    if (!mode)
        return;
    cleanListCustomCells();
    if (*mode == 0)
        adjustItemIndices();
    view().scrollSelectedRowToVisible();
}

void Board::updateFilters()
{
    m_arrangement.updateFilters();
    view().reloadProjectListFilters();
    adjustItemIndices();
}

void Board::changeFiltersToNormal()
{
    m_arrangement.changeFiltersToNormal();
}

Predicate Board::userFilterPredicate() const
{
    const int filterState = preferences().intValue(BoardArrangement::kItemFilterState);
    QString text = QStringLiteral("state <> %1 AND state <> %2")
                       .arg(storedValue(ObjectState::Trashed))
                       .arg(storedValue(ObjectState::Removed));
    if (filterState >= 1 && filterState <= 3)
        text += QStringLiteral(" AND (state == %1 OR state<0)")
                    .arg(storedValue(kRequiredState[size_t(filterState - 1)]));
    Predicate predicate = Predicate::withFormat(text);
    if (m_filterPanel)
        predicate = Predicate::andPredicate({predicate, m_filterPanel->userFilterPredicate()});
    return predicate;
}

bool Board::filterHidesItems(int quadrant) const
{
    const ArrayController* shown = controllerForQuadrant(quadrant);
    if (!shown)
        return false;
    // Every quadrant's content is the whole project.
    return std::any_of(shown->content().begin(), shown->content().end(), [&](store::ManagedObject* object) {
        const auto* item = store::as<TODOItem>(object);
        return item && item->quadrant() == quadrant && isLive(item) && shown->arrangedIndexOf(item) < 0;
    });
}

void Board::adjustItemIndices()
{
    if (m_project)
        m_arrangement.adjustItemIndices();
}

void Board::rearrangeArrayControllers()
{
    for (const auto& controller : m_controllers)
        controller->rearrangeObjects();
    cleanListCustomCells();
    view().rearrangeProjectList();
}

// --- Adding items

TODOItem* Board::addTODOItem()
{
    const int quadrant = activeQuadrant();
    if (quadrant < 0 || quadrant > 3)
        return nullptr;
    return addTODOItemToQuadrant(quadrant);
}

TODOItem* Board::addTODOItemToQuadrant(int quadrant)
{
    if (!m_project || m_project->lazyFetch())
        return nullptr;
    return addTODOItemToQuadrant(quadrant, true);
}

TODOItem* Board::addTODOItemToQuadrant(int quadrant, bool quickAdd, bool startEditing, TODOItem* after)
{
    ArrayController* target = controllerForQuadrant(quadrant);
    if (!target)
        return nullptr;
    // A title still being typed is finished first, so that it ends as the item it belongs to.
    if (m_addingItem)
        view().endEditing();
    if (m_filterPanel && m_filterPanel->getIsFiltering())
        m_filterPanel->reset();
    const bool toTop = preferences().boolValue(kAddNewItemsToTop);
    TODOList* project = m_project;
    if (!project)
        return nullptr;
    project->setLastItemIndex(project->lastItemIndex() + 1);

    // The next item of a quick-add chain goes under the one just typed, so the chain reads in
    // the order it was typed wherever single new items go.
    const qsizetype afterRow = after ? target->arrangedIndexOf(after) : -1;
    qint64 index = 0;
    if (afterRow >= 0) {
        index = after->index(); // renumbered to just below it
    } else if (target->arrangedCount() > 0) {
        const store::ManagedObject* edge =
            toTop ? target->arrangedObjects().front() : target->arrangedObjects().back();
        index = edge->intValue(QStringLiteral("index")) + (toTop ? kEdgeStep : -kEdgeStep);
    }

    const QDateTime now = m_services.clock ? m_services.clock->now() : QDateTime::currentDateTimeUtc();
    auto* item = m_document.context().insert<TODOItem>(TODOItem::staticEntityName());
    project->addItem(item);
    item->setId_(m_document.newUniqueIdForItemInList(project));
    item->setName(QStringLiteral(""));
    item->setQuadrant(quadrant);
    item->setIcon(kNewItemIcon);
    item->setIndex(index);
    item->setCreationDate(now);
    item->setLastModifiedTimestamp(now.toSecsSinceEpoch());
    const QStringList owners = m_filterPanel ? m_filterPanel->currentOwnerEmails() : QStringList();
    if (!owners.isEmpty())
        item->setOwnerUsername(owners.first());
    else if (const std::optional<QString> me = m_collaboration ? m_collaboration->myUsername() : std::nullopt)
        item->setOwnerUsername(*me);

    if (afterRow >= 0)
        target->insertObject(item, afterRow + 1);
    else if (toTop || (target->sortDescriptors().empty() && target->arrangedCount() > 0))
        target->insertObject(item, 0);
    else
        target->addObject(static_cast<store::ManagedObject*>(item));
    addToContent({item});

    adjustItemIndices();
    const int mode = m_arrangement.sortModeSetting();
    if (mode == 14 || mode == 15)
        target->rearrangeObjects();

    const qsizetype row = target->arrangedIndexOf(item);
    if (row >= 0) {
        enableQuadrantAndSelectRows(quadrant, {row}, false);
        if (startEditing)
            view().editTitle(quadrant, row);
    }
    if (quickAdd) {
        m_addingItem = item;
        if (SyncEngineInterface* engine = sync())
            engine->blockSyncForItem(item);
    }
    cleanListCustomCells();
    return item;
}

void Board::editingItemDidEnd(int quadrant, TextMovement movement)
{
    if (!m_addingItem || quadrant < 0 || quadrant > 3)
        return;
    TODOItem* item = m_addingItem;
    m_addingItem = nullptr;
    ArrayController& target = controller(quadrant);
    SyncEngineInterface* engine = sync();

    if (!item->name().isEmpty()) {
        m_previouslySelectedItem = item;
        if (engine)
            engine->unblockSyncForItem(item);
        if (m_arrangement.sortModeSetting() != 0) {
            target.rearrangeObjects();
            selectItem(item);
            post([this] { suggestManualSortingForQuickAdd(); });
        } else if (movement == TextMovement::Return) {
            post([this, quadrant] {
                controller(quadrant).rearrangeObjects();
                // The item just typed, unless it went in the meantime.
                TODOItem* typed = m_previouslySelectedItem;
                if (m_project && !m_project->lazyFetch())
                    addTODOItemToQuadrant(quadrant, true, true, isLive(typed) ? typed : nullptr);
            });
        }
        return;
    }

    item->setObjectState(ObjectState::Trashed);
    if (engine)
        engine->unblockSyncForItem(item);
    target.rearrangeObjects();
    cleanListCustomCells();
    removeFromContent({item});
    m_document.context().deleteObject(item);
    TODOItem* previous = m_previouslySelectedItem;
    m_previouslySelectedItem = nullptr;
    // Only an item still on this board can be selected again.
    if (isLive(previous) && previous->list() == m_project)
        selectItem(previous);
}

bool Board::suggestManualSortingForQuickAdd()
{
    if (preferences().boolValue(kNoQuickAddSortingAlert) || m_askedQuickAddSorting ||
        m_arrangement.sortModeSetting() == 0)
        return false;
    m_askedQuickAddSorting = true;
    if (!m_services.alerts)
        return false;
    const int answer = m_services.alerts->choose(Alerts::Question(
        kSortingQuestion,
        QStringLiteral(
            "Manual sorting is the only sorting mode that allows you quickly add items once after another.") +
            kSortingNote,
        {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Don't bother me again")},
        Alerts::DefaultButton(0), Alerts::SafeButton(1), Alerts::Style::Informational));
    if (answer == 2) {
        preferences().setValue(kNoQuickAddSortingAlert, true);
        return false;
    }
    if (answer == 0) {
        preferences().setValue(BoardArrangement::kItemSortingState, 0);
        return true;
    }
    return false;
}

bool Board::suggestManualSortingForDragging()
{
    if (m_arrangement.sortModeSetting() == 0 || !m_services.alerts)
        return false;
    const bool yes = m_services.alerts->confirm(Alerts::Question(
        kSortingQuestion,
        QStringLiteral("Manual sorting is the only sorting mode that allows you to sort the items inside a "
                       "quadrant.") +
            kSortingNote,
        {QStringLiteral("Yes"), QStringLiteral("No")}, Alerts::DefaultButton(0), Alerts::SafeButton(1),
        Alerts::Style::Informational));
    if (yes)
        preferences().setValue(BoardArrangement::kItemSortingState, 0);
    return yes;
}

// --- Moving, completing, deleting

std::vector<TODOItem*> Board::selectedItems(int quadrant) const
{
    std::vector<TODOItem*> items;
    if (ArrayController* source = controllerForQuadrant(quadrant)) {
        for (store::ManagedObject* object : source->selectedObjects()) {
            if (auto* item = store::as<TODOItem>(object))
                items.push_back(item);
        }
    }
    return items;
}

TODOItem* Board::getSelectedItem() const
{
    const std::vector<TODOItem*> items = selectedItems(activeQuadrant());
    return items.empty() ? nullptr : items.front();
}

void Board::moveSelectedItemsToFringe(bool top)
{
    const int quadrant = activeQuadrant();
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source || suggestManualSortingForDragging())
        return;
    if (source->arrangedCount() == 0)
        return;
    store::ManagedObject* edge = top ? source->arrangedObjects().front() : source->arrangedObjects().back();
    if (source->isSelected(edge))
        return;
    const qint64 base = edge->intValue(QStringLiteral("index"));
    const qint64 step = top ? kEdgeStep : -kEdgeStep;
    std::vector<TODOItem*> items = selectedItems(quadrant);
    if (top)
        std::reverse(items.begin(), items.end());
    for (size_t k = 0; k < items.size(); ++k)
        items[k]->setIndex(base + qint64(k + 1) * step);
    source->rearrangeObjects();
    if (source->arrangedCount() > 0)
        view().scrollToRow(quadrant, top ? 0 : source->arrangedCount() - 1);
}

void Board::toggleSelectedItemsAsCompletedInQuadrant(int quadrant)
{
    // The items first: a recurring item's follow-up re-filters the board while they are walked.
    const std::vector<TODOItem*> items = selectedItems(quadrant);
    for (TODOItem* item : items)
        m_document.markTODOItem(item, m_project, m_sink.get(), item->completionPercentage() == 100 ? 0 : 100);
    view().reloadQuadrant(quadrant);
}

void Board::toggleListOrItemsAsCompleted()
{
    const int quadrant = activeQuadrant();
    if (!controllerForQuadrant(quadrant))
        return;
    toggleSelectedItemsAsCompletedInQuadrant(quadrant);
    cleanListCustomCells();
}

void Board::markClickedItemAsDone(int quadrant, qsizetype row)
{
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source || row < 0 || row >= source->arrangedCount())
        return;
    auto* item = store::as<TODOItem>(source->arrangedObjectAt(row));
    if (!item)
        return;
    m_document.markTODOItem(item, m_project, m_sink.get(), item->completionPercentage() > 99 ? 0 : 100);
    view().reloadQuadrant(quadrant);
    cleanListCustomCells();
}

void Board::markListOrItemsAsCompleted()
{
    const int quadrant = activeQuadrant();
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source || !source->hasSelection())
        return;
    const std::vector<TODOItem*> items = selectedItems(quadrant);
    const qsizetype firstRow = source->selectionIndex();
    if (userConfirmsItemsCompleted(items))
        completeItems(quadrant, items, firstRow);
}

void Board::markSelectedItemsAsCompletedInQuadrant(int quadrant)
{
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source)
        return;
    completeItems(quadrant, selectedItems(quadrant), source->selectionIndex());
}

void Board::completeItems(int quadrant, const std::vector<TODOItem*>& items, qsizetype firstRow)
{
    ArrayController& source = controller(quadrant);
    for (TODOItem* item : items) {
        if (isLive(item))
            m_document.markTODOItem(item, m_project, m_sink.get(), 100);
    }
    source.rearrangeObjects();
    selectRowNear(source, firstRow);
    view().reloadQuadrant(quadrant);
    cleanListCustomCells();
}

void Board::markItemsAsDeleted()
{
    qCDebug(lcBoard, "Marking item or list as deleted");
    const int quadrant = activeQuadrant();
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source || !source->hasSelection()) {
        view().showUndeleteWindow();
        return;
    }
    const std::vector<TODOItem*> items = selectedItems(quadrant);
    const qsizetype firstRow = source->selectionIndex();
    if (userConfirmsItemsDeletion(items)) {
        trashItems(quadrant, items, firstRow);
        cleanListCustomCells();
    }
}

void Board::markSelectedItemsAsDeletedInQuadrant(int quadrant)
{
    ArrayController* source = controllerForQuadrant(quadrant);
    if (!source)
        return;
    trashItems(quadrant, selectedItems(quadrant), source->selectionIndex());
}

void Board::trashItems(int quadrant, const std::vector<TODOItem*>& items, qsizetype firstRow)
{
    ArrayController& source = controller(quadrant);
    for (TODOItem* item : items) {
        if (isLive(item))
            m_document.markTODOItemAsTrashed(item, m_project);
    }
    source.rearrangeObjects();
    selectRowNear(source, firstRow);
}

void Board::selectRowNear(ArrayController& source, qsizetype row)
{
    if (source.arrangedCount() == 0 || row < 0)
        return;
    source.setSelectionIndex(std::min(row, source.arrangedCount() - 1));
}

bool Board::userConfirmsItemsCompleted(const std::vector<TODOItem*>& items)
{
    if (items.empty() || !m_services.alerts)
        return false;
    const QString message =
        items.size() == 1 ? QStringLiteral("Are you sure you want to complete item named '%1'?")
                                .arg(itemTitleForAlert(items.front()))
                          : QString::asprintf("Are you sure you want to complete the selected %li items?",
                                              long(items.size()));
    // Completing can be undone, so "OK" may stay the default.
    return m_services.alerts->confirm(Alerts::Question(message, QString(),
                                                       {QStringLiteral("OK"), QStringLiteral("Cancel")},
                                                       Alerts::DefaultButton(0), Alerts::SafeButton(1)));
}

bool Board::userConfirmsItemsDeletion(const std::vector<TODOItem*>& items)
{
    if (items.empty() || !m_services.alerts)
        return false;
    const QString message =
        items.size() == 1
            ? QStringLiteral("Are you sure you want to delete item named '%1'?")
                  .arg(itemTitleForAlert(items.front()))
            : QString::asprintf("Are you sure you want to delete %li items?", long(items.size()));
    // Deleted items go to the trash bin, whence they come back, so "OK" may stay the default.
    return m_services.alerts->confirm(Alerts::Question(
        message, QStringLiteral("Deleted items can later be restored by opening the trash bin."),
        {QStringLiteral("OK"), QStringLiteral("Cancel")}, Alerts::DefaultButton(0), Alerts::SafeButton(1)));
}

void Board::toggleStarForSelectedItems()
{
    const int quadrant = activeQuadrant();
    if (controllerForQuadrant(quadrant))
        flipStarForSelectedItems(quadrant);
}

void Board::flipStarForSelectedItems(int quadrant)
{
    if (m_starFlipPending || !controllerForQuadrant(quadrant) || !m_services.scheduler)
        return;
    m_starFlipPending = true;
    m_starFlipTimer = m_services.scheduler->after(kStarFlipDelayMs, m_lifetime.get(), [this, quadrant] {
        m_starFlipTimer = 0;
        for (TODOItem* item : selectedItems(quadrant))
            item->setStarred(!item->getStarred());
        controller(quadrant).rearrangeObjects();
        m_starFlipPending = false;
        view().reloadQuadrant(quadrant);
    });
}

// --- Drops

bool Board::canAcceptDrop(const QMimeData* mime)
{
    if (!mime)
        return false;
    return mime->hasFormat(ItemPasteboard::kType) || mime->hasUrls() ||
           (mime->hasText() && !mime->text().trimmed().isEmpty());
}

bool Board::acceptDrop(int quadrant, const QMimeData* mime, qsizetype row)
{
    if (!mime || !controllerForQuadrant(quadrant))
        return false;
    if (mime->hasFormat(ItemPasteboard::kType)) {
        const std::optional<ItemPasteboard> pasteboard = ItemPasteboard::fromMimeData(mime);
        return pasteboard && dropItems(quadrant, *pasteboard, row);
    }
    if (!m_project || m_project->lazyFetch())
        return false;
    if (mime->hasUrls()) {
        bool added = false;
        for (const QUrl& url : mime->urls()) {
            if (!url.isValid())
                continue;
            if (url.isLocalFile())
                added |= addDroppedFile(quadrant, url);
            else
                added |= addItemInTable(quadrant, url.toDisplayString(), QString(), kNewItemIcon,
                                        url.toString()) != nullptr;
        }
        return added;
    }
    if (mime->hasText()) {
        const QString text = mime->text();
        const QString title = Utils::firstLineWithContent(text);
        if (title.isEmpty())
            return false;
        // Several lines keep all of them as the notes.
        const QString notes = text.trimmed().contains(u'\n') ? text.trimmed() : QString();
        return addItemInTable(quadrant, title, notes, kNewItemIcon, QString()) != nullptr;
    }
    return false;
}

bool Board::dropItems(int quadrant, const ItemPasteboard& pasteboard, qsizetype row)
{
    ArrayController* target = controllerForQuadrant(quadrant);
    if (!target || !m_project)
        return false;
    store::Context& context = m_document.context();
    // Dragged over the project list from another project's board, they move here as a cut and
    // paste moves them.
    if (TODOList* from = pasteboard.resolveList(context); from && from != m_project) {
        std::vector<TODOItem*> moving;
        for (TODOItem* item : pasteboard.resolveItems(context)) {
            if (isLive(item) && item->list() == from)
                moving.push_back(item);
        }
        if (moving.empty() || !pasteItems(quadrant, moving, PasteKind::MoveToProject, row))
            return false;
        // Once copied, so that the copies keep their completion. An edit like any other: uploaded,
        // and undone together with the copies.
        for (TODOItem* item : moving)
            m_document.markTODOItemAsTrashed(item, from);
        cleanListCustomCells();
        return true;
    }
    std::vector<TODOItem*> items;
    for (TODOItem* item : pasteboard.resolveItems(context)) {
        // Items of this project or of the inbox.
        if (isLive(item) && (item->list() == m_project || !item->list()))
            items.push_back(item);
    }
    if (items.empty())
        return false;

    if (!IndexAdjuster::isSortedByIndex(*target)) {
        const bool reordering = std::all_of(items.begin(), items.end(), [&](const TODOItem* item) {
            return item->list() == m_project && item->quadrant() == quadrant;
        });
        if (reordering) {
            // The sort order decides the place; in manual order the user drags again.
            suggestManualSortingForDragging();
            return false;
        }
        QSet<int> sources;
        for (TODOItem* item : items) {
            if (item->list() == m_project)
                sources.insert(int(item->quadrant()));
            else
                m_project->addItem(item);
            item->setQuadrant(quadrant);
        }
        addToContent(std::vector<store::ManagedObject*>(items.begin(), items.end()));
        for (int source : sources)
            controller(source).rearrangeObjects();
        target->rearrangeObjects();
        QList<qsizetype> rows;
        for (TODOItem* item : items) {
            if (const qsizetype r = target->arrangedIndexOf(item); r >= 0)
                rows << r;
        }
        enableQuadrantAndSelectRows(quadrant, rows, false);
        cleanListCustomCells();
        return true;
    }
    return placeItems(quadrant, items, row);
}

bool Board::pasteItems(int quadrant, const std::vector<TODOItem*>& sources, PasteKind kind, qsizetype row)
{
    if (!controllerForQuadrant(quadrant) || !m_project || sources.empty())
        return false;
    std::vector<TODOItem*> pasted;
    for (TODOItem* source : sources) {
        qCDebug(lcBoard, "Pasting item %lld", qint64(source->id_()));
        TODOItem* item =
            kind == PasteKind::Move ? source : pastedCopy(source, kind == PasteKind::MoveToProject);
        // A cut item (trashed) is open again; the others keep their completion.
        item->setState(item->state() != 2 && item->completionPercentage() > 99 ? 1 : 0);
        pasted.push_back(item);
    }
    if (kind == PasteKind::MoveToProject) {
        // Sources a cut trashed stay trashed while their copies live on: other devices must
        // learn of it too (the cut itself was no edit).
        SyncEngineInterface* engine = sync();
        for (TODOItem* source : sources) {
            if (source->state() != 2)
                continue;
            source->setEdited_since(1);
            if (engine)
                engine->sendItemToServer(source);
        }
    }
    const bool placed = placeItems(quadrant, pasted, row);
    if (CalendarSyncInterface* calendar = m_document.calendarSync()) {
        for (TODOItem* item : pasted) {
            if (item->dueDate().isValid())
                calendar->updateEventForItem(item, m_project);
        }
    }
    return placed;
}

TODOItem* Board::pastedCopy(TODOItem* source, bool withFiles)
{
    store::Context& context = m_document.context();
    auto* copy = context.insert<TODOItem>(TODOItem::staticEntityName());
    m_project->addItem(copy);
    for (const store::AttributeDescription& attribute : source->entity().attributes()) {
        if (!attribute.transient)
            copy->setValue(attribute.name, source->value(attribute.name));
    }
    copy->resetIDs();
    // By name through the tag service, so that the server tags the copy too.
    TagManager* tags = TagManager::sharedInstance();
    for (const QString& name : source->getTagNames()) {
        if (tags)
            tags->addTagName(name, copy);
        else
            copy->addTagsObject(TagManager::getItemTagForName(name, context));
    }
    if (withFiles) {
        const std::vector<ItemFile*> files = source->files();
        for (ItemFile* file : files)
            copy->addFilesObject(file);
        copy->setCopiedFromID(source->serverID());
    }
    return copy;
}

bool Board::placeItems(int quadrant, const std::vector<TODOItem*>& items, qsizetype row)
{
    ArrayController& target = controller(quadrant);
    const QSet<const store::ManagedObject*> moving(items.begin(), items.end());

    // The neighbours the dropped items land between, among the objects that stay.
    const std::vector<store::ManagedObject*> arranged = target.arrangedObjects();
    const qsizetype count = qsizetype(arranged.size());
    if (row < 0 || row > count)
        row = count;
    std::vector<store::ManagedObject*> staying;
    qsizetype position = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (moving.contains(arranged[size_t(i)]))
            continue;
        if (i < row)
            ++position;
        staying.push_back(arranged[size_t(i)]);
    }
    store::ManagedObject* above = position > 0 ? staying[size_t(position - 1)] : nullptr;
    store::ManagedObject* below = position < qsizetype(staying.size()) ? staying[size_t(position)] : nullptr;

    QSet<int> sources;
    for (TODOItem* item : items) {
        if (item->list() == m_project)
            sources.insert(int(item->quadrant()));
        else
            m_project->addItem(item);
        item->setQuadrant(quadrant);
    }
    addToContent(std::vector<store::ManagedObject*>(items.begin(), items.end()));

    // In another order the items' places are the order's; their manual order stays as it was.
    const bool manual = IndexAdjuster::isSortedByIndex(target);
    const qint64 n = manual ? qint64(items.size()) : 0;
    const QString kIndex = QStringLiteral("index");
    for (qint64 k = 0; k < n; ++k) {
        qint64 index = 0;
        if (above && below) {
            const qint64 a = above->intValue(kIndex);
            const qint64 b = below->intValue(kIndex);
            index = a - (a - b) * (k + 1) / (n + 1);
        } else if (above) {
            index = above->intValue(kIndex) - kEdgeStep * (k + 1);
        } else if (below) {
            index = below->intValue(kIndex) + kEdgeStep * (n - k);
        } else {
            index = -kEdgeStep * k;
        }
        items[size_t(k)]->setIndex(index);
    }

    // In order right below the upper neighbour; the renumbering then follows that order.
    if (manual) {
        store::ManagedObject* anchor = above;
        for (TODOItem* item : items) {
            qsizetype at = anchor ? target.arrangedIndexOf(anchor) + 1 : 0;
            const qsizetype current = target.arrangedIndexOf(item);
            if (current >= 0 && current < at)
                --at;
            target.insertObject(item, at);
            anchor = item;
        }
        IndexAdjuster::adjustIndices(target);
    }
    target.rearrangeObjects();
    for (int source : sources) {
        if (source != quadrant)
            controller(source).rearrangeObjects();
    }
    QList<qsizetype> rows;
    for (TODOItem* item : items) {
        if (const qsizetype r = target.arrangedIndexOf(item); r >= 0)
            rows << r;
    }
    enableQuadrantAndSelectRows(quadrant, rows, false);
    cleanListCustomCells();
    return true;
}

bool Board::addDroppedFile(int quadrant, const QUrl& url)
{
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    TODOItem* item = addItemInTable(quadrant, name, QString(), kFileItemIcon, url.toString());
    if (!item)
        return false;
    if (m_attachments) {
        // Asked once the drop is over: the source application is not kept waiting for the answer.
        const qint64 objectID = item->objectID();
        post([this, objectID, name] {
            auto* dropped = dynamic_cast<TODOItem*>(
                m_document.context().objectWithID(TODOItem::staticEntityName(), objectID));
            if (dropped && !dropped->isDeleted() && m_attachments && m_attachments->askUploadFile(name))
                m_attachments->uploadURLFileForUnsyncedItem(dropped);
        });
    }
    return true;
}

bool Board::uploadFiles(int quadrant, const QStringList& paths)
{
    bool added = false;
    for (const QString& path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        TODOItem* item = addItemInTable(quadrant, url.fileName(), QString(), kFileItemIcon, url.toString());
        if (item && m_attachments)
            m_attachments->uploadURLFileForUnsyncedItem(item);
        added |= item != nullptr;
    }
    if (ArrayController* target = controllerForQuadrant(quadrant))
        target->rearrangeObjects();
    return added;
}

TODOItem* Board::addScreenShot(int quadrant, const QImage& image)
{
    if (image.isNull() || !controllerForQuadrant(quadrant))
        return nullptr;
    const QDateTime now = m_services.clock ? m_services.clock->now() : QDateTime::currentDateTimeUtc();
    const QString name = QStringLiteral("Screen Shot %1.png")
                             .arg(now.toLocalTime().toString(QStringLiteral("yyyy-MM-dd 'at' h.mm.ss AP")));
    // Our temporary folder is readable by us only; the file stays as the item's link.
    const QString path = StoreFiles::pathForTemporaryFileWithName(name);
    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || !image.save(&file, "PNG") ||
        !file.commit()) {
        qCWarning(lcBoard, "Problem writing file to the temporary folder");
        return nullptr;
    }
    TODOItem* item =
        addItemInTable(quadrant, name, QString(), kFileItemIcon, QUrl::fromLocalFile(path).toString());
    if (item && m_attachments)
        m_attachments->uploadURLFileForUnsyncedItem(item);
    return item;
}

TODOItem* Board::addItemInTable(int quadrant, const QString& title, const QString& notes, const QString& icon,
                                const QString& url)
{
    TODOItem* item = addTODOItemToQuadrant(quadrant, false, false);
    if (!item)
        return nullptr;
    QString name = title;
    if (name.size() > kMaxDroppedTitle)
        name = name.left(kMaxDroppedTitle).trimmed() + QStringLiteral("...");
    item->setName(name);
    item->setDescriptionText(notes.isEmpty() ? title : notes);
    item->setIcon(icon);
    item->setMacResourceURL(url);
    ArrayController& target = controller(quadrant);
    if (IndexAdjuster::isSortedByIndex(target))
        IndexAdjuster::adjustIndices(target);
    else
        target.rearrangeObjects();
    if (const qsizetype row = target.arrangedIndexOf(item); row >= 0)
        enableQuadrantAndSelectRows(quadrant, {row}, false);
    cleanListCustomCells();
    return item;
}

// --- The editing lock

void Board::claimEditing(const QString& component)
{
    m_editingClaims.insert(component);
    if (SyncEngineInterface* engine = sync())
        engine->setEditing(true, component);
}

void Board::releaseEditing(const QString& component)
{
    if (!m_editingClaims.remove(component))
        return;
    if (SyncEngineInterface* engine = sync())
        engine->setEditing(false, component);
}

void Board::beginDragging()
{
    m_dragging = true;
    if (SyncEngineInterface* engine = sync())
        engine->setUiIsEditing(true);
}

void Board::endDragging()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (SyncEngineInterface* engine = sync())
        engine->setUiIsEditing(false);
}

void Board::releaseAll()
{
    const QSet<QString> claims = m_editingClaims;
    for (const QString& component : claims)
        releaseEditing(component);
    endDragging();
    if (m_addingItem)
        editingItemDidEnd(int(m_addingItem->quadrant()), TextMovement::Other);
}

} // namespace qv
