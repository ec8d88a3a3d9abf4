#include "ui/account/widgets/SyncWindowSheet.h"

#include "ui/account/widgets/AccountLogging.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

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

class SignInPage final : public QWebEnginePage {
public:
    SignInPage(QWebEngineProfile* profile, SyncWindowSheet& sheet)
        : QWebEnginePage(profile, &sheet), m_sheet(sheet)
    {
        QWebEngineScript watch;
        watch.setName(QStringLiteral("sign-in-form"));
        watch.setSourceCode(QString::fromLatin1(kFormWatch));
        watch.setInjectionPoint(QWebEngineScript::DocumentReady);
        watch.setWorldId(QWebEngineScript::ApplicationWorld);
        scripts().insert(watch);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return true;
        if (SyncWindowController::navigationPolicy(type == NavigationTypeLinkClicked) ==
            SyncWindowController::Navigation::OpenExternally) {
            if (m_sheet.m_opener)
                m_sheet.m_opener(url);
            else
                QDesktopServices::openUrl(url);
            return false;
        }
        // A redirect answers with a GET whatever led to it.
        if (type != NavigationTypeRedirect)
            m_sheet.m_method = type == NavigationTypeFormSubmitted ? "POST" : "GET";
        else
            m_sheet.m_method = "GET";
        return true;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString&) override
    {
        // Only the server's own sign-in page speaks for the account; never logged.
        if (!message.startsWith(kFormMark) || !m_sheet.m_controller ||
            !url().toString().startsWith(m_sheet.m_controller->baseAddress() +
                                         QStringLiteral("/desktoplogin/")))
            return;
        const QJsonObject form = QJsonDocument::fromJson(message.mid(kFormMark.size()).toUtf8()).object();
        m_sheet.m_controller->signInFormSubmitted(form.value(QStringLiteral("u")).toString(),
                                                  form.value(QStringLiteral("p")).toString());
    }

private:
    SyncWindowSheet& m_sheet;
};

SyncWindowSheet::SyncWindowSheet(QWebEngineProfile* profile, QWidget* window,
                                 std::function<bool(const QUrl&)> opener)
    : QDialog(window), m_opener(std::move(opener))
{
    setWindowTitle(QStringLiteral("Sign In"));
    setWindowModality(Qt::WindowModal);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    resize(520, 560);

    m_view = new QWebEngineView(this);
    m_page = new SignInPage(profile, *this);
    m_view->setPage(m_page);
    m_spinner = new QProgressBar(this);
    m_spinner->setRange(0, 0);
    m_spinner->setMaximumHeight(4);
    m_spinner->setTextVisible(false);
    m_spinner->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_spinner);
    layout->addWidget(m_view);

    // The web view takes every key the page has focus for, Escape included, so the dialog's own
    // Escape handling never hears it; a shortcut of the sheet's window does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &SyncWindowSheet::reject);

    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        if (m_controller)
            m_controller->pageStarted();
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, &SyncWindowSheet::finished);
}

SyncWindowSheet::~SyncWindowSheet()
{
    // The page goes before the view that shows it.
    m_view->setPage(nullptr);
    delete m_page;
}

void SyncWindowSheet::finished(bool ok)
{
    if (!m_controller)
        return;
    if (ok)
        m_controller->pageFinished(m_page->url(), m_method);
    else
        m_controller->pageFailed(m_page->requestedUrl());
}

void SyncWindowSheet::load(const QUrl& url)
{
    m_method = "GET";
    m_page->load(url);
}

void SyncWindowSheet::openSheet()
{
    if (isVisible())
        return;
    qCInfo(lcAccountWidgets, "Opening the sign-in sheet");
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
}

void SyncWindowSheet::setSpinning(bool spinning)
{
    m_spinner->setVisible(spinning);
}

void SyncWindowSheet::fillSignInForm(const QString& email, const QString& password)
{
    if (email.isEmpty())
        return;
    const QJsonObject values{{QStringLiteral("u"), email}, {QStringLiteral("p"), password}};
    m_page->runJavaScript(QStringLiteral("(function (v) {"
                                         "  var u = document.querySelector('input[name=\"username\"]');"
                                         "  var p = document.querySelector('input[name=\"password\"]');"
                                         "  if (u && !u.value) u.value = v.u;"
                                         "  if (p && !p.value && v.p) p.value = v.p;"
                                         "})(%1);")
                              .arg(QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact))),
                          QWebEngineScript::ApplicationWorld);
}

void SyncWindowSheet::deleteAllCookies()
{
    m_page->profile()->cookieStore()->deleteAllCookies();
}

} // namespace qv
