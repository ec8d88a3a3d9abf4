#include "app/FeedParts.h"

#include "core/model/TODOItem.h"
#include "sync/CommentsManager.h"
#include "ui/details/FeedModel.h"
#include "ui/details/widgets/FeedViewController.h"
#include "ui/details/widgets/ItemFilesView.h"
#include "ui/details/widgets/MyDrawerController.h"

#include <QDesktopServices>

namespace qv {

FeedParts::FeedParts(const Services& services, QVRestManager& engine, MyDrawerController& drawer,
                     WebEngineLoader* web, InternalBrowser* browser)
    : m_comments(std::make_unique<CommentsManager>(services, engine))
{
    m_feed = new FeedViewController(services, *m_comments, engine);
    m_feed->setWebEngine(web);
    FeedModel& model = m_feed->model();
    model.setInternalBrowser(browser);
    model.setOpener([](const QUrl& url) { QDesktopServices::openUrl(url); });
    drawer.setFeedView(m_feed);
    m_feed->setRepresentedObject(drawer.getItem());
    QObject::connect(&drawer, &MyDrawerController::itemChanged, m_feed,
                     [this](TODOItem* item) { m_feed->setRepresentedObject(item); });
    QObject::connect(m_feed, &FeedViewController::toggleFeedRequested, &drawer,
                     &MyDrawerController::toggleFeed);
    // The attachments of the item are the Files tab's.
    const auto filesView = [&drawer] {
        return qobject_cast<ItemFilesView*>(drawer.filesView());
    };
    QObject::connect(m_feed, &FeedViewController::uploadFileRequested, &drawer, [filesView] {
        if (ItemFilesView* files = filesView())
            files->showFileUploadDialog();
    });
    QObject::connect(m_feed, &FeedViewController::uploadScreenshotRequested, &drawer, [filesView] {
        if (ItemFilesView* files = filesView())
            files->captureSelectionFromScreen();
    });
}

FeedParts::~FeedParts() = default;

} // namespace qv
