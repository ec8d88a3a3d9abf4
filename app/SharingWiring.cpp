#include "app/SharingWiring.h"

#include "app/TeamWiring.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOList.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/team/IsInitStringValueTransformer.h"
#include "ui/team/PendingSharingRequestsViewController.h"
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamViewController.h"
#include "ui/team/widgets/InputCollaboratorView.h"
#include "ui/team/widgets/PendingSharingRequestsView.h"
#include "ui/team/widgets/SimpleCollaboratorsView.h"
#include "ui/team/widgets/TeamPopover.h"
#include "ui/team/widgets/TeamView.h"

namespace qv {

SharingParts::SharingParts(CollaborationManager& collaboration, QVRestManager& engine, AvatarManager* avatars,
                           MainWindow& window, MyDocument& document, TeamParts& team)
    : m_team(team), m_pending(std::make_unique<PendingSharingRequestsViewController>(collaboration, engine)),
      m_addInput(std::make_unique<InputCollaboratorViewController>(collaboration, avatars)),
      m_removeInput(std::make_unique<InputCollaboratorViewController>(collaboration, avatars))
{
    registerSharingTransformers(window.valueTransformers());
    m_pending->setProjectSelector([&window, &document](qint64 projectID) {
        if (TODOList* project = TODOList::findWithID(projectID, document.context()))
            window.projectListView()->selectProject(project);
    });
    team.controller().setSharedProjects(m_pending.get());
    m_addInput->setDelegate(this);
    m_removeInput->setDelegate(this);
    if (TeamView* view = team.view()) {
        m_pendingView = new PendingSharingRequestsView(*m_pending);
        view->setSharedProjectsView(m_pendingView);
        m_addPopover = new TeamPopover(new InputCollaboratorView(*m_addInput), view);
        m_removePopover = new TeamPopover(new InputCollaboratorView(*m_removeInput), view);
        view->peopleView()->setInputOpener(
            [this](bool adding, QWidget* anchor) { toggleInput(adding, anchor); });
        QObject::connect(&team.controller().people(),
                         &SimpleCollaboratorsController::removeInputCloseRequested, m_removePopover,
                         &QWidget::hide);
    }
}

SharingParts::~SharingParts()
{
    m_team.controller().setSharedProjects(nullptr);
    if (TeamView* view = m_team.view())
        view->peopleView()->setInputOpener({});
    delete m_pendingView;
    delete m_addPopover;
    delete m_removePopover;
}

void SharingParts::toggleInput(bool adding, QWidget* anchor)
{
    TeamPopover* popover = adding ? m_addPopover : m_removePopover;
    if (!popover)
        return;
    if (popover->isVisible()) {
        popover->hide();
        return;
    }
    (adding ? m_addInput : m_removeInput)->reset();
    popover->showRelativeTo(anchor, Qt::RightEdge);
}

void SharingParts::inputCollaborator(InputCollaboratorViewController& input, const QString& email)
{
    SimpleCollaboratorsController& people = m_team.controller().people();
    if (&input != m_addInput.get()) {
        people.removeOwner(email);
        return;
    }
    // A refused invitation stops the progress too, so the field can be used again.
    input.startProgress();
    QPointer<InputCollaboratorViewController> field(&input);
    people.addOwner(
        email,
        [field] {
            if (field)
                field->reset();
        },
        [field](const std::optional<QString>&) {
            if (field)
                field->stopProgress();
        });
}

} // namespace qv
