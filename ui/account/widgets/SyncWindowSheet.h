#pragma once

#include "sync/SyncWindowController.h"
#include "ui/web/WebSurface.h"

#include <QByteArray>
#include <QDialog>
#include <QUrl>

#include <functional>
#include <memory>

class QProgressBar;
class QVBoxLayout;

namespace qv {

class WebEngineLoader;

// The sheet that shows the sync server's sign-in pages over the document window. It only shows
// them and reports what they do: the controller decides what each page means.
class SyncWindowSheet final : public QDialog, public SignInPages {
    Q_OBJECT
public:
    // opener: where links the user clicks go (the desktop's browser when empty). The page is
    // made in web's engine when the sheet first loads one; web must outlive the sheet.
    SyncWindowSheet(WebEngineLoader& web, QWidget* window, std::function<bool(const QUrl&)> opener = {});
    ~SyncWindowSheet() override;

    void setController(SyncWindowController* controller) { m_controller = controller; }
    // nullptr until a page was first loaded (or when there is no web engine).
    web::Page* page() const { return m_page.get(); }

    // --- SignInPages ---
    void load(const QUrl& url) override;
    void openSheet() override;
    void closeSheet() override;
    void setSpinning(bool spinning) override;
    void fillSignInForm(const QString& email, const QString& password) override;
    void deleteAllCookies() override;

    // Escape or the window's close button.
    void reject() override;

signals:
    // The user gave up the sign-in or the sync with Escape or the window's close button.
    void cancelled();

private:
    web::Page* ensurePage();
    bool acceptNavigation(const QUrl& url, web::Navigation type, bool isMainFrame);
    void consoleMessage(const QString& message, const QUrl& pageUrl);
    void finished(bool ok);

    WebEngineLoader& m_web;
    SyncWindowController* m_controller = nullptr;
    std::unique_ptr<web::Page> m_page;
    QVBoxLayout* m_layout = nullptr;
    QProgressBar* m_spinner = nullptr;
    std::function<bool(const QUrl&)> m_opener;
    // How the page loading in the main frame was asked for: a sent form is a POST.
    QByteArray m_method = "GET";
    bool m_closing = false;
};

} // namespace qv
