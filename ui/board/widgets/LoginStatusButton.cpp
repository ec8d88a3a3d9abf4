#include "ui/board/widgets/LoginStatusButton.h"

#include "core/util/ValueTransformerRegistry.h"
#include "platform/Preferences.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/PlainText.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/WindowCommands.h"

#include <QMenu>
#include <QPixmap>
#include <QStatusBar>

namespace qv {

LoginStatusButton::LoginStatusButton(const ValueTransformerRegistry& transformers,
                                     std::function<QString()> currentUser, QWidget* parent)
    : QToolButton(parent), m_transformers(transformers), m_currentUser(std::move(currentUser))
{
    setObjectName(QStringLiteral("loginStatusButton"));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    setIconSize(QSize(20, 20));
    setMenu(new QMenu(this));
}

void LoginStatusButton::redisplay()
{
    const QString email = m_currentUser ? m_currentUser() : QString();
    setText(PlainText::menuText(
        m_transformers.transformedValue(QStringLiteral("OnlineOfflineTitleTransformer"), email).toString()));
    setToolTip(QString());
    menu()->setToolTip(QString());
    const QImage picture = m_transformers
                               .transformedValue(QStringLiteral("EmailToAvatarOrLoginTransformer"),
                                                 email.isEmpty() ? QVariant() : QVariant(email))
                               .value<QImage>();
    setIcon(picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture)));
}

void LoginStatusButton::showNoSyncServer(const QString& reason)
{
    setText(QStringLiteral("No Sync Server"));
    setToolTip(reason);
    menu()->setToolTip(reason);
    // The disabled entries say the same.
    menu()->setToolTipsVisible(true);
    const QImage picture =
        m_transformers.transformedValue(QStringLiteral("EmailToAvatarOrLoginTransformer"), QVariant())
            .value<QImage>();
    setIcon(picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture)));
}

// --- The window's part

void MainWindow::buildLoginStatusButton()
{
    m_loginStatus = new LoginStatusButton(
        valueTransformers(),
        [this] { return m_services.preferences->stringValue(QStringLiteral("_currentUser")); }, this);
    // The same actions as the Account menu, so both are enabled alike.
    for (const char* name : {"syncWindow", "login", "logout"})
        m_loginStatus->menu()->addAction(m_commands->action(QString::fromLatin1(name)));
    statusBar()->addPermanentWidget(m_loginStatus);
    redisplayLoginStatusButton();
}

void MainWindow::redisplayLoginStatusButton()
{
    if (!m_loginStatus)
        return;
    // Without a server to sign in to, no sign-in state is worth showing.
    const AccountCommands& account = m_commands->account();
    if (account.isAvailable())
        m_loginStatus->redisplay();
    else
        m_loginStatus->showNoSyncServer(account.unavailableReason());
}

} // namespace qv
