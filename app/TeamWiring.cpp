#include "app/TeamWiring.h"

#include "core/model/TODOList.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "ui/board/Board.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/details/FeedModel.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/FeedViewController.h"
#include "ui/details/widgets/PanelsControl.h"
#include "ui/team/PendingSharingRequestsViewController.h"
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamViewController.h"
#include "ui/team/widgets/TeamFeedView.h"
#include "ui/team/widgets/TeamView.h"

#include <QDesktopServices>
#include <QToolBar>

namespace qv {

TeamParts::TeamParts(const Services& services, CollaborationManager& collaboration, QVRestManager& engine,
                     AvatarManager* avatars, MainWindow& window, const BoardPanels& panels)
    : m_services(services), m_engine(engine),
      m_people(std::make_unique<SimpleCollaboratorsController>(services, collaboration, engine, avatars)),
      m_team(std::make_unique<TeamViewController>(services, *m_people))
{
    m_people->setFilterPanel(window.filterPanel());
    m_team->setWindow({[&window] { return window.currentOwnerEmails(); },
                       [&window] {
                           window.updateFilters();
                       }});

    auto* view = new TeamView(*m_team, services.preferences);
    m_view = view;
    window.setFeedPanel(view);
    if (panels.panelsControl) {
        if (auto* toolbar = window.findChild<QToolBar*>())
            view->setPanelSelectorAnchor(toolbar->widgetForAction(panels.panelsControl->segment(2)));
    }

    TeamViewController* team = m_team.get();
    team->setCheckAllowed(TeamViewController::whenSignedInAndOnline(engine));
    if (ProjectListView* list = window.projectListView())
        QObject::connect(list, &ProjectListView::selectedProjectChanged, view,
                         [team](TODOList* project) { team->setRepresentedObject(project); });
    team->setRepresentedObject(window.board().selectedProject());

    // The column is shown and hidden by the panel switch; showing it looks for shared projects.
    Preferences* preferences = services.preferences;
    const QString showing = TeamViewController::kShowingFeedKey;
    team->setVisible(preferences->boolValue(showing));
    QObject::connect(preferences, &Preferences::changed, view,
                     [team, preferences, showing](const QString& key) {
                         if (key != showing)
                             return;
                         const bool shown = preferences->boolValue(showing);
                         team->setVisible(shown);
                         if (shown && team->isCheckAllowed())
                             team->checkForSharingRequests(nullptr);
                     });
}

void TeamParts::showFeed(CommentsManager& comments, WebEngineLoader* web, InternalBrowser* browser)
{
    auto* feed = new FeedViewController(m_services, comments, m_engine);
    feed->setWebEngine(web);
    FeedModel& model = feed->model();
    model.setInternalBrowser(browser);
    model.setOpener([](const QUrl& url) { QDesktopServices::openUrl(url); });
    Preferences* preferences = m_services.preferences;
    const QString days = TeamViewController::kFeedFilterByDaysKey;
    model.setFilterByDays(preferences->intValue(days));
    QObject::connect(preferences, &Preferences::changed, feed,
                     [&model, preferences, days](const QString& key) {
                         if (key == days)
                             model.setFilterByDays(preferences->intValue(days));
                     });
    m_view->setFeedView(feed);
    m_feed = std::make_unique<TeamFeedView>(*feed);
    m_team->setFeed(m_feed.get());
}

TeamParts::~TeamParts()
{
    m_team->setFeed(nullptr);
    delete m_view;
    m_feed.reset();
    m_team.reset();
    m_people.reset();
}

void countSharedProjects(PendingSharingRequestsViewController& pending, PanelsControl* panels)
{
    if (!panels)
        return;
    QObject::connect(&pending, &PendingSharingRequestsViewController::requestsChanged, panels,
                     [&pending, panels] { panels->setTeamCount(pending.count()); });
    panels->setTeamCount(pending.count());
}

} // namespace qv
