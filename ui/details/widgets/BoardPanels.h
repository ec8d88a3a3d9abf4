#pragma once

namespace qv {

class AdvancedFilterViewController;
class InboxTableView;
class MainWindow;
class MyDocument;
class MyDrawerController;
struct Services;

// The panels around the board, placed as the application shows them: the item filter panel
// over the drawer on the right, the inbox, and the project tag filter behind the list's
// "Tags" button. The window owns them.
struct BoardPanels {
    AdvancedFilterViewController* filterPanel = nullptr;
    MyDrawerController* drawer = nullptr;
    InboxTableView* inbox = nullptr;

    static BoardPanels attach(MainWindow& window, MyDocument& document, const Services& services);
};

} // namespace qv
