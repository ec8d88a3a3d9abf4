#pragma once

#include "ui/board/AccountCommands.h"

#include <QDialog>
#include <QUrl>

#include <functional>

class QProgressBar;
class QWebEngineProfile;
class QWebEngineView;

namespace qv {

class Alerts;

// The service's pages inside the application: a sheet with the page, a spinner while it
// loads, and a way out to the desktop's browser.
class WebBrowserWindowController final : public QDialog, public InternalBrowser {
    Q_OBJECT
public:
    // opener: the desktop's browser (QDesktopServices when empty); false when it could not open.
    WebBrowserWindowController(QWebEngineProfile* profile, Alerts* alerts, QWidget* window,
                               std::function<bool(const QUrl&)> opener = {});
    ~WebBrowserWindowController() override;

    // --- InternalBrowser ---
    void showURLInInternalWebBrowser(const QUrl& url) override;

    // Loads url unless it is the page shown (or loading) already.
    void startLoadingURL(const QUrl& url);
    // The page goes to the desktop's browser; the sheet closes unless that failed.
    void openCurrentURLInExternalBrowser();
    QWebEngineView* view() const { return m_view; }
    int loadsStarted() const { return m_loadsStarted; }

private:
    QWebEngineView* m_view = nullptr;
    QProgressBar* m_spinner = nullptr;
    Alerts* m_alerts = nullptr;
    std::function<bool(const QUrl&)> m_opener;
    QUrl m_requested;
    bool m_loading = false;
    int m_loadsStarted = 0;
};

} // namespace qv
