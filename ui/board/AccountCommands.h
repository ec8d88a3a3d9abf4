#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace qv {

// The signed-in user as the window's web pages need it.
struct AccountUser {
    QString email;
    // The user's number on the server; absent until the server has told us.
    std::optional<qint64> identifier;
    // The profile's "userhash", which the report pages take; empty when the profile has none.
    QString userhash;
};

// What the window's Sync, Sign In and Sign Out commands ask of the account side. The window
// decides when; the implementation shows whatever the user must see (the sign-in page, the
// sync's progress). The window reads the state when it needs it: no signals.
class AccountCommands {
public:
    virtual ~AccountCommands() = default;
    // false: the commands are disabled and unavailableReason() says why.
    virtual bool isAvailable() const = 0;
    virtual QString unavailableReason() const { return {}; }
    // nullopt while nobody is signed in.
    virtual std::optional<AccountUser> currentUser() const = 0;
    // A whole sync (signing in first when needed); onDidSync runs once it succeeded.
    virtual void sync(std::function<void()> onDidSync) = 0;
    // onDidLogin runs once the user is signed in.
    virtual void login(std::function<void()> onDidLogin) = 0;
    virtual void logout() = 0;
};

// Pages of the service shown inside the application.
class InternalBrowser {
public:
    virtual ~InternalBrowser() = default;
    virtual void showURLInInternalWebBrowser(const QUrl& url) = 0;
};

} // namespace qv
