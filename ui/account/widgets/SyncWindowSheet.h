#pragma once

#include "sync/SyncWindowController.h"

#include <QByteArray>
#include <QDialog>
#include <QUrl>

#include <functional>

class QProgressBar;
class QWebEngineProfile;
class QWebEngineView;

namespace qv {

class SignInPage;

// The sheet that shows the sync server's sign-in pages over the document window. It only shows
// them and reports what they do: the controller decides what each page means.
class SyncWindowSheet final : public QDialog, public SignInPages {
    Q_OBJECT
public:
    // opener: where links the user clicks go (the desktop's browser when empty).
    SyncWindowSheet(QWebEngineProfile* profile, QWidget* window,
                    std::function<bool(const QUrl&)> opener = {});
    ~SyncWindowSheet() override;

    void setController(SyncWindowController* controller) { m_controller = controller; }
    QWebEngineView* view() const { return m_view; }

    // --- SignInPages ---
    void load(const QUrl& url) override;
    void openSheet() override;
    void closeSheet() override;
    void setSpinning(bool spinning) override;
    void fillSignInForm(const QString& email, const QString& password) override;
    void deleteAllCookies() override;

    // Escape or the window's close button.
    void reject() override;

private:
    friend class SignInPage;
    void finished(bool ok);

    SyncWindowController* m_controller = nullptr;
    SignInPage* m_page = nullptr;
    QWebEngineView* m_view = nullptr;
    QProgressBar* m_spinner = nullptr;
    std::function<bool(const QUrl&)> m_opener;
    // How the page loading in the main frame was asked for: a sent form is a POST.
    QByteArray m_method = "GET";
    bool m_closing = false;
};

} // namespace qv
