#pragma once

#include "app/ShellInterfaces.h"

namespace qv {

class CollaborationManager;
class MainWindow;
class MyDocument;
class QVRestManager;

// The collaboration manager as the delegate uses it. While it lives the document, the engine
// and the window know the signed-in user through the manager; going, it unhooks them.
class CollaborationShell final : public ShellCollaboration {
public:
    CollaborationShell(CollaborationManager& manager, MyDocument& document, QVRestManager& engine,
                       MainWindow& window);
    ~CollaborationShell() override;
    CollaborationShell(const CollaborationShell&) = delete;
    CollaborationShell& operator=(const CollaborationShell&) = delete;

    void initCollaboration() override;
    void reloadMe(std::function<void()> success) override;

private:
    CollaborationManager& m_manager;
    MyDocument& m_document;
    QVRestManager& m_engine;
    MainWindow& m_window;
};

} // namespace qv
