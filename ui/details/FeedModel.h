#pragma once

#include "platform/Services.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

#include <functional>
#include <map>
#include <optional>

class QFont;

namespace qv {

class CommentsManager;
class InternalBrowser;
class QVRestManager;

namespace store {
class ManagedObject;
}

// The comments and history feed without its widgets: which page to show and when to fetch it
// (the cached page at once, the fresh one when it arrives, no reload when the page is the same),
// which links stay inside the feed, the unsent comment of each item, sending a comment (and,
// when its answer is lost, looking for it in the feed before the input opens again), the
// height of the comment input, and the script call that shows only some people's comments.
// The view renders what the signals say and reports the page's events back. Main thread only.
class FeedModel : public QObject {
    Q_OBJECT
public:
    enum class Mode { Account = 0, Object = 1 };

    static constexpr double kInputHeight = 37.0;
    static constexpr double kMaxInputHeight = 200.0;
    static constexpr qint64 kDelayMs = 100; // before scrolling and between script attempts
    static constexpr int kScriptAttempts = 3;
    // Pages travel to the web view as a percent-encoded "data:" address of at most this many
    // characters; a longer page has to be served instead.
    static constexpr qint64 kInlinePageLimit = 2 * 1024 * 1024;
    // Seconds the engine's reckoning of the server's clock may run ahead of the server.
    static constexpr qint64 kClockSlackSeconds = 10;

    // Opens an address in the desktop's browser.
    using Opener = std::function<void(const QUrl& url)>;
    // Runs a script in the page; answered() says whether it gave back a value (the page was ready).
    using ScriptRunner = std::function<void(const QString& script, std::function<void(bool answered)> done)>;

    // The manager and the engine must outlive the model.
    FeedModel(const Services& services, CommentsManager& comments, QVRestManager& engine,
              QObject* parent = nullptr);
    ~FeedModel() override;

    // --- What is shown: an item, a project, or nothing ---
    void setRepresentedObject(store::ManagedObject* object);
    store::ManagedObject* representedObject() const { return m_object; }
    // The item loop's pass changed these items (server identifiers): when the item shown is one
    // of them, its page is fetched again.
    void itemsUpdated(const QVariantList& serverIds);
    // Account: the whole account's feed, whatever the represented object.
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // Nothing is fetched while hidden; becoming visible fetches.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }
    // Days of history to fetch; 0 fetches by number of comments.
    void setFilterByDays(int days) { m_filterByDays = days; }
    int filterByDays() const { return m_filterByDays; }
    // fast: show the cached page at once; scroll: to the bottom once shown; force: fetch even
    // when the page was fetched less than a minute ago.
    void reloadFeed(bool fast, bool scroll, bool force);
    void refresh() { reloadFeed(true, true, true); }
    // Whether the page shown is being fetched.
    bool isLoading() const;
    // A null text shows a blank page. False when the view was left alone: a blank page, or the
    // page with the time stamp and comment count already shown.
    bool loadHTML(const QString& html, bool scroll = true);
    // Relative addresses in the pages are the sync server's.
    QUrl baseUrl() const;
    static bool fitsInline(const QByteArray& utf8Html);
    // A page served from elsewhere keeps its relative addresses the server's: a <base> element
    // at the start of its head.
    static QByteArray withBaseAddress(const QByteArray& utf8Html, const QUrl& base);

    // --- The page's events ---
    void pageLoaded();
    // Whether the view follows a navigation. The page's own loads are followed; a clicked link
    // to the feed's page asks for its "limit" of comments and reloads, any other goes to the
    // desktop's browser.
    bool acceptNavigation(const QUrl& url, bool clicked);
    bool isFeedLink(const QUrl& url) const;
    // Shows only these people's comments (all for none).
    void showCommentsForEmails(const QStringList& emails);
    QStringList filterEmails() const;
    void setScriptRunner(ScriptRunner runner) { m_runScript = std::move(runner); }
    void setOpener(Opener opener) { m_opener = std::move(opener); }
    void setInternalBrowser(InternalBrowser* browser) { m_browser = browser; }
    // The feed's page for a browser (the session's cookies identify the user there).
    QUrl internalBrowserAddress() const;
    void openInInternalBrowser();

