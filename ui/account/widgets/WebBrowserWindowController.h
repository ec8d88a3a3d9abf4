#pragma once

#include "ui/board/AccountCommands.h"
#include "ui/web/WebSurface.h"

#include <QDialog>
#include <QUrl>

#include <functional>
#include <memory>

class QProgressBar;
class QVBoxLayout;

namespace qv {

class Alerts;
class WebEngineLoader;

// The service's pages inside the application: a sheet with the page, a spinner while it
// loads, and a way out to the desktop's browser.
class WebBrowserWindowController final : public QDialog, public InternalBrowser {
    Q_OBJECT
public:
    // opener: the desktop's browser (QDesktopServices when empty); false when it could not open.
    // The page is made in web's engine when the first address is shown; web must outlive this.
    WebBrowserWindowController(WebEngineLoader& web, Alerts* alerts, QWidget* window,
                               std::function<bool(const QUrl&)> opener = {});
    ~WebBrowserWindowController() override;

    // --- InternalBrowser ---
    void showURLInInternalWebBrowser(const QUrl& url) override;

    // Loads url unless it is the page shown (or loading) already.
    void startLoadingURL(const QUrl& url);
    // The page goes to the desktop's browser; the sheet closes unless that failed.
    void openCurrentURLInExternalBrowser();
    // nullptr until an address was first shown (or when there is no web engine).
    web::Page* page() const { return m_page.get(); }
    int loadsStarted() const { return m_loadsStarted; }

private:
    web::Page* ensurePage();

    WebEngineLoader& m_web;
    std::unique_ptr<web::Page> m_page;
    QVBoxLayout* m_layout = nullptr;
    QProgressBar* m_spinner = nullptr;
    Alerts* m_alerts = nullptr;
    std::function<bool(const QUrl&)> m_opener;
    QUrl m_requested;
    bool m_loading = false;
    int m_loadsStarted = 0;
};

} // namespace qv
