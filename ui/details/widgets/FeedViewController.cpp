#include "ui/details/widgets/FeedViewController.h"

#include "core/util/FontSizeTiers.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "ui/board/BoardImages.h"
#include "ui/board/QuadrantColors.h"
#include "ui/details/FeedModel.h"
#include "ui/details/widgets/ResponderTextView.h"
#include "ui/web/WebEngineLoader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {

constexpr int kUsualTier = 2;

QToolButton* toolButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(name);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FeedViewController::FeedViewController(const Services& services, CommentsManager& comments,
                                       QVRestManager& engine, QWidget* parent)
    : QWidget(parent), m_preferences(services.preferences),
      m_model(new FeedModel(services, comments, engine, this))
{
    setObjectName(QStringLiteral("feedView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);

    m_title = new QLabel(this);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setObjectName(QStringLiteral("feedTitle"));
    m_title->setContentsMargins(4, 2, 4, 0);
    m_title->hide();
    layout->addWidget(m_title);

    m_spinner = new QProgressBar(this);
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedHeight(3);
    m_spinner->hide();
    layout->addWidget(m_spinner);

    // The web view takes this place when the first page is shown.
    m_pageArea = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(m_pageArea);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pageArea, 1);

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("commentNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setContentsMargins(4, 0, 4, 0);
    m_notice->hide();
    layout->addWidget(m_notice);

    m_inputContainer = new QWidget(this);
    m_inputContainer->setObjectName(QStringLiteral("commentInputArea"));
    auto* row = new QHBoxLayout(m_inputContainer);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_talkButton = toolButton(tr("Comment"), QStringLiteral("talkButton"), m_inputContainer);
    m_talkButton->setToolTip(tr("Write a comment, or fold the feed"));
    m_input = new ResponderTextView(m_inputContainer);
    m_sendButton = toolButton(tr("Send"), QStringLiteral("sendButton"), m_inputContainer);
    m_sendButton->setToolTip(tr("Send the comment (Shift+Return)"));
    m_uploadButton = toolButton(tr("Attach"), QStringLiteral("uploadButton"), m_inputContainer);
    m_uploadButton->setToolTip(tr("Attach a file or a screenshot to the item"));
    m_uploadButton->setIcon(
        QPixmap::fromImage(BoardImages::imageNamed(QStringLiteral("UI_icon_mac_paperclip"))));
    m_uploadButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_uploadButton->setPopupMode(QToolButton::InstantPopup);
    m_uploadButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    auto* uploads = new QMenu(m_uploadButton);
    uploads->addAction(tr("Upload File..."), this, &FeedViewController::uploadFileRequested);
    uploads->addAction(tr("Upload Screenshot..."), this, &FeedViewController::uploadScreenshotRequested);
    m_uploadButton->setMenu(uploads);
    row->addWidget(m_talkButton, 0, Qt::AlignTop);
    row->addWidget(m_input, 1);
    row->addWidget(m_sendButton, 0, Qt::AlignTop);
    row->addWidget(m_uploadButton, 0, Qt::AlignTop);
    layout->addWidget(m_inputContainer);
    m_input->installEventFilter(this);

    connect(m_talkButton, &QToolButton::clicked, this, &FeedViewController::talkUntalk);
    connect(m_sendButton, &QToolButton::clicked, m_model, &FeedModel::sendComment);
    connect(m_input, &ResponderTextView::sendRequested, m_model, &FeedModel::sendComment);
    connect(m_input, &QPlainTextEdit::textChanged, this, &FeedViewController::inputChanged);

    connect(m_model, &FeedModel::pageChanged, this, [this](const QString& html) { showPage(html); });
    connect(m_model, &FeedModel::scrollToBottomRequested, this, &FeedViewController::scrollToBottom);
    connect(m_model, &FeedModel::loadingChanged, m_spinner, &QWidget::setVisible);
    connect(m_model, &FeedModel::inputTextReplaced, this, [this](const QString& text) {
        if (text == m_input->toPlainText())
            return;
        m_replacing = true;
        m_input->setPlainText(text);
        m_replacing = false;
        inputChanged();
    });
    connect(m_model, &FeedModel::inputHeightChanged, this,
            [this](double height) { m_inputContainer->setFixedHeight(qRound(height)); });
    connect(m_model, &FeedModel::inputEnabledChanged, m_input, &QWidget::setEnabled);
    connect(m_model, &FeedModel::inputEnabledChanged, m_sendButton, &QWidget::setEnabled);
    connect(m_model, &FeedModel::layoutChanged, this, &FeedViewController::readjustLayout);
    connect(m_model, &FeedModel::noticeChanged, this, [this](const QString& notice) {
        m_notice->setText(notice);
        readjustLayout();
    });
    connect(m_model, &FeedModel::onlineChanged, m_input, &ResponderTextView::setOnline);
    m_model->setScriptRunner([this](const QString& script, std::function<void(bool)> done) {
        // No page yet: its load runs the script again.
        if (!m_page) {
            done(false);
            return;
        }
        m_page->runJavaScript(script, web::World::Page,
                              [done = std::move(done)](const QVariant& result) { done(result.isValid()); });
    });

    if (m_preferences) {
        connect(m_preferences, &Preferences::changed, this, [this](const QString& key) {
            if (key == FontSizeTiers::key())
                applyFontTier();
        });
    }
    applyFontTier();
    m_input->setOnline(m_model->isOnline());
    m_input->setEnabled(m_model->inputIsEnabled());
    m_sendButton->setEnabled(m_model->inputIsEnabled());
    m_inputContainer->setFixedHeight(qRound(m_model->inputHeight()));
    inputChanged();
    readjustLayout();
}

FeedViewController::~FeedViewController()
{
    dropServedPage();
}

web::Page* FeedViewController::ensurePage()
{
    if (m_page || !m_web)
        return m_page.get();
    web::PageHooks hooks;
    // Navigations are the model's to decide; a link that asks for a window of its own is judged
    // as a clicked link.
    hooks.acceptNavigation = [this](const QUrl& url, web::Navigation type, bool isMainFrame) {
        return !isMainFrame || m_model->acceptNavigation(url, type == web::Navigation::LinkClicked ||
                                                                  type == web::Navigation::FormSubmitted);
    };
    hooks.newWindow = [this](const QUrl& url) {
        m_model->acceptNavigation(url, true);
    };
    hooks.loadFinished = [this](bool ok) {
        ++m_pagesLoaded;
        m_model->pageLoaded();
        emit pageLoaded(ok);
    };
    // The server's page sets dark text for a light window: on a dark desktop it keeps its own
    // light background rather than showing the drawer's dark one through.
    hooks.transparentBackground = !QuadrantColors::isDark(palette());
    // The page is zoomed with the font tier: an address or a link too long for the drawer breaks
    // where it must instead of making the page scroll sideways.
    hooks.documentReadyScript =
        QStringLiteral("(function () {"
                       "  var style = document.createElement('style');"
                       "  style.textContent = 'html { overflow-wrap: anywhere; }';"
                       "  (document.head || document.documentElement).appendChild(style);"
                       "})();");
    hooks.menuEntry = tr("Open in Browser");
    hooks.menuAction = [this] {
        m_model->openInInternalBrowser();
    };
    m_page = m_web->createPage(m_pageArea, std::move(hooks));
    if (!m_page)
        return nullptr;
    m_page->view()->setObjectName(QStringLiteral("feedWebView"));
    m_pageArea->layout()->addWidget(m_page->view());
    m_page->setZoomFactor(m_zoom);
    return m_page.get();
}

void FeedViewController::setWebEngine(WebEngineLoader* web)
{
    if (web == m_web)
        return;
    dropServedPage();
    m_page.reset();
    m_web = web;
    m_model->reloadFeed(true, true, true);
}

void FeedViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showPendingPage();
}

void FeedViewController::setRepresentedObject(store::ManagedObject* object)
{
    m_model->setRepresentedObject(object);
}

void FeedViewController::showCommentsForEmails(const QStringList& emails)
{
    m_model->showCommentsForEmails(emails);
}

void FeedViewController::reloadFeed(bool fast, bool scroll, bool force)
{
    m_model->reloadFeed(fast, scroll, force);
}

void FeedViewController::applyFontTier()
{
    if (!m_preferences)
        return;
    const int tier = FontSizeTiers::currentTier(*m_preferences);
    QFont font = m_input->font();
    font.setPixelSize(int(FontSizeTiers::fontSize(tier)));
    m_input->setFont(font);
    // The server sets the page's sizes; they grow and shrink from those of a new user's tier.
    const double zoom = double(FontSizeTiers::fontSize(tier) / FontSizeTiers::fontSize(kUsualTier));
    if (!qFuzzyCompare(zoom, m_zoom)) {
        m_zoom = zoom;
        if (m_page)
            m_page->setZoomFactor(zoom);
        // The newest comments stay in sight.
        scrollToBottom();
    }
    inputChanged();
}

void FeedViewController::scrollToBottom()
{
    if (m_page)
        m_page->runJavaScript(QStringLiteral("window.scrollTo(0, document.documentElement.scrollHeight);"),
                              web::World::Page, {});
}

void FeedViewController::setTitle(const QString& title)
{
    m_title->setText(title);
    m_title->setVisible(!title.isEmpty());
}

void FeedViewController::dropServedPage()
{
    if (m_page)
        m_page->drop(m_pageUrl);
}

void FeedViewController::showPage(const QString& html)
{
    m_pendingPage = html;
    m_hasPendingPage = true;
    showPendingPage();
}

void FeedViewController::showPendingPage()
{
    // A feed nobody sees makes no page: the web engine loads when one is first shown.
    if (!m_hasPendingPage || !isVisible() || (!m_page && m_pendingPage.isNull()) || !ensurePage())
        return;
    m_hasPendingPage = false;
    const QString html = std::exchange(m_pendingPage, QString());
    m_page->stop();
    dropServedPage();
    if (html.isNull()) {
        m_pageUrl = QUrl(QStringLiteral("about:blank"));
        m_page->load(m_pageUrl);
        return;
    }
    const QByteArray utf8 = html.toUtf8();
    if (FeedModel::fitsInline(utf8)) {
        m_pageUrl = m_model->baseUrl();
        m_page->setHtml(html, m_pageUrl);
        return;
    }
    m_pageUrl = m_page->serve(FeedModel::withBaseAddress(utf8, m_model->baseUrl()));
    m_page->load(m_pageUrl);
}

void FeedViewController::readjustLayout()
{
    const bool input = m_model->showsInput();
    m_notice->setVisible(input && !m_notice->text().isEmpty());
    m_inputContainer->setVisible(input);
    m_talkButton->setVisible(input);
}

void FeedViewController::inputChanged()
{
    if (m_replacing)
        return;
    const QString text = m_input->toPlainText();
    const double margins = 2 * m_input->document()->documentMargin();
    m_model->setInputText(text, m_input->font(), std::max(1.0, m_input->viewport()->width() - margins));
    m_sendButton->setVisible(!text.isEmpty());
    m_uploadButton->setVisible(text.isEmpty());
}

void FeedViewController::talkUntalk()
{
    if (m_input->hasFocus())
        emit toggleFeedRequested();
    else
        m_input->setFocus(Qt::OtherFocusReason);
}

bool FeedViewController::eventFilter(QObject* watched, QEvent* event)
{
    // The area's height follows the width the text wraps at.
    if (watched == m_input && event->type() == QEvent::Resize)
        inputChanged();
    return QWidget::eventFilter(watched, event);
}

} // namespace qv
