#include "ui/team/widgets/TeamFeedView.h"

#include "core/model/TODOList.h"
#include "ui/details/FeedModel.h"
#include "ui/details/widgets/FeedViewController.h"
#include "ui/team/SimpleCollaboratorsController.h"

namespace qv {

void TeamFeedView::setRepresentedObject(TODOList* project)
{
    m_view.setRepresentedObject(project);
}

void TeamFeedView::setVisible(bool visible)
{
    m_view.model().setVisible(visible);
}

void TeamFeedView::setMode(int mode)
{
    m_view.model().setMode(mode == SimpleCollaboratorsController::WholeTeam ? FeedModel::Mode::Account
                                                                            : FeedModel::Mode::Object);
}

void TeamFeedView::showCommentsForEmails(const QStringList& emails)
{
    m_view.showCommentsForEmails(emails);
}

void TeamFeedView::reloadFeed(bool fast, bool scroll, bool force)
{
    m_view.reloadFeed(fast, scroll, force);
}

} // namespace qv
