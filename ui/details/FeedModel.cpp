#include "ui/details/FeedModel.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/BuildInfo.h"
#include "core/util/Utils.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "sync/CommentsManager.h"
#include "sync/QVRestManager.h"
#include "sync/SyncNotifications.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/WebAddresses.h"
#include "ui/details/DetailsLogging.h"
#include "ui/details/DetailsNotifications.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QUrlQuery>

#include <vector>

namespace qv {

namespace {

// What percent-encoding leaves as it is.
bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// The text a piece of a page reads as: runs of white space (line breaks too) as one space.
QString plainTextOf(const QString& html)
{
    return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
}

// How many comments of the page this person wrote with this text. Each comment carries its
// author's address (what the page's people filter reads) and holds its text in a "text" element.
int countComments(const QString& html, const QString& email, const QString& typed)
{
    static const QRegularExpression author(
        QStringLiteral("<[a-zA-Z][^>]*\\sdata-email\\s*=\\s*\"([^\"]*)\""));
    static const QRegularExpression body(
        QStringLiteral("<([a-zA-Z]+)[^>]*\\sclass\\s*=\\s*\"text\"[^>]*>(.*?)</\\1\\s*>"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    if (html.isEmpty() || email.isEmpty())
        return 0;
    // The server keeps a typed "<br/>" as a line break.
    const QString wanted = QString(typed).replace(QStringLiteral("<br/>"), QStringLiteral("\n")).simplified();
    QList<QRegularExpressionMatch> comments;
    for (const QRegularExpressionMatch& match : author.globalMatch(html))
        comments << match;
    int count = 0;
    for (qsizetype i = 0; i < comments.size(); ++i) {
        if (plainTextOf(comments[i].captured(1)).compare(email, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype start = comments[i].capturedEnd(0);
        const qsizetype end = i + 1 < comments.size() ? comments[i + 1].capturedStart(0) : html.size();
        const QRegularExpressionMatch text = body.match(QStringView(html).mid(start, end - start));
        if (text.hasMatch() && plainTextOf(text.captured(2)) == wanted)
            ++count;
    }
    return count;
}

} // namespace

FeedModel::FeedModel(const Services& services, CommentsManager& comments, QVRestManager& engine,
                     QObject* parent)
    : QObject(parent), m_services(services), m_comments(comments), m_engine(engine)
{
    connect(&m_engine, &QVRestManager::isOnlineChanged, this, [this](bool online) {
        emit onlineChanged(online);
        if (!online)
            return;
        // Comments whose answer was lost could not be looked for while offline.
        std::vector<QString> waiting;
        for (const auto& [key, check] : m_checks)
            if (!check.asking)
                waiting.push_back(key);
        for (const QString& key : waiting)
            lookForComment(key);
        reloadFeed(true, true, false);
    });
    // An item reaching the server opens its input.
    m_changeObserver = m_engine.managedContext().addChangeObserver([this](const store::ChangeEvent& event) {
        if (!m_object)
            return;
        const auto keys = event.changedKeys.constFind(m_object);
        if (keys != event.changedKeys.constEnd() &&
            (keys->contains(QStringLiteral("serverID")) || keys->contains(QStringLiteral("id_"))))
            computeInputIsEnabled();
    });
    // Comments by others reach this client only as a newer version of the item.
    if (NotificationCenter* center = m_services.notifications)
        center->addObserver(this, kNotificationItemUpdaterLooped, [this](const Notification& note) {
            itemsUpdated(note.userInfo.value(QStringLiteral("updatedItems")).toList());
        });
}

FeedModel::~FeedModel()
{
    if (NotificationCenter* center = m_services.notifications)
        center->removeObserver(this);
    m_engine.managedContext().removeChangeObserver(m_changeObserver);
}

QString FeedModel::keyOf(const store::ManagedObject* object) const
{
    if (const auto* item = store::as<TODOItem>(object))
        return QStringLiteral("item:%1").arg(item->uniID());
    if (const auto* project = store::as<TODOList>(object))
        return QStringLiteral("project:%1").arg(project->uniID());
    return {};
}

bool FeedModel::isOnServer(const store::ManagedObject* object) const
{
    if (const auto* item = store::as<TODOItem>(object))
        return item->isValidUniID();
    if (const auto* project = store::as<TODOList>(object))
        return project->isValidUniID();
    return false;
}

bool FeedModel::isOnline() const
{
    return m_engine.isOnline();
}

QString FeedModel::placeholderText(bool online)
{
    return online ? tr("Write comment ...") : tr("Offline ...");
}

QUrl FeedModel::baseUrl() const
{
    return QUrl(m_engine.origin() + u'/');
}

bool FeedModel::fitsInline(const QByteArray& utf8Html)
{
    // "data:text/html;charset=UTF-8," and the page, every other byte as "%XX".
    qint64 length = 30;
    for (const char c : utf8Html)
        length += isUnreserved(c) ? 1 : 3;
    return length <= kInlinePageLimit;
}

QByteArray FeedModel::withBaseAddress(const QByteArray& utf8Html, const QUrl& base)
{
    const QByteArray element =
        "<base href=\"" + base.toString(QUrl::FullyEncoded).toHtmlEscaped().toUtf8() + "\">";
    static const QRegularExpression head(QStringLiteral("<head(\\s[^>]*)?>"),
                                         QRegularExpression::CaseInsensitiveOption);
    // Only the page's start is looked at: a head further in is no head.
    const QString start = QString::fromUtf8(utf8Html.left(4096));
    const QRegularExpressionMatch match = head.match(start);
    if (!match.hasMatch())
        return element + utf8Html;
    const qsizetype bytes = start.left(match.capturedEnd(0)).toUtf8().size();
    return utf8Html.left(bytes) + element + utf8Html.mid(bytes);
}

// --- What is shown

void FeedModel::setRepresentedObject(store::ManagedObject* object)
{
    if (m_object && isOnServer(m_object)) {
        if (m_input.isEmpty())
            m_unsent.erase(keyOf(m_object));
        else
            m_unsent[keyOf(m_object)] = m_input;
    }
    const bool changed = object != m_object;
    m_object = object;
    reloadFeed(changed, true, false);
    if (object) {
        const auto kept = m_unsent.find(keyOf(object));
        replaceInput(kept != m_unsent.end() ? kept->second : QString());
        computeInputIsEnabled();
    }
    updateLoading();
    emit layoutChanged();
    emit noticeChanged(notice());
}

void FeedModel::itemsUpdated(const QVariantList& serverIds)
{
    const auto* item = store::as<TODOItem>(m_object);
    if (m_mode != Mode::Object || !item || !item->isValidUniID())
        return;
    for (const QVariant& id : serverIds)
        if (id.toLongLong() == item->serverID()) {
            reloadFeed(false, true, true);
            return;
        }
}

void FeedModel::setMode(Mode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    reloadFeed(true, true, false);
    updateLoading();
}

void FeedModel::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (visible)
        reloadFeed(true, false, false);
}

bool FeedModel::isLoading() const
{
    if (m_mode == Mode::Account)
        return m_loadingAccount > 0;
    return m_object && m_loadingObjects.contains(keyOf(m_object));
}

void FeedModel::updateLoading()
{
    const bool loading = isLoading();
    if (loading != m_loadingShown) {
        m_loadingShown = loading;
        emit loadingChanged(loading);
    }
}

void FeedModel::reloadFeed(bool fast, bool scroll, bool force)
{
    if (!m_visible)
        return;
    if (m_mode == Mode::Object && m_object)
        fetchObject(fast, scroll, force);
    else if (m_mode == Mode::Account)
        fetchAccount(fast, scroll, force);
    else
        loadHTML(QString());
    updateLoading();
}

void FeedModel::fetchObject(bool fast, bool scroll, bool force)
{
    store::ManagedObject* object = m_object;
    if (!isOnServer(object)) {
        loadHTML(QString());
        return;
    }
    const QString key = keyOf(object);
    if (!m_loadingObjects.contains(key)) {
        QPointer<FeedModel> self(this);
        const bool started = m_comments.retrieveHTMLCommentsForObject(
            object, m_filterByDays,
            [self, object, key, scroll](const QString& html) {
                if (!self)
                    return;
                self->m_loadingObjects.remove(key);
                if (self->m_object == object && self->keyOf(object) == key && !self->m_sending.count(key) &&
                    self->loadHTML(html, scroll))
                    self->postRefreshed(object);
                self->updateLoading();
            },
            [self, key](const std::optional<QString>&) {
                if (!self)
                    return;
                self->m_loadingObjects.remove(key);
                self->updateLoading();
            },
            force);
        if (started)
            m_loadingObjects.insert(key);
    }
    if (fast)
        loadHTML(m_comments.getCachedCommentsForObject(object), scroll);
}

void FeedModel::fetchAccount(bool fast, bool scroll, bool force)
{
    QPointer<FeedModel> self(this);
    const bool started = m_comments.retrieveHTMLCommentsForObject(
        nullptr, m_filterByDays,
        [self, scroll](const QString& html) {
            if (!self)
                return;
            --self->m_loadingAccount;
            if (self->m_mode == Mode::Account && self->loadHTML(html, scroll))
                self->postRefreshed(nullptr);
            self->updateLoading();
        },
        [self](const std::optional<QString>&) {
            if (!self)
                return;
            --self->m_loadingAccount;
            self->updateLoading();
        },
        force);
    if (started)
        ++m_loadingAccount;
    if (fast)
        loadHTML(m_comments.getCachedCommentsForObject(nullptr), scroll);
}

bool FeedModel::loadHTML(const QString& html, bool scroll)
{
    if (html.isNull()) {
        m_currentTimestamp = -1;
        emit pageChanged(QString(), false);
        return false;
    }
    const store::ManagedObject* object = m_mode == Mode::Object ? m_object : nullptr;
    const qint64 timestamp = m_comments.timestampForObject(object);
    const qint64 count = m_comments.numberOfCommentsForObject(object);
    // The same page again would only lose the reader's place.
    if (timestamp == m_currentTimestamp && count == m_numComments)
        return false;
    m_currentTimestamp = timestamp;
    m_numComments = count;
    m_scroll = scroll;
    qCInfo(lcDetails, "Showing a feed page of %d characters", int(html.size()));
    emit pageChanged(html, scroll);
    return true;
}

void FeedModel::postRefreshed(store::ManagedObject* object)
{
    if (!m_services.notifications)
        return;
    QString kind = QStringLiteral("none");
    if (store::as<TODOItem>(object))
        kind = QStringLiteral("item");
    else if (store::as<TODOList>(object))
        kind = QStringLiteral("project");
    QVariantMap info;
    info.insert(kind, object ? QVariant::fromValue(object->uri()) : QVariant());
    m_services.notifications->post(kNotificationCommentsRefreshed, this, info);
}

// --- The page's events

void FeedModel::pageLoaded()
{
    if (!m_filterEmails.isEmpty())
        runScript(kScriptAttempts);
    if (m_scroll)
        m_services.scheduler->after(kDelayMs, this, [this] { emit scrollToBottomRequested(); });
}

bool FeedModel::isFeedLink(const QUrl& url) const
{
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty() || url.host().isEmpty() || url.host() != baseUrl().host())
        return false;
    return parts.last() == u"comments.html" || parts.last() == u"html";
}

bool FeedModel::acceptNavigation(const QUrl& url, bool clicked)
{
    if (!clicked)
        return true;
    if (isFeedLink(url)) {
        const QUrlQuery query(url);
        if (query.hasQueryItem(QStringLiteral("limit"))) {
            bool ok = false;
            const qint64 limit = query.queryItemValue(QStringLiteral("limit")).toLongLong(&ok);
            if (ok)
                m_comments.setLimitOfCommentsForObject(m_mode == Mode::Object ? m_object : nullptr, limit);
        }
        reloadFeed(false, false, true);
        return false;
    }
    if (m_opener)
        m_opener(url);
    return false;
}

void FeedModel::showCommentsForEmails(const QStringList& emails)
{
    const QSet<QString> wanted(emails.begin(), emails.end());
    if (wanted == m_filterEmails)
        return;
    m_filterEmails = wanted;
    runScript(kScriptAttempts);
    m_services.scheduler->after(kDelayMs, this, [this] { emit scrollToBottomRequested(); });
}

QStringList FeedModel::filterEmails() const
{
    QStringList emails(m_filterEmails.begin(), m_filterEmails.end());
    emails.sort();
    return emails;
}

void FeedModel::runScript(int attempts)
{
    if (attempts <= 0 || !m_runScript)
        return;
    const QByteArray emails =
        QJsonDocument(QJsonArray::fromStringList(filterEmails())).toJson(QJsonDocument::Compact);
    QPointer<FeedModel> self(this);
    m_runScript(QStringLiteral("showCommentsForEmails(%1)").arg(QString::fromUtf8(emails)),
                [self, attempts](bool answered) {
                    // No answer: the page is not ready yet.
                    if (self && !answered)
                        self->m_services.scheduler->after(
                            kDelayMs, self, [self, attempts] { self->runScript(attempts - 1); });
                });
}

QUrl FeedModel::internalBrowserAddress() const
{
    const store::ManagedObject* object = m_mode == Mode::Object ? m_object : nullptr;
    QString query = QStringLiteral("?");
    if (m_filterByDays > 0)
        query = QStringLiteral("?days=%1&").arg(m_filterByDays);
    else if (const qint64 limit = m_comments.getLimitOfCommentsForObject(object); limit > 0)
        query = QStringLiteral("?limit=%1&").arg(limit);
    return QUrl(m_engine.origin() + QStringLiteral("/api/v1") + CommentsManager::getURLForObject(object) +
                query +
                QStringLiteral("app_type=%1&type=%2&version=%3")
                    .arg(QLatin1String(WebAddresses::kEdition), m_engine.deviceUID(), BuildInfo::version()));
}

void FeedModel::openInInternalBrowser()
{
    if (m_browser && !m_engine.origin().isEmpty())
        m_browser->showURLInInternalWebBrowser(internalBrowserAddress());
}

// --- The comment input

bool FeedModel::showsInput() const
{
    return store::as<TODOItem>(m_object) != nullptr;
}

void FeedModel::computeInputIsEnabled()
{
    const bool enabled = isOnServer(m_object) && !m_sending.count(keyOf(m_object));
    if (enabled != m_inputIsEnabled) {
        m_inputIsEnabled = enabled;
        emit inputEnabledChanged(enabled);
    }
}

void FeedModel::setSending(bool sending, store::ManagedObject* object)
{
    if (!isOnServer(object))
        return;
    if (sending)
        m_sending[keyOf(object)] = m_input;
    else
        m_sending.erase(keyOf(object));
    if (object == m_object)
        computeInputIsEnabled();
}

void FeedModel::replaceInput(const QString& text)
{
    m_input = text;
    if (text.isEmpty())
        layoutInput(0);
    emit inputTextReplaced(text);
}

void FeedModel::setInputText(const QString& text, const QFont& font, double width)
{
    m_input = text;
    layoutInput(Utils::heightForString(text, font, float(width)));
}

void FeedModel::layoutInput(double textHeight)
{
    double height = m_inputHeight;
    if (m_input.isEmpty())
        height = kInputHeight;
    // Grows with the text, shrinks only when emptied.
    if (const double wanted = textHeight + 5.0; wanted >= height)
        height = std::min(wanted, kMaxInputHeight);
    if (height != m_inputHeight) {
        m_inputHeight = height;
        emit inputHeightChanged(height);
    }
}

QString FeedModel::commentHtml(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) {
        return c == u' ' || c == u'\t';
    };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin).replace(u'\n', QStringLiteral("<br/>"));
}

bool FeedModel::sendComment()
{
    store::ManagedObject* object = m_object;
    const QString key = keyOf(object);
    if (!isOnServer(object) || m_sending.count(key))
        return false;
    const QString html = commentHtml(m_input);
    if (html.isEmpty())
        return false;
    Check check;
    check.uri = object->uri();
    check.text = m_input;
    check.before =
        countComments(m_comments.getCachedCommentsForObject(object), m_engine.getCurrentUserEmail(), m_input);
    check.sentAt = m_engine.getServerSecondsSince1970();
    setNotice(key, QString());
    setSending(true, object);
    QPointer<FeedModel> self(this);
    m_comments.sendComment(
        html, object, m_filterByDays,
        [self, object, key](const QString& page) {
            if (!self)
                return;
            if (!page.isNull() && self->m_object == object) {
                self->replaceInput(QString());
                if (self->loadHTML(page))
                    self->postRefreshed(object);
            }
            self->finishSending(key);
        },
        [self, key, check](const SendFailure& failure) {
            if (!self)
                return;
            if (failure.mayHaveArrived) {
                self->m_checks[key] = check;
                self->setNotice(key,
                                tr("The answer to your comment was lost. Checking whether it arrived..."));
                self->lookForComment(key);
                return;
            }
            // The comment stays in the input for another try.
            self->setNotice(key, tr("Your comment was not sent. You can send it again."));
            self->finishSending(key);
        });
    return true;
}

void FeedModel::lookForComment(const QString& key)
{
    const auto check = m_checks.find(key);
    if (check == m_checks.end() || check->second.asking)
        return;
    store::ManagedObject* object = m_engine.managedContext().objectForURI(check->second.uri);
    if (!object) {
        m_checks.erase(check);
        finishSending(key);
        return;
    }
    QPointer<FeedModel> self(this);
    const bool started = m_comments.retrieveHTMLCommentsForObject(
        object, m_filterByDays,
        [self, key](const QString& html) {
            if (self)
                self->commentLooked(key, html);
        },
        [self, key](const std::optional<QString>&) {
            if (self)
                self->lookFailed(key);
        },
        true);
    // Not started while offline: looked for once the engine is back, the input closed meanwhile.
    if (const auto asked = m_checks.find(key); started && asked != m_checks.end())
        asked->second.asking = true;
}

void FeedModel::commentLooked(const QString& key, const QString& html)
{
    const auto found = m_checks.find(key);
    if (found == m_checks.end())
        return;
    const Check check = found->second;
    m_checks.erase(found);
    store::ManagedObject* object = m_engine.managedContext().objectForURI(check.uri);
    // Newer than the send: one more of them than the page held then, and (as far as the
    // server's clock is known here) the page's newest comment not older than the send.
    const qint64 newest = object ? m_comments.timestampForObject(object) : 0;
    const bool arrived = countComments(html, m_engine.getCurrentUserEmail(), check.text) > check.before &&
                         (!check.sentAt || newest <= 0 || newest >= *check.sentAt - kClockSlackSeconds);
    qCInfo(lcDetails, "A comment whose answer was lost %s", arrived ? "arrived" : "did not arrive");
    const bool shown = object && object == m_object && m_mode == Mode::Object;
    if (shown && loadHTML(html))
        postRefreshed(object);
    if (arrived) {
        if (shown)
            replaceInput(QString());
        else if (const auto kept = m_unsent.find(key); kept != m_unsent.end() && kept->second == check.text)
            m_unsent.erase(kept);
        setNotice(key, QString());
    } else {
        setNotice(key, tr("Your comment did not arrive. You can send it again."));
    }
    finishSending(key);
}

void FeedModel::lookFailed(const QString& key)
{
    if (!m_checks.erase(key))
        return;
    qCInfo(lcDetails, "A comment whose answer was lost could not be looked for");
    setNotice(key, tr("Could not check whether your comment arrived. Look for it in the feed before "
                      "sending it again."));
    finishSending(key);
}

void FeedModel::finishSending(const QString& key)
{
    m_sending.erase(key);
    if (m_object && keyOf(m_object) == key)
        computeInputIsEnabled();
}

QString FeedModel::notice() const
{
    const auto found = m_notices.find(keyOf(m_object));
    return found != m_notices.end() ? found->second : QString();
}

void FeedModel::setNotice(const QString& key, const QString& text)
{
    if (text.isEmpty())
        m_notices.erase(key);
    else
        m_notices[key] = text;
    if (m_object && keyOf(m_object) == key)
        emit noticeChanged(text);
}

} // namespace qv
