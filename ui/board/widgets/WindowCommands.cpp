#include "ui/board/widgets/WindowCommands.h"

#include "ui/board/AccountCommands.h"
#include "ui/board/OfflineAccountCommands.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"
#include "ui/board/widgets/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace qv {

namespace {

void setAvailable(QAction* action, bool enabled, const QString& tip, const QString& reason)
{
    action->setEnabled(enabled);
    action->setToolTip(enabled || reason.isEmpty() ? tip : reason);
}

} // namespace

WindowCommands::WindowCommands(MainWindow& window, MyDocument& document, const Services& services)
    : QObject(&window), m_window(window), m_document(document), m_services(services),
      m_offlineAccount(std::make_unique<OfflineAccountCommands>()),
      m_desktopBrowser(std::make_unique<DesktopBrowser>()), m_account(m_offlineAccount.get()),
      m_browser(m_desktopBrowser.get())
{
    buildAccountMenu();
    refreshAccountActions();
    // Four seconds into the run an offline user is led to the sync or the sign-in.
    connect(&m_window, &MainWindow::syncWindowRequested, this, &WindowCommands::syncWindow);
    connect(&m_window, &MainWindow::loginRequested, this, [this] {
        if (!isTerminating() && m_account->isAvailable())
            m_account->login([this] { refreshAccountActions(); });
    });
}

WindowCommands::~WindowCommands() = default;

void WindowCommands::setAccount(AccountCommands* account, InternalBrowser* browser)
{
    m_account = account ? account : m_offlineAccount.get();
    m_browser = browser ? browser : m_desktopBrowser.get();
    refreshAccountActions();
}

void WindowCommands::syncWindow()
{
    if (isTerminating() || !m_account->isAvailable())
        return;
    m_window.endAllEditing();
    qCDebug(lcBoardWidgets, "Opening sync window");
    m_account->sync([this] { refreshAccountActions(); });
}

void WindowCommands::buildAccountMenu()
{
    m_accountMenu = m_window.menuBar()->addMenu(QStringLiteral("&Account"));
    m_accountMenu->setToolTipsVisible(true);

    m_sync = m_accountMenu->addAction(QStringLiteral("Sync Now"));
    m_sync->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(m_sync, &QAction::triggered, this, &WindowCommands::syncWindow);

    m_signIn = m_accountMenu->addAction(QStringLiteral("Sign In…"));
    connect(m_signIn, &QAction::triggered, this, [this] {
        if (isTerminating())
            return;
        qCDebug(lcBoardWidgets, "Opening sync window");
        m_account->login([this] { refreshAccountActions(); });
    });

    m_signOut = m_accountMenu->addAction(QStringLiteral("Sign Out"));
    connect(m_signOut, &QAction::triggered, this, [this] {
        if (isTerminating())
            return;
        m_account->logout();
        refreshAccountActions();
    });
}

void WindowCommands::refreshAccountActions()
{
    const AccountCommands& account = *m_account;
    const bool available = account.isAvailable();
    const bool signedIn = available && account.currentUser().has_value();
    const QString reason = account.unavailableReason();
    setAvailable(m_sync, available, QStringLiteral("Send your changes and fetch everyone else's"), reason);
    setAvailable(m_signIn, available && !signedIn, QStringLiteral("Sign in to the sync server"),
                 available ? QStringLiteral("You are signed in") : reason);
    setAvailable(m_signOut, signedIn, QStringLiteral("Sign out of the sync server"),
                 available ? QStringLiteral("Nobody is signed in") : reason);
}

} // namespace qv
