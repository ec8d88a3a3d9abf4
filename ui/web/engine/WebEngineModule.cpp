// The web engine's side of ui/web/WebSurface.h, built as a library of its own and loaded when the
// first page is shown.
#include "ui/web/WebSurface.h"
#include "ui/web/engine/ServedPages.h"

#include <QContextMenuEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QPointer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

Q_LOGGING_CATEGORY(lcWebEngine, "qv.ui.web.engine", QtInfoMsg)

namespace qv::web {

namespace {

Navigation navigationOf(QWebEnginePage::NavigationType type)
{
    switch (type) {
    case QWebEnginePage::NavigationTypeLinkClicked:
        return Navigation::LinkClicked;
    case QWebEnginePage::NavigationTypeFormSubmitted:
        return Navigation::FormSubmitted;
    case QWebEnginePage::NavigationTypeRedirect:
        return Navigation::Redirect;
    default:
        return Navigation::Other;
    }
}

class HookedPage final : public QWebEnginePage {
public:
    HookedPage(QWebEngineProfile* profile, const PageHooks& hooks, QObject* parent)
        : QWebEnginePage(profile, parent), m_hooks(hooks)
    {
        if (!m_hooks.documentReadyScript.isEmpty()) {
            QWebEngineScript script;
            script.setName(QStringLiteral("quadrivo-ready"));
            script.setSourceCode(m_hooks.documentReadyScript);
            script.setInjectionPoint(QWebEngineScript::DocumentReady);
            script.setWorldId(QWebEngineScript::ApplicationWorld);
            scripts().insert(script);
        }
        if (m_hooks.transparentBackground)
            setBackgroundColor(Qt::transparent);
        connect(this, &QWebEnginePage::loadStarted, this, [this] {
            if (m_hooks.loadStarted)
                m_hooks.loadStarted();
        });
        connect(this, &QWebEnginePage::loadFinished, this, [this](bool ok) {
            if (m_hooks.loadFinished)
                m_hooks.loadFinished(ok);
        });
        connect(this, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
            if (m_hooks.titleChanged)
                m_hooks.titleChanged(title);
        });
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        return !m_hooks.acceptNavigation || m_hooks.acceptNavigation(url, navigationOf(type), isMainFrame);
    }

    // A page's console may repeat what the user typed: it reaches the owner, never the log.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString&) override
    {
        if (m_hooks.consoleMessage)
            m_hooks.consoleMessage(message, url());
    }

    // The page made for the window never shows: its first address is all that is wanted.
    QWebEnginePage* createWindow(WebWindowType) override
    {
        if (!m_hooks.newWindow)
            return nullptr;
        auto* catcher = new QWebEnginePage(profile(), this);
        connect(catcher, &QWebEnginePage::urlChanged, this, [this, catcher](const QUrl& url) {
            m_hooks.newWindow(url);
            catcher->deleteLater();
        });
        return catcher;
    }

private:
    PageHooks m_hooks;
};

class HookedView final : public QWebEngineView {
public:
    HookedView(QString entry, std::function<void()> action, QWidget* parent)
        : QWebEngineView(parent), m_entry(std::move(entry)), m_action(std::move(action))
    {
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        if (m_entry.isEmpty()) {
            QWebEngineView::contextMenuEvent(event);
            return;
        }
        QMenu* menu = createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->removeAction(page()->action(QWebEnginePage::Reload));
        menu->addSeparator();
        menu->addAction(m_entry, this, [action = m_action] {
            if (action)
                action();
        });
        menu->popup(event->globalPos());
    }

private:
    QString m_entry;
    std::function<void()> m_action;
};

class EnginePage final : public Page {
public:
    EnginePage(QWebEngineProfile* profile, QWidget* parent, const PageHooks& hooks)
    {
        m_view = new HookedView(hooks.menuEntry, hooks.menuAction, parent);
        m_page = new HookedPage(profile, hooks, m_view);
        m_view->setPage(m_page);
        m_served = ServedPages::forProfile(profile);
    }
    ~EnginePage() override
    {
        // The page is the view's child and goes with it.
        delete m_view.data();
    }

