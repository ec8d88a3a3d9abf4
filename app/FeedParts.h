#pragma once

#include <memory>

namespace qv {

class CommentsManager;
class FeedViewController;
class InternalBrowser;
class MyDrawerController;
class QVRestManager;
class WebEngineLoader;
struct Services;

// The comments side of the application: the comments service and the drawer's feed, which
// follows the drawer's item (the drawer owns the view, so these must outlive the drawer).
class FeedParts final {
public:
    // web: the engine the feed's page is made in when first shown; browser: where the feed opens
    // in a browser (nowhere when nullptr). Both must outlive the drawer.
    FeedParts(const Services& services, QVRestManager& engine, MyDrawerController& drawer,
              WebEngineLoader* web, InternalBrowser* browser);
    ~FeedParts();

    CommentsManager& comments() const { return *m_comments; }
    FeedViewController& drawerFeed() const { return *m_feed; }

private:
    std::unique_ptr<CommentsManager> m_comments;
    FeedViewController* m_feed = nullptr;
};

} // namespace qv
