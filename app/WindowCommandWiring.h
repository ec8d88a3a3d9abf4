#pragma once

namespace qv {

class MainWindow;
class MyDocument;
struct BoardPanels;
struct Services;

// The window's commands that reach the panels: the filter's search field, the filters in a
// window of their own and the master list.
void wireWindowCommands(MainWindow& window, MyDocument& document, const Services& services,
                        const BoardPanels& panels);

} // namespace qv