    QWidget* view() const override { return m_view; }
    void load(const QUrl& url) override
    {
        if (m_page)
            m_page->load(url);
    }
    void setHtml(const QString& html, const QUrl& baseUrl) override
    {
        if (m_page)
            m_page->setHtml(html, baseUrl);
    }
    void stop() override
    {
        if (m_page)
            m_page->triggerAction(QWebEnginePage::Stop);
    }
    QUrl url() const override { return m_page ? m_page->url() : QUrl(); }
    QUrl requestedUrl() const override { return m_page ? m_page->requestedUrl() : QUrl(); }
    void runJavaScript(const QString& script, World world, std::function<void(const QVariant&)> done) override
    {
        if (!m_page)
            return;
        const quint32 id = world == World::Page ? quint32(QWebEngineScript::MainWorld)
                                                : quint32(QWebEngineScript::ApplicationWorld);
        if (done)
            m_page->runJavaScript(script, id,
                                  [done = std::move(done)](const QVariant& value) { done(value); });
        else
            m_page->runJavaScript(script, id);
    }
    double zoomFactor() const override { return m_view ? m_view->zoomFactor() : 1.0; }
    void setZoomFactor(double factor) override
    {
        if (m_view)
            m_view->setZoomFactor(factor);
    }
    QUrl serve(const QByteArray& html) override { return m_served ? m_served->put(html) : QUrl(); }
    void drop(const QUrl& url) override
    {
        if (m_served && isServed(url))
            m_served->drop(url);
    }
    bool isServed(const QUrl& url) const override
    {
        return url.scheme() == QLatin1String(ServedPages::kScheme);
    }
    int servedPageCount() const override { return m_served ? m_served->pageCount() : 0; }

private:
    QPointer<HookedView> m_view;
    QPointer<HookedPage> m_page;
    QPointer<ServedPages> m_served;
};

class WebEngine final : public Engine {
public:
    explicit WebEngine(const EngineSetup& setup) : m_setup(setup)
    {
        ServedPages::registerScheme();
        if (m_setup.storageFolder.isEmpty()) {
            m_profile = QWebEngineProfile::defaultProfile();
            return;
        }
        m_owned = new QWebEngineProfile(QStringLiteral("quadrivo"));
        m_profile = m_owned;
        m_profile->setPersistentStoragePath(m_setup.storageFolder);
        m_profile->setCachePath(m_setup.cacheFolder);
        m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);

        QWebEngineCookieStore* store = m_profile->cookieStore();
        // What the sync engine holds reaches the pages (a session of an earlier run, say).
        for (const QNetworkCookie& cookie : m_setup.cookies)
            store->setCookie(cookie, cookieAddress(cookie));
        QObject::connect(store, &QWebEngineCookieStore::cookieAdded, store,
                         [this](const QNetworkCookie& cookie) {
                             if (m_setup.cookieAdded)
                                 m_setup.cookieAdded(cookie);
                         });
        QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, store,
                         [this](const QNetworkCookie& cookie) {
                             if (m_setup.cookieRemoved)
                                 m_setup.cookieRemoved(cookie);
                         });
        store->loadAllCookies();
        qCInfo(lcWebEngine, "Web profile ready (%lld cookies handed over)",
               qlonglong(m_setup.cookies.size()));
    }
    ~WebEngine() override { delete m_owned; }

    std::unique_ptr<Page> createPage(QWidget* parent, PageHooks hooks) override
    {
        return std::make_unique<EnginePage>(m_profile, parent, hooks);
    }

    void deleteAllCookies() override { m_profile->cookieStore()->deleteAllCookies(); }

private:
    EngineSetup m_setup;
    QWebEngineProfile* m_profile = nullptr;
    QWebEngineProfile* m_owned = nullptr;
};

} // namespace

} // namespace qv::web

extern "C" Q_DECL_EXPORT qv::web::Engine* quadrivo_create_web_engine(const qv::web::EngineSetup& setup)
{
    return new qv::web::WebEngine(setup);
}
