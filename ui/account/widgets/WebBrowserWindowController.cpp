#include "ui/account/widgets/WebBrowserWindowController.h"

#include "platform/Alerts.h"
#include "ui/account/widgets/AccountLogging.h"
#include "ui/web/WebEngineLoader.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

WebBrowserWindowController::WebBrowserWindowController(WebEngineLoader& web, Alerts* alerts, QWidget* window,
                                                       std::function<bool(const QUrl&)> opener)
    : QDialog(window), m_web(web), m_alerts(alerts), m_opener(std::move(opener))
{
    setWindowModality(Qt::WindowModal);
    resize(900, 680);
    m_spinner = new QProgressBar(this);
    m_spinner->setRange(0, 0);
    m_spinner->setMaximumHeight(4);
    m_spinner->setTextVisible(false);
    m_spinner->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* external =
        buttons->addButton(QStringLiteral("Open in Browser"), QDialogButtonBox::ActionRole);
    connect(external, &QPushButton::clicked, this,
            &WebBrowserWindowController::openCurrentURLInExternalBrowser);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 8);
    m_layout->addWidget(m_spinner);
    m_layout->addStretch(1);
    m_layout->addWidget(buttons);
}

// The page goes before the window's widgets.
WebBrowserWindowController::~WebBrowserWindowController() = default;

web::Page* WebBrowserWindowController::ensurePage()
{
    if (m_page)
        return m_page.get();
    web::PageHooks hooks;
    hooks.loadStarted = [this] {
        qCDebug(lcAccountWidgets, "%s", qUtf8Printable(m_page->requestedUrl().path()));
        m_spinner->show();
        m_loading = true;
    };
    hooks.loadFinished = [this](bool) {
        qCDebug(lcAccountWidgets, "%s", qUtf8Printable(m_page->url().path()));
        m_spinner->hide();
        m_loading = false;
    };
    hooks.titleChanged = [this](const QString& title) {
        setWindowTitle(title);
    };
    m_page = m_web.createPage(this, std::move(hooks));
    if (m_page) {
        // In the stretch's place, between the spinner and the buttons.
        delete m_layout->takeAt(1);
        m_layout->insertWidget(1, m_page->view(), 1);
    }
    return m_page.get();
}

void WebBrowserWindowController::showURLInInternalWebBrowser(const QUrl& url)
{
    // The path only: the query may name the user.
    qCInfo(lcAccountWidgets, "Opening project webBrowser window for url: %s", qUtf8Printable(url.path()));
    if (!ensurePage()) {
        // No web engine here: the desktop's browser shows the page instead.
        m_requested = url;
        openCurrentURLInExternalBrowser();
        return;
    }
    startLoadingURL(url);
    show();
    raise();
    activateWindow();
}

void WebBrowserWindowController::startLoadingURL(const QUrl& url)
{
    if (!ensurePage())
        return;
    // Asked again while it still loads, or while it is shown: once is enough.
    if (url == m_page->url() || (url == m_requested && m_loading))
        return;
    m_requested = url;
    m_loading = true;
    ++m_loadsStarted;
    // The old page goes first, so it is never shown under the new address.
    m_page->load(QUrl(QStringLiteral("about:blank")));
    m_page->load(url);
}

void WebBrowserWindowController::openCurrentURLInExternalBrowser()
{
    const QUrl url = !m_page || m_page->url().isEmpty() ? m_requested : m_page->url();
    const bool opened = m_opener ? m_opener(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        if (m_alerts)
            m_alerts->alert(
                QStringLiteral("We couldn't open the url. Please make sure you're logged in, and with "
                               "internet connectivity."));
        return;
    }
    accept();
}

} // namespace qv