    // --- The comment input ---
    // Only an item's feed takes comments.
    bool showsInput() const;
    bool isOnline() const;
    static QString placeholderText(bool online);
    const QString& inputText() const { return m_input; }
    // What the user typed: the area's height follows the text laid out in font and width (it
    // grows up to 200 and shrinks back to 37 only when emptied).
    void setInputText(const QString& text, const QFont& font, double width);
    double inputHeight() const { return m_inputHeight; }
    bool inputIsEnabled() const { return m_inputIsEnabled; }
    // Sends the input; false when nothing was sent (no item on the server, a comment already
    // on its way or being looked for, or nothing but blanks). A comment whose answer is lost
    // keeps the input closed until the feed, fetched again, shows whether it arrived.
    bool sendComment();
    // What the input area says of the last comment sent from it; empty when nothing.
    QString notice() const;
    // The text as the server takes it: spaces and tabs trimmed, line breaks as "<br/>".
    static QString commentHtml(const QString& text);

signals:
    // A null html asks for a blank page.
    void pageChanged(const QString& html, bool scroll);
    void scrollToBottomRequested();
    void loadingChanged(bool loading);
    // The input's text was replaced (another item shown, a comment sent).
    void inputTextReplaced(const QString& text);
    void inputHeightChanged(double height);
    void inputEnabledChanged(bool enabled);
    void noticeChanged(const QString& notice);
    // The input is shown or hidden (item or not).
    void layoutChanged();
    void onlineChanged(bool online);

private:
    QString keyOf(const store::ManagedObject* object) const;
    bool isOnServer(const store::ManagedObject* object) const;
    void fetchObject(bool fast, bool scroll, bool force);
    void fetchAccount(bool fast, bool scroll, bool force);
    void updateLoading();
    void computeInputIsEnabled();
    void setSending(bool sending, store::ManagedObject* object);
    void finishSending(const QString& key);
    void setNotice(const QString& key, const QString& text);
    // A comment whose answer was lost: fetched again, the feed shows whether it arrived.
    void lookForComment(const QString& key);
    void commentLooked(const QString& key, const QString& html);
    void lookFailed(const QString& key);
    void replaceInput(const QString& text);
    void postRefreshed(store::ManagedObject* object);
    void runScript(int attempts);
    void layoutInput(double textHeight);

    Services m_services;
    CommentsManager& m_comments;
    QVRestManager& m_engine;
    store::ManagedObject* m_object = nullptr;
    Mode m_mode = Mode::Object;
    bool m_visible = true;
    int m_filterByDays = 0;
    QSet<QString> m_loadingObjects;
    int m_loadingAccount = 0;
    bool m_loadingShown = false;
    std::map<QString, QString> m_sending;
    // What tells a comment whose answer was lost apart in its feed.
    struct Check {
        QString uri;  // of the item or project
        QString text; // as typed
        // The same comments of this user on the page the send was made from.
        int before = 0;
        // The server's time at the send, as far as the engine knows it.
        std::optional<qint64> sentAt;
        bool asking = false;
    };
    std::map<QString, Check> m_checks;
    std::map<QString, QString> m_notices;
    std::map<QString, QString> m_unsent;
    QSet<QString> m_filterEmails;
    bool m_scroll = false;
    qint64 m_currentTimestamp = -1;
    qint64 m_numComments = 0;
    QString m_input;
    double m_inputHeight = kInputHeight;
    bool m_inputIsEnabled = false;
    ScriptRunner m_runScript;
    Opener m_opener;
    InternalBrowser* m_browser = nullptr;
    int m_changeObserver = 0;
};

} // namespace qv
