#include "app/CollaborationShell.h"

#include "core/document/MyDocument.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRestManager.h"
#include "ui/board/widgets/MainWindow.h"

namespace qv {

CollaborationShell::CollaborationShell(CollaborationManager& manager, MyDocument& document,
                                       QVRestManager& engine, MainWindow& window)
    : m_manager(manager), m_document(document), m_engine(engine), m_window(window)
{
    m_engine.setCollaborators(&m_manager);
    m_document.setCollaboration(&m_manager);
    m_window.setCollaboration(&m_manager);
}

CollaborationShell::~CollaborationShell()
{
    m_window.setCollaboration(nullptr);
    m_document.setCollaboration(nullptr);
    m_engine.setCollaborators(nullptr);
}

void CollaborationShell::initCollaboration()
{
    m_manager.initCollaboration();
}

void CollaborationShell::reloadMe(std::function<void()> success)
{
    m_manager.reloadMe([success = std::move(success)](const User&) {
        if (success)
            success();
    });
}

} // namespace qv
