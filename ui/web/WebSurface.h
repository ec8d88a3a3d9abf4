#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkCookie>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <memory>

class QWidget;

// What the application asks of the web engine. The engine lives in a library of its own, loaded
// when a page is first shown, so that a start with no web page loads none of it. Everything here
// is defined in this header: the library and the program share no code but Qt's.
namespace qv::web {

enum class Navigation { LinkClicked, FormSubmitted, Redirect, Other };
// The page's own scripts, or a world of ours they cannot see.
enum class World { Page, Application };

// What a page tells its owner; any hook may be left empty.
struct PageHooks {
    // false keeps the page where it is; empty takes every navigation.
    std::function<bool(const QUrl& url, Navigation type, bool isMainFrame)> acceptNavigation;
    // A link that asks for a window of its own: its address. No window is ever made for it.
    std::function<void(const QUrl& url)> newWindow;
    // The page's console, with the address of the page that wrote it.
    std::function<void(const QString& message, const QUrl& pageUrl)> consoleMessage;
    std::function<void()> loadStarted;
    std::function<void(bool ok)> loadFinished;
    std::function<void(const QString& title)> titleChanged;
    // Runs in the application's world once each document is ready.
    QString documentReadyScript;
    bool transparentBackground = false;
    // When set, the context menu leaves out Reload and ends with this entry.
    QString menuEntry;
    std::function<void()> menuAction;
};

// A page and the view that shows it.
class Page {
public:
    Page() = default;
    virtual ~Page() = default;
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // A child of the widget the page was made for; it goes with the page.
    virtual QWidget* view() const = 0;
    virtual void load(const QUrl& url) = 0;
    virtual void setHtml(const QString& html, const QUrl& baseUrl) = 0;
    virtual void stop() = 0;
    virtual QUrl url() const = 0;
    virtual QUrl requestedUrl() const = 0;
    virtual void runJavaScript(const QString& script, World world,
                               std::function<void(const QVariant& result)> done) = 0;
    virtual double zoomFactor() const = 0;
    virtual void setZoomFactor(double factor) = 0;
    // Pages too large to be set directly are served under an address of the engine's own for as
    // long as they are kept.
    virtual QUrl serve(const QByteArray& html) = 0;
    virtual void drop(const QUrl& url) = 0;
    virtual bool isServed(const QUrl& url) const = 0;
    virtual int servedPageCount() const = 0;
};

// The address a cookie belongs to, for a jar that files cookies by address.
inline QUrl cookieAddress(const QNetworkCookie& cookie)
{
    QString host = cookie.domain();
    while (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    QUrl url;
    url.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    url.setPath(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path());
    return url;
}

// The profile the pages load in.
struct EngineSetup {
    // Where the profile keeps its data and cache; with no storage folder the pages keep nothing.
    QString storageFolder;
    QString cacheFolder;
    // What the pages start with, and what they set and remove afterwards.
    QList<QNetworkCookie> cookies;
    std::function<void(const QNetworkCookie&)> cookieAdded;
    std::function<void(const QNetworkCookie&)> cookieRemoved;
};

class Engine {
public:
    Engine() = default;
    virtual ~Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The engine must outlive its pages.
    virtual std::unique_ptr<Page> createPage(QWidget* parent, PageHooks hooks) = 0;
    virtual void deleteAllCookies() = 0;
};

// The library's one entry point.
using CreateEngine = Engine* (*)(const EngineSetup& setup);
inline constexpr const char* kCreateEngine = "quadrivo_create_web_engine";

} // namespace qv::web
