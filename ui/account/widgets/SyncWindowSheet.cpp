#include "ui/account/widgets/SyncWindowSheet.h"

#include "ui/account/widgets/AccountLogging.h"
#include "ui/web/WebEngineLoader.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>
#include <QShortcut>
#include <QVBoxLayout>

namespace qv {

namespace {

// What the sign-in form sends, passed to the sheet through the console; nothing else is read.
const QString kFormMark = QStringLiteral("quadrivo-sign-in-form:");

const char* const kFormWatch = R"JS(
(function () {
  document.addEventListener('submit', function (event) {
    var form = event.target;
    var user = form.querySelector('input[name="username"]');
    var password = form.querySelector('input[name="password"]');
    if (user && password)
      console.log('quadrivo-sign-in-form:' + JSON.stringify({u: user.value, p: password.value}));
  }, true);
})();
)JS";

} // namespace

SyncWindowSheet::SyncWindowSheet(WebEngineLoader& web, QWidget* window,
                                 std::function<bool(const QUrl&)> opener)
    : QDialog(window), m_web(web), m_opener(std::move(opener))
{
    setWindowTitle(QStringLiteral("Sign In"));
    setWindowModality(Qt::WindowModal);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    resize(520, 560);

    m_spinner = new QProgressBar(this);
    m_spinner->setRange(0, 0);
    m_spinner->setMaximumHeight(4);
    m_spinner->setTextVisible(false);
    m_spinner->hide();
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_spinner);

    // The web view takes every key the page has focus for, Escape included, so the dialog's own
    // Escape handling never hears it; a shortcut of the sheet's window does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &SyncWindowSheet::reject);
}

// The page goes before the sheet's widgets.
SyncWindowSheet::~SyncWindowSheet() = default;

web::Page* SyncWindowSheet::ensurePage()
{
    if (m_page)
        return m_page.get();
    web::PageHooks hooks;
    hooks.documentReadyScript = QString::fromLatin1(kFormWatch);
    hooks.acceptNavigation = [this](const QUrl& url, web::Navigation type, bool isMainFrame) {
        return acceptNavigation(url, type, isMainFrame);
    };
    hooks.consoleMessage = [this](const QString& message, const QUrl& pageUrl) {
        consoleMessage(message, pageUrl);
    };
    hooks.loadStarted = [this] {
        if (m_controller)
            m_controller->pageStarted();
    };
    hooks.loadFinished = [this](bool ok) {
        finished(ok);
    };
    m_page = m_web.createPage(this, std::move(hooks));
    if (m_page)
        m_layout->addWidget(m_page->view(), 1);
    return m_page.get();
}

bool SyncWindowSheet::acceptNavigation(const QUrl& url, web::Navigation type, bool isMainFrame)
{
    if (!isMainFrame)
        return true;
    if (SyncWindowController::navigationPolicy(type == web::Navigation::LinkClicked) ==
        SyncWindowController::Navigation::OpenExternally) {
        if (m_opener)
            m_opener(url);
        else
            QDesktopServices::openUrl(url);
        return false;
    }
    // A redirect answers with a GET whatever led to it.
    m_method = type == web::Navigation::FormSubmitted ? "POST" : "GET";
    return true;
}

void SyncWindowSheet::consoleMessage(const QString& message, const QUrl& pageUrl)
{
    // Only the server's own sign-in page speaks for the account; never logged.
    if (!message.startsWith(kFormMark) || !m_controller ||
        !pageUrl.toString().startsWith(m_controller->baseAddress() + QStringLiteral("/desktoplogin/")))
        return;
    const QJsonObject form = QJsonDocument::fromJson(message.mid(kFormMark.size()).toUtf8()).object();
    m_controller->signInFormSubmitted(form.value(QStringLiteral("u")).toString(),
                                      form.value(QStringLiteral("p")).toString());
}

void SyncWindowSheet::finished(bool ok)
{
    if (!m_controller || !m_page)
        return;
    if (ok)
        m_controller->pageFinished(m_page->url(), m_method);
    else
        m_controller->pageFailed(m_page->requestedUrl());
}

void SyncWindowSheet::load(const QUrl& url)
{
    m_method = "GET";
    if (!ensurePage()) {
        // No web engine: the sheet cannot show the page, which is what a failed load says.
        if (m_controller)
            m_controller->pageFailed(url);
        return;
    }
    m_page->load(url);
}

void SyncWindowSheet::openSheet()
{
    if (isVisible())
        return;
    qCInfo(lcAccountWidgets, "Opening the sign-in sheet");
    ensurePage();
    show();
    raise();
    activateWindow();
}

void SyncWindowSheet::closeSheet()
{
    m_closing = true;
    hide();
    m_closing = false;
}

void SyncWindowSheet::reject()
{
    // Escape or the window's close button.
    if (m_closing || !m_controller) {
        QDialog::reject();
        return;
    }
    m_controller->cancelOperation();
    emit cancelled();
}

void SyncWindowSheet::setSpinning(bool spinning)
{
    m_spinner->setVisible(spinning);
}

void SyncWindowSheet::fillSignInForm(const QString& email, const QString& password)
{
    if (email.isEmpty() || !m_page)
        return;
    const QJsonObject values{{QStringLiteral("u"), email}, {QStringLiteral("p"), password}};
    m_page->runJavaScript(QStringLiteral("(function (v) {"
                                         "  var u = document.querySelector('input[name=\"username\"]');"
                                         "  var p = document.querySelector('input[name=\"password\"]');"
                                         "  if (u && !u.value) u.value = v.u;"
                                         "  if (p && !p.value && v.p) p.value = v.p;"
                                         "})(%1);")
                              .arg(QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact))),
                          web::World::Application, {});
}

void SyncWindowSheet::deleteAllCookies()
{
    // The web profile keeps its cookies on disk: it is loaded to forget them, or the next page
    // shown would bring the ended session back.
    if (web::Engine* engine = m_web.engine())
        engine->deleteAllCookies();
}

} // namespace qv
