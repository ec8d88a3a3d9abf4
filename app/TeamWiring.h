#pragma once

#include <memory>

namespace qv {

class AvatarManager;
class CollaborationManager;
class CommentsManager;
class InternalBrowser;
class PanelsControl;
class PendingSharingRequestsViewController;
class TeamFeed;
class WebEngineLoader;
class MainWindow;
class QVRestManager;
class SimpleCollaboratorsController;
class TeamView;
class TeamViewController;
struct BoardPanels;
struct Services;

// The team column of the window: the people of the project shown and its history, following
// the project list, the owner filter and the panel switch. The column goes first, then its
// controllers; the managers and the window must outlive all of it.
class TeamParts {
public:
    TeamParts(const Services& services, CollaborationManager& collaboration, QVRestManager& engine,
              AvatarManager* avatars, MainWindow& window, const BoardPanels& panels);
    ~TeamParts();
    TeamParts(const TeamParts&) = delete;
    TeamParts& operator=(const TeamParts&) = delete;

    TeamViewController& controller() const { return *m_team; }
    TeamView* view() const { return m_view; }
    // The history of the project shown, or of the whole account, under the people. The
    // manager, the profile and the browser must outlive the parts.
    void showFeed(CommentsManager& comments, WebEngineLoader* web, InternalBrowser* browser);

private:
    const Services& m_services;
    QVRestManager& m_engine;
    std::unique_ptr<SimpleCollaboratorsController> m_people;
    std::unique_ptr<TeamViewController> m_team;
    // Owned by the window until the parts go.
    TeamView* m_view = nullptr;
    std::unique_ptr<TeamFeed> m_feed;
};

// The panel switch's team segment counts the projects shared with the user.
void countSharedProjects(PendingSharingRequestsViewController& pending, PanelsControl* panels);

} // namespace qv
