#pragma once

#include "ui/details/widgets/BoardPanels.h"

namespace qv {

class AppDelegate;
class HelpLinks;
class MainWindow;
class MyDocument;
class Preferences;
struct Services;

// The application's own commands: the two start-up switches, Quit, and the help pages.
void addApplicationMenus(MainWindow& window, AppDelegate& delegate, Preferences& preferences,
                         const HelpLinks& help);

// The panels around the board, the panel switches and the two trash bins; the panels placed.
BoardPanels attachPanels(MainWindow& window, MyDocument& document, const Services& services);

} // namespace qv
