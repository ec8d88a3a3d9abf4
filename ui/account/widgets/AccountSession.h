#pragma once

#include "sync/SyncWindowController.h"
#include "ui/board/AccountCommands.h"
#include "ui/web/WebSurface.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QWidget;

namespace qv {

namespace rest {
class PersistentCookieJar;
}

class CollaborationManager;
class Keychain;
class MainWindow;
class MyDocument;
class QVRestManager;
class SyncWindowSheet;
class WebBrowserWindowController;
class WebEngineLoader;

// The signed-in account as the window sees it: Sync, Sign In and Sign Out through the sync
// window's sheet, the grey overlay over the board while it works, the service's pages in the
// internal browser, and the signed-in user as the server describes it.
class AccountSession final : public QObject,
                             public AccountCommands,
                             public SyncWindowHost,
                             public SignInCollaboration,
                             public AccountPasswords {
    Q_OBJECT
public:
    struct Options {
        // Where the web profile keeps its data and cache; the application's folders when empty.
        QString webStorageFolder;
        QString webCacheFolder;
        // Where clicked links go; the desktop's browser when empty.
        std::function<bool(const QUrl&)> opener;
        QString supportAddress = QStringLiteral("support@velmora.com");
        // Kept in step with the account: the signed-in user, its caches restored at sign-in and
        // emptied at sign-out.
        CollaborationManager* collaborationManager = nullptr;
    };

    // keychain may be nullptr: no password is kept. The web engine's profile is set up here as the
    // account's, its cookies kept in step with the sync engine's; web must outlive the session.
    AccountSession(MainWindow& window, MyDocument& document, QVRestManager& engine, const Services& services,
                   Keychain* keychain, WebEngineLoader& web, const Options& options);
    ~AccountSession() override;

    SyncWindowController& controller() const { return *m_controller; }
    SyncWindowSheet& sheet() const;
    WebBrowserWindowController& browser() const;
    InternalBrowser& internalBrowser() const;
    bool isGrayOverlayShown() const;

    // --- AccountCommands ---
    bool isAvailable() const override;
    QString unavailableReason() const override;
    std::optional<AccountUser> currentUser() const override;
    void sync(std::function<void()> onDidSync) override;
    void login(std::function<void()> onDidLogin) override;
    void logout() override;

    // --- SyncWindowHost ---
    void showGrayOverlay() override;
    void hideGrayOverlay() override;
    void setStatusBarMessage(const QString& message) override;
    void updateFilters() override;
    void refreshController() override;
    void selectProject(TODOList* project) override;
    void clearFilters() override;
    void checkForSharingRequests() override
    {
        if (m_checkSharingRequests)
            m_checkSharingRequests();
    }
    // After a sign-in the team panel looks for projects shared with the user.
    void setSharingRequestsCheck(std::function<void()> check) { m_checkSharingRequests = std::move(check); }

    // --- SignInCollaboration: the signed-in user from "/me/" ---
    void reloadMe(std::function<void(const QString& email)> success,
                  std::function<void(bool sessionEnded)> failure) override;
    void initCollaboration() override;
    void deleteCollaboration() override;
    void forgetMe() override;
    void setLoginEmail(const QString& email) override;

    // --- AccountPasswords ---
    QString passwordForUsername(const QString& email) override;
    bool setPasswordForUsername(const QString& password, const QString& email) override;

    // What the web profile is made with: its folders, and the pages' cookies kept in step with
    // the engine's jar for as long as the jar lives.
    static web::EngineSetup webSetup(const QString& storage, const QString& cache,
                                     rest::PersistentCookieJar* jar);

private:
    MainWindow& m_window;
    MyDocument& m_document;
    QVRestManager& m_engine;
    Services m_services;
    Keychain* m_keychain = nullptr;
    CollaborationManager* m_collaborationManager = nullptr;
    std::function<void()> m_checkSharingRequests;
    QPointer<SyncWindowSheet> m_sheet;
    QPointer<WebBrowserWindowController> m_browser;
    std::unique_ptr<SyncWindowController> m_controller;
    std::optional<AccountUser> m_me;
};

} // namespace qv
