#pragma once

namespace qv {

class AdvancedFilterViewController;
class InboxTableView;
class MainWindow;
class MyDocument;
class MyDrawerController;
class PanelsControl;
class ProjectTagController;
struct Services;

// The panels around the board, placed as the application shows them: the item filter panel
// over the drawer in the detail column, the inbox column, the project tag field above the
// board, the project tag filter behind the list's "Tags" button and the toolbar's panel
// control. The window owns them.
struct BoardPanels {
    AdvancedFilterViewController* filterPanel = nullptr;
    MyDrawerController* drawer = nullptr;
    InboxTableView* inbox = nullptr;
    ProjectTagController* projectTags = nullptr;
    PanelsControl* panelsControl = nullptr;

    static BoardPanels attach(MainWindow& window, MyDocument& document, const Services& services);
};

} // namespace qv
