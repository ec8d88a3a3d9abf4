#pragma once

#include "core/document/DocumentWindow.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "ui/board/Board.h"
#include "ui/board/ProjectListController.h"

#include <QMainWindow>
#include <QMetaObject>
#include <QPointer>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QColor;
class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;

namespace qv {

class CollaborationInterface;
class ColorThemeProducer;
class DraggingDestinationButton;
class FourQuadrantView;
class ImageFactoryForMac;
class ItemClipboard;
class ItemFilterPanel;
class LoginStatusButton;
class MyDocument;
class PanelSplitView;
class ProjectListView;
class QuadrantPanel;
class QuadrantView;
class TODOList;
class WindowCommands;
class ValueTransformerRegistry;

// The document's window: one split view of the inbox, the project list, the selected project's
// four quadrants, the team feed and the item detail (the side columns shown as the preferences
// say), the toolbar, the menus of the item commands and the status bar. Constructing it registers it as the
// document's window and runs the document's start-up; show() it afterwards.
class MainWindow final : public QMainWindow, public DocumentWindow, public BoardView, public ProjectListHost {
    Q_OBJECT
public:
    MainWindow(MyDocument& document, const Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    Board& board() const { return *m_board; }
    ItemClipboard& clipboard() const { return *m_clipboard; }
    QuadrantView* quadrantView(int quadrant) const;
    QuadrantPanel* quadrantPanel(int quadrant) const;
    FourQuadrantView* fourQuadrantView() const { return m_fourQuadrants; }
    ProjectListView* projectListView() const { return m_projectList; }
    // Sync and account, sheets, project and web commands.
    WindowCommands& commands() const { return *m_commands; }
    // The menu of a right click on an item row; others add their entries to it.
    QMenu* itemContextMenu() const { return m_itemContextMenu; }

    // Places for the neighbouring panels; each is hidden while it holds nothing.
    QWidget* rightPanelArea() const { return m_rightArea; }
    void setRightPanel(QWidget* panel);
    // The panel whose fields Tab reaches from a quadrant, and leaves back to it (the item drawer).
    void setKeyboardPanel(QWidget* panel) { m_keyboardPanel = panel; }
    void setInboxPanel(QWidget* panel);
    void setFeedPanel(QWidget* panel);
    // The bar above the board (the project tag field).
    void setBoardHeader(QWidget* header);
    PanelSplitView* splitView() const { return m_splitter; }

    void setFilterPanel(ItemFilterPanel* panel);
    ItemFilterPanel* filterPanel() const { return m_filterPanel; }
    void setCollaboration(const CollaborationInterface* collaboration);
    // Where links of items are opened (the desktop's handler by default).
    void setUrlOpener(const std::function<void(const QUrl&)>& opener);
    // Files and screen shots become items with their attachments through it.
    void setAttachments(AttachmentUploads* attachments);
    // Asks for the files to add as items (a file dialog by default); tests answer instead.
    void setFileChooser(std::function<QStringList()> chooser) { m_chooseFiles = std::move(chooser); }
    void uploadFiles();
    void captureSelectionFromScreen();

    // --- DocumentWindow ---
    ProjectList* projectList() override;
    void changeFiltersToNormal() override;
    void updateFilters() override;
    Predicate userFilterPredicate() const override;
    void startObservingSyncEngine() override;
    void startCalendarSyncTimer() override;
    void stopObserving() override;
    void inboxItemAdded(TODOItem* item) override;

    // --- BoardView ---
    void editTitle(int quadrant, qsizetype row) override;
    void scrollToRow(int quadrant, qsizetype row) override;
    void reloadQuadrant(int quadrant) override;
    void focusQuadrant(int quadrant) override;
    void focusProjectList() override;
    void activeQuadrantChanged(int quadrant) override;
    void cleanListCustomCells() override;
    void reloadProjectListFilters() override;
    void rearrangeProjectList() override;
    void showUndeleteWindow() override;
    void toggleShowDetail() override;
    void projectShown(TODOList* project) override;
    void scrollSelectedRowToVisible() override;
    void endEditing() override;

    // --- ProjectListHost ---
    void deselectItems() override;
    bool isFilteringItems() const override;
    QString searchString() const override;
    QDateTime minDate() const override;
    QDateTime maxDate() const override;
    QStringList currentOwnerEmails() const override;
    ObjectPredicate itemFilterPredicate() const override;
    void setIsShowingArchived(bool showing) override { m_isShowingArchived = showing; }
    void setNoQuadrantsMessageLabel(const QString& message) override;
    void enableFirstQuadrantAndSelectRow(int row) override;
    bool makeWindowFirstResponder() override;

    // Every open title editor commits its text and closes.
    void endAllEditing();
    bool isShowingArchived() const { return m_isShowingArchived; }
    bool isShowingDetail() const;

    // --- Drop buttons, colour themes, quadrant colours (MainWindowDropsAndThemes.cpp) ---
    // The value transformers the window's controls use, by name; later features add theirs.
    ValueTransformerRegistry& valueTransformers() const;
    // The toolbar button that duplicates, completes or trashes items dropped on it.
    DraggingDestinationButton* dropButton(int operation) const;
    // The themes read from the application's themes file; none when it is invalid.
    const ColorThemeProducer* colorThemes() const;
    QMenu* colorThemeMenu() const;
    // Writes the theme's colours into the selected project's quadrants.
    void changeColorTheme(int themeIndex);
    // The quadrant's colour well chose a colour for the selected project.
    void changeQuadrantColor(int quadrant, const QColor& color);
    // Moves the cross so that the quadrant gets most of the board, without storing the position.
    void maximizeQuadrant(int quadrant);

    // --- The account button in the status bar (LoginStatusButton.cpp) ---
    LoginStatusButton* loginStatusButton() const { return m_loginStatus; }

public slots:
    // After the online state, the signed-in user or that user's picture changed.
    void redisplayLoginStatusButton();
    // The project list chose a project (nullptr: none).
    void showProject(qv::TODOList* project);
    // The sync engine's status, shown until the next text.
    void setStatusMessage(const QString& message);
    // A message of the window: cleared 15 s after the last one, dropped while the window is hidden.
    // With details, the status bar offers them (the whole of what the message sums up) in an alert.
    void setStatusBarMessage(const QString& message, const QString& details = {});
    void increaseFontSize();
    void decreaseFontSize();
    void reloadTableViews();
    void setQuadrantRowHeight(float height);
    void changeToolbarForDragging(bool dragging);
    // After a sync or a restore from the trash: the project list and every quadrant re-sort and
    // re-filter.
    void refreshController();
    // At start-up: one second later the project list selects the row stored last time; until
    // then selections do not overwrite that row.
    void selectLastSelectedProjectAfterDelay();

signals:
    // Four seconds after the window first became active, offline and not working offline only:
    // without a stored user e-mail the sync sheet should open, otherwise a login start.
    void syncWindowRequested();
    void loginRequested();
    void undeleteWindowRequested();
    void customTemplateRequested();
    void detailToggleRequested();
    void iconsRequested();
    void collaboratorsRequested();
    void inboxItemWasAdded(qv::TODOItem* item);
    // The sync engine went online or offline.
    void onlineStateChanged(bool online);
    // A double click below a quadrant's rows added an item (a first-use counter counts these).
    void quadrantDoubleClicked();
    // The drawer follows the active quadrant's controller (nullptr: none).
    void activeControllerChanged(qv::ArrayController* controller);

private slots:
    void syncStatusChanged();
    void syncOnlineChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    // Tab and Shift+Tab lead from a quadrant to the drawer's fields and from them back to it.
    bool focusNextPrevChild(bool next) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolbar();
    // The toolbar's own glyphs follow a dark desktop theme.
    void refreshToolbarGlyphs();
    // The drawer's fields that Tab reaches, in the order it reaches them.
    QList<QWidget*> detailFields() const;
    void fillTemplatesMenu(QMenu* menu);
    void preferenceChanged(const QString& key);
    void refreshSortAndFilterChecks();
    void applyPanelPreferences();
    // The panel in the area instead of the one there (hidden, not deleted); nullptr empties it.
    void placePanel(QWidget* area, QWidget* panel);
    void applyFontTier();
    void updateActionStates();
    void updateUndoActions();
    void showItemContextMenu(const QPoint& globalPosition);
    void addNewProject(int templateIndex);
    void scheduleLoginCheck();
    void loginCheck();
    void showBoardOrMessage();
    // "Project name — Quadrivo", or the program's name with no project shown.
    void updateWindowTitle();
    void saveWindowGeometry();
    void buildDropButtons(QToolBar* toolbar);
    void loadColorThemes();
    void buildQuadrantControls();
    void buildLoginStatusButton();
    void toolbarForDragging(bool dragging);
    // An undo, a sync or another window changed the shown project's colours.
    void showChangedQuadrantColors(const store::ChangeEvent& event);

    MyDocument& m_document;
    Services m_services;
    std::unique_ptr<ImageFactoryForMac> m_ownIcons;
    ImageFactoryForMac* m_icons = nullptr;
    std::unique_ptr<Board> m_board;
    std::unique_ptr<ItemClipboard> m_clipboard;

    ProjectListView* m_projectList = nullptr;
    FourQuadrantView* m_fourQuadrants = nullptr;
    std::array<QuadrantView*, 4> m_views{};
    std::array<QuadrantPanel*, 4> m_panels{};
    PanelSplitView* m_splitter = nullptr;
    QWidget* m_rightArea = nullptr;
    QPointer<QWidget> m_keyboardPanel;
    QWidget* m_inboxArea = nullptr;
    QWidget* m_feedArea = nullptr;
    QWidget* m_boardHeaderArea = nullptr;
    QLabel* m_emptyMessage = nullptr;
    QString m_noQuadrantsMessage;
    ItemFilterPanel* m_filterPanel = nullptr;
    bool m_isShowingArchived = false;
    bool m_isSelectingLastProject = false;
    QLabel* m_statusLabel = nullptr;
    WindowCommands* m_commands = nullptr;
    LoginStatusButton* m_loginStatus = nullptr;

    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_cut = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_addItem = nullptr;
    QAction* m_completeItems = nullptr;
    QAction* m_deleteItems = nullptr;
    QAction* m_toggleCompleted = nullptr;
    QAction* m_editTitle = nullptr;
    QAction* m_moveToTop = nullptr;
    QAction* m_moveToBottom = nullptr;
    QAction* m_toggleStar = nullptr;
    QAction* m_uploadFiles = nullptr;
    QAction* m_captureScreen = nullptr;
    std::function<QStringList()> m_chooseFiles;
    std::array<QAction*, 4> m_addToQuadrant{};
    QAction* m_newProject = nullptr;
    QAction* m_biggerText = nullptr;
    QAction* m_smallerText = nullptr;
    QAction* m_closeWindow = nullptr;
    QActionGroup* m_sortGroup = nullptr;
    QActionGroup* m_filterGroup = nullptr;
    QMenu* m_templatesMenu = nullptr;
    QMenu* m_sortMenu = nullptr;
    QMenu* m_filterMenu = nullptr;
    QMenu* m_itemContextMenu = nullptr;
    QToolButton* m_newProjectButton = nullptr;
    QToolButton* m_sortButton = nullptr;

    std::vector<QMetaObject::Connection> m_syncConnections;
    std::optional<int> m_storeObserver;
    std::optional<int> m_undoObserver;
    bool m_observingSync = false;
    bool m_stoppedObserving = false;
    bool m_loginCheckScheduled = false;
    // Left maximised last time: maximised again once shown.
    bool m_maximizeWhenShown = false;
    bool m_painted = false;
    TimerId m_loginTimer = 0;
    struct DropsAndThemes;
    std::unique_ptr<DropsAndThemes> m_dropsAndThemes;
};

} // namespace qv
