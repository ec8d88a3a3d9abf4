#pragma once

#include "ui/team/InputCollaboratorViewController.h"

#include <QPointer>

#include <memory>

namespace qv {

class AvatarManager;
class CollaborationManager;
class MainWindow;
class MyDocument;
class PendingSharingRequestsView;
class PendingSharingRequestsViewController;
class QVRestManager;
class TeamParts;
class TeamPopover;

// The sharing parts of the team column: the popovers in which addresses are typed to invite or
// remove people, and the list of projects shared with the user, whose accepted projects are
// selected in the window once they have come. They go before the team column; the managers,
// the document and the window must outlive them.
class SharingParts final : public InputCollaboratorDelegate {
public:
    SharingParts(CollaborationManager& collaboration, QVRestManager& engine, AvatarManager* avatars,
                 MainWindow& window, MyDocument& document, TeamParts& team);
    ~SharingParts() override;
    SharingParts(const SharingParts&) = delete;
    SharingParts& operator=(const SharingParts&) = delete;

    PendingSharingRequestsViewController& pending() const { return *m_pending; }
    void inputCollaborator(InputCollaboratorViewController& input, const QString& email) override;

private:
    // Closes the popover when it is shown, else shows it emptied beside the anchor.
    void toggleInput(bool adding, QWidget* anchor);

    TeamParts& m_team;
    std::unique_ptr<PendingSharingRequestsViewController> m_pending;
    std::unique_ptr<InputCollaboratorViewController> m_addInput;
    std::unique_ptr<InputCollaboratorViewController> m_removeInput;
    // Owned by the window's widgets.
    QPointer<PendingSharingRequestsView> m_pendingView;
    QPointer<TeamPopover> m_addPopover;
    QPointer<TeamPopover> m_removePopover;
};

} // namespace qv
