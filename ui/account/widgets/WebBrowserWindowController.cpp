#include "ui/account/widgets/WebBrowserWindowController.h"

#include "platform/Alerts.h"
#include "ui/account/widgets/AccountLogging.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace qv {

WebBrowserWindowController::WebBrowserWindowController(QWebEngineProfile* profile, Alerts* alerts,
                                                       QWidget* window,
                                                       std::function<bool(const QUrl&)> opener)
    : QDialog(window), m_alerts(alerts), m_opener(std::move(opener))
{
    setWindowModality(Qt::WindowModal);
    resize(900, 680);
    m_view = new QWebEngineView(this);
    m_view->setPage(new QWebEnginePage(profile, m_view));
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(m_spinner);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);

    QWebEnginePage* page = m_view->page();
    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        qCDebug(lcAccountWidgets, "%s", qUtf8Printable(m_view->page()->requestedUrl().path()));
        m_spinner->show();
        m_loading = true;
    });
    connect(page, &QWebEnginePage::loadFinished, this, [this] {
        qCDebug(lcAccountWidgets, "%s", qUtf8Printable(m_view->url().path()));
        m_spinner->hide();
        m_loading = false;
    });
    connect(page, &QWebEnginePage::titleChanged, this, &QWidget::setWindowTitle);
}

WebBrowserWindowController::~WebBrowserWindowController() = default;

void WebBrowserWindowController::showURLInInternalWebBrowser(const QUrl& url)
{
    // The path only: the query may name the user.
    qCInfo(lcAccountWidgets, "Opening project webBrowser window for url: %s", qUtf8Printable(url.path()));
    startLoadingURL(url);
    show();
    raise();
    activateWindow();
}

void WebBrowserWindowController::startLoadingURL(const QUrl& url)
{
    // Asked again while it still loads, or while it is shown: once is enough.
    if (url == m_view->url() || (url == m_requested && m_loading))
        return;
    m_requested = url;
    m_loading = true;
    ++m_loadsStarted;
    // The old page goes first, so it is never shown under the new address.
    m_view->setUrl(QUrl(QStringLiteral("about:blank")));
    m_view->setUrl(url);
}

void WebBrowserWindowController::openCurrentURLInExternalBrowser()
{
    const QUrl url = m_view->url().isEmpty() ? m_requested : m_view->url();
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
