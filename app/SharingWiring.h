#pragma once

namespace qv {

class MainWindow;
class MyDocument;
class PendingSharingRequestsViewController;

// A shared project the user accepted is selected in the window once it has come, and the
// shared-project list's transformer is known to the window's bindings.
void showAcceptedProjectsInWindow(PendingSharingRequestsViewController& pending, MainWindow& window,
                                  MyDocument& document);

} // namespace qv
