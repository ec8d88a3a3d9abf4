#pragma once

#include "ui/web/WebSurface.h"

#include <QUrl>
#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QToolButton;
class QVBoxLayout;

namespace qv {

class CommentsManager;
class FeedModel;
class Preferences;
class QVRestManager;
class ResponderTextView;
class WebEngineLoader;
struct Services;

namespace store {
class ManagedObject;
}

// The comments and history feed: the server's page in a web view and, while an item is shown,
// the comment input below it. What to show and when is the model's; pages too large to be set
// directly are served under the engine's own addresses. The web page is made only once the feed is
// shown with something to show. Nothing of the application is exposed to the page's scripts.
class FeedViewController final : public QWidget {
    Q_OBJECT
public:
    // The manager and the engine must outlive the view.
    FeedViewController(const Services& services, CommentsManager& comments, QVRestManager& engine,
                       QWidget* parent = nullptr);
    ~FeedViewController() override;

    FeedModel& model() const { return *m_model; }
    // The item or project whose feed is shown (nullptr: none).
    void setRepresentedObject(store::ManagedObject* object);
    void showCommentsForEmails(const QStringList& emails);
    void reloadFeed(bool fast, bool scroll, bool force);
    // A heading above the page ("History", say); none while empty.
    void setTitle(const QString& title);

    // The engine the page is made in (the signed-in session's profile, for the server's
    // cookies); no page is shown until it is set. web must outlive the view.
    void setWebEngine(WebEngineLoader* web);
    // nullptr until a page was first shown.
    web::Page* page() const { return m_page.get(); }
    ResponderTextView* commentInputTextView() const { return m_input; }
    QWidget* inputContainer() const { return m_inputContainer; }
    QToolButton* sendButton() const { return m_sendButton; }
    QToolButton* uploadButton() const { return m_uploadButton; }
    // What the input area says of the last comment sent; hidden while it says nothing.
    QLabel* noticeLabel() const { return m_notice; }
    // The address the last page was shown under: a "data:"-less page set with its base address,
    // or one of the feed scheme's.
    QUrl pageAddress() const { return m_pageUrl; }
    int pagesLoaded() const { return m_pagesLoaded; }

    // Focuses the input, or asks for the feed to fold when it has the focus already.
    void talkUntalk();

signals:
    // The drawer folds or unfolds the feed.
    void toggleFeedRequested();
    void uploadFileRequested();
    void uploadScreenshotRequested();
    // A page finished loading.
    void pageLoaded(bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    web::Page* ensurePage();
    void showPage(const QString& html);
    // Shows the model's latest page, once the feed is on screen.
    void showPendingPage();
    void readjustLayout();
    void inputChanged();
    void dropServedPage();
    // The page and the input follow the board's font-size tier.
    void applyFontTier();
    void scrollToBottom();

    Preferences* m_preferences = nullptr;
    FeedModel* m_model = nullptr;
    WebEngineLoader* m_web = nullptr;
    std::unique_ptr<web::Page> m_page;
    QWidget* m_pageArea = nullptr;
    QString m_pendingPage;
    bool m_hasPendingPage = false;
    double m_zoom = 1.0;
    QLabel* m_title = nullptr;
    QProgressBar* m_spinner = nullptr;
    QLabel* m_notice = nullptr;
    QWidget* m_inputContainer = nullptr;
    ResponderTextView* m_input = nullptr;
    QToolButton* m_talkButton = nullptr;
    QToolButton* m_sendButton = nullptr;
    QToolButton* m_uploadButton = nullptr;
    QUrl m_pageUrl;
    int m_pagesLoaded = 0;
    bool m_replacing = false;
};

} // namespace qv
