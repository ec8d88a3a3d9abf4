#pragma once

#include "platform/Services.h"

#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace qv {

class AccountCommands;
class InternalBrowser;
class MainWindow;
class MyDocument;

// The window's commands that are not item operations, added to its menus: the account's sync,
// sign-in and sign-out. A command that cannot work here yet is disabled and its tooltip says why.
class WindowCommands final : public QObject {
    Q_OBJECT
public:
    WindowCommands(MainWindow& window, MyDocument& document, const Services& services);
    ~WindowCommands() override;

    // nullptr: the offline defaults (no account; pages in the desktop's browser).
    void setAccount(AccountCommands* account, InternalBrowser* browser);
    AccountCommands& account() const { return *m_account; }
    InternalBrowser& browser() const { return *m_browser; }
    // Whether quitting has begun; sync, sign-in and sign-out then do nothing.
    void setTerminatingQuery(std::function<bool()> terminating) { m_terminating = std::move(terminating); }
    bool isTerminating() const { return m_terminating && m_terminating(); }

    // Open edits are committed, then the account syncs.
    void syncWindow();

    QAction* syncAction() const { return m_sync; }
    QAction* signInAction() const { return m_signIn; }
    QAction* signOutAction() const { return m_signOut; }

    // The account's commands follow whether it is available and who is signed in.
    void refreshAccountActions();

private:
    void buildAccountMenu();

    MainWindow& m_window;
    MyDocument& m_document;
    Services m_services;
    std::unique_ptr<AccountCommands> m_offlineAccount;
    std::unique_ptr<InternalBrowser> m_desktopBrowser;
    AccountCommands* m_account = nullptr;
    InternalBrowser* m_browser = nullptr;
    std::function<bool()> m_terminating;
    QMenu* m_accountMenu = nullptr;
    QAction* m_sync = nullptr;
    QAction* m_signIn = nullptr;
    QAction* m_signOut = nullptr;
};

} // namespace qv
