#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace qv {

class CommentsManager;
class FeedModel;
class Preferences;
class FeedPageScheme;
class QVRestManager;
class ResponderTextView;
struct Services;

namespace store {
class ManagedObject;
}

// The comments and history feed: the server's page in a web view and, while an item is shown,
// the comment input below it. What to show and when is the model's; pages too large to be set
// directly are served through the profile's feed scheme. Nothing of the application is exposed
// to the page's scripts.
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

    // The web profile the pages load in (the signed-in session's, for the server's cookies);
    // the default profile until set. The profile must outlive the view.
    void setProfile(QWebEngineProfile* profile);
    QWebEngineProfile* profile() const;

    QWebEngineView* webView() const { return m_webView; }
    ResponderTextView* commentInputTextView() const { return m_input; }
    QWidget* inputContainer() const { return m_inputContainer; }
    QToolButton* sendButton() const { return m_sendButton; }
    QToolButton* uploadButton() const { return m_uploadButton; }
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

private:
    void makePage(QWebEngineProfile* profile);
    void showPage(const QString& html);
    void readjustLayout();
    void inputChanged();
    void dropServedPage();
    // The page and the input follow the board's font-size tier.
    void applyFontTier();
    void scrollToBottom();

    Preferences* m_preferences = nullptr;
    FeedModel* m_model = nullptr;
    QWebEngineView* m_webView = nullptr;
    QPointer<QWebEnginePage> m_page;
    QLabel* m_title = nullptr;
    QProgressBar* m_spinner = nullptr;
    QWidget* m_inputContainer = nullptr;
    ResponderTextView* m_input = nullptr;
    QToolButton* m_talkButton = nullptr;
    QToolButton* m_sendButton = nullptr;
    QToolButton* m_uploadButton = nullptr;
    QPointer<FeedPageScheme> m_scheme;
    QUrl m_pageUrl;
    int m_pagesLoaded = 0;
    bool m_replacing = false;
};

} // namespace qv
