#pragma once

#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "sync/SyncController.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace qv {

class MyDocument;
class QVRestManager;
class TODOList;

// The sheet that shows the sync server's sign-in pages (a web view; ui/ implements it).
class SignInPages {
public:
    virtual ~SignInPages() = default;
    // Loads the page into the sheet's view, shown or not.
    virtual void load(const QUrl& url) = 0;
    virtual void openSheet() = 0;
    virtual void closeSheet() = 0;
    virtual void setSpinning(bool spinning) = 0;
    // Fills the sign-in form with the remembered account, when the page has one.
    virtual void fillSignInForm(const QString& email, const QString& password) = 0;
    // Every cookie of the sheet's web profile.
    virtual void deleteAllCookies() = 0;
};

// The document window around the sheet (ui/ implements it).
class SyncWindowHost {
public:
    virtual ~SyncWindowHost() = default;
    virtual void showGrayOverlay() = 0;
    virtual void hideGrayOverlay() = 0;
    virtual void setStatusBarMessage(const QString& message) = 0;
    virtual void updateFilters() = 0;
    virtual void refreshController() = 0;
    virtual void selectProject(TODOList* project) = 0;
    virtual void clearFilters() = 0;
    virtual void checkForSharingRequests() {}
};

// The collaboration manager as sign-in and sign-out use it.
class SignInCollaboration {
public:
    virtual ~SignInCollaboration() = default;
    // The signed-in user's e-mail from the server. failure hears whether the server said the
    // session is no longer valid (as opposed to not answering, or answering something else).
    virtual void reloadMe(std::function<void(const QString& email)> success,
                          std::function<void(bool sessionEnded)> failure) = 0;
    virtual void initCollaboration() = 0;
    virtual void deleteCollaboration() = 0;
    // Forgets the signed-in user.
    virtual void forgetMe() = 0;
    // The e-mail address the user signed in with ("qv-login").
    virtual void setLoginEmail(const QString& email) = 0;
};

// Where account passwords are kept (the keychain).
class AccountPasswords {
public:
    virtual ~AccountPasswords() = default;
    // A null string when there is none.
    virtual QString passwordForUsername(const QString& email) = 0;
    // false when it was not stored.
    virtual bool setPasswordForUsername(const QString& password, const QString& email) = 0;
};

// Sign-in and the manual whole-document sync through the server's own pages: which page to
// load, and what each page that finished loading means. Display-free: the sheet reports its
// pages here and does what it is told.
class SyncWindowController final : public SyncControllerDelegate {
public:
    static inline const QString kLastSyncTime = QStringLiteral("kLastSyncTime");
    static inline const QString kCurrentUser = QStringLiteral("_currentUser");
    static inline const QString kLoginEmail = QStringLiteral("qv-login");
    static inline const QString kWorkOfflineOnly = QStringLiteral("kWorkOfflineOnly");
    static constexpr qint64 kRestoreTrackingDelayMs = 1'000;
    static constexpr qint64 kFillPasswordDelayMs = 1'000;

    struct Parts {
        Services services;
        MyDocument* document = nullptr;
        QVRestManager* engine = nullptr;
        SyncWindowHost* host = nullptr;
        SignInPages* pages = nullptr;
        SignInCollaboration* collaboration = nullptr;
        AccountPasswords* passwords = nullptr;
        // Where support is reached, named in the failure text.
        QString supportAddress;
    };

    explicit SyncWindowController(const Parts& parts);
    ~SyncWindowController() override;
    SyncWindowController(const SyncWindowController&) = delete;
    SyncWindowController& operator=(const SyncWindowController&) = delete;

    // The server's base address (scheme and host, no trailing slash).
    QString baseAddress() const;

    bool isSyncing() const { return m_syncController->isSyncing(); }
    void login();
    void sync();
    void logout();
    void setOnDidSync(std::function<void()> block) { m_onDidSync = std::move(block); }
    void setOnDidLogin(std::function<void()> block) { m_onDidLogin = std::move(block); }

    // --- What the sheet reports ---
    void pageStarted();
    // A page finished loading in the main frame; method is the HTTP method that fetched it.
    void pageFinished(const QUrl& url, const QByteArray& method);
    // The page could not be loaded.
    void pageFailed(const QUrl& url);
    // The sign-in form was sent with these values.
    void signInFormSubmitted(const QString& email, const QString& password);
    // Whether the sheet follows a navigation; a link the user clicked goes to the desktop's browser.
    enum class Navigation { Follow, OpenExternally };
    static Navigation navigationPolicy(bool userClickedLink)
    {
        return userClickedLink ? Navigation::OpenExternally : Navigation::Follow;
    }
    // Escape, or the sheet's window closed.
    void cancelOperation()
    {
        m_typedPassword = QString();
        closeSheet();
    }

    // --- SyncControllerDelegate ---
    void syncSucceeded() override;
    void syncFailedWithMessage(const QString& message) override;

    QString email() const { return m_email; }
    // The password the form is filled with: the keychain's, or the one of the last sign-in that
    // succeeded; never one typed into a sign-in that has not (yet) succeeded.
    QString password() const { return m_password; }
    static QDateTime timeLastSync(const Preferences& preferences);

private:
    QString pageAddress(const QString& path, bool withUser) const;
    void openSheet();
    // A close that leaves the sync it interrupts unstarted gives the loops and tracking back.
    void closeSheet();
    bool uploadToServer();
    void loginSucceeded();
    void kickstartAutoSync(bool resetPollingDates);
    void restartForAccount(const QString& email, bool resetPollingDates);
    // After a failed manual sync: the session stays unless the server ended it.
    void keepSessionAfterFailure(const QString& failure, const std::optional<QString>& email);
    void saveUserEmailPassword();
    void fillOutLogin();
    void registerTimeLastSync();
    void setStatus(const QString& message);
    bool refuseWhileInstantSyncRuns(const QString& text);
    void runSoon(std::function<void()> block);
    bool terminating() const;

    Parts m_parts;
    std::unique_ptr<SyncController> m_syncController;
    std::function<void()> m_onDidSync;
    std::function<void()> m_onDidLogin;
    QString m_email;
    QString m_password;
    // Typed into the sign-in form; kept only once the sign-in it was sent with succeeded.
    QString m_typedPassword;
    // The store's id of the project selected when the manual sync began.
    std::optional<qint64> m_origSelectedList;
    // A manual sync asked for whose upload has not started: tracking and loops are off.
    bool m_syncWaitingForUpload = false;
    bool m_sheetOpen = false;
    std::unique_ptr<QObject> m_lifetime;
};

} // namespace qv
