#pragma once

#include "ui/team/TeamViewController.h"

namespace qv {

class FeedViewController;

// The comments feed as the team column asks for it: the project's history, or the whole
// account's in whole-team mode. The column shows the title itself.
class TeamFeedView final : public TeamFeed {
public:
    // The view must outlive this.
    explicit TeamFeedView(FeedViewController& view) : m_view(view) {}

    void setRepresentedObject(TODOList* project) override;
    void setVisible(bool visible) override;
    void setMode(int mode) override;
    void showCommentsForEmails(const QStringList& emails) override;
    void reloadFeed(bool fast, bool scroll, bool force) override;

private:
    FeedViewController& m_view;
};

} // namespace qv
