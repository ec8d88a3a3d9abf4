#include "app/ApplicationMenus.h"

#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "app/HelpLinks.h"
#include "app/LaunchAgent.h"
#include "app/WindowCommandWiring.h"
#include "core/document/MyDocument.h"
#include "platform/Preferences.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/UndeleteDialogs.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace qv {

namespace {

QMenu* menuHolding(QMenuBar* bar, const QKeySequence& shortcut)
{
    for (QAction* top : bar->actions()) {
        if (QMenu* menu = top->menu()) {
            for (QAction* action : menu->actions()) {
                if (action->shortcut() == shortcut)
                    return menu;
            }
        }
    }
    return nullptr;
}

} // namespace

void addApplicationMenus(MainWindow& window, AppDelegate& delegate, Preferences& preferences,
                         const HelpLinks& help)
{
    QMenu* menu = menuHolding(window.menuBar(), QKeySequence(QKeySequence::Close));
    if (!menu)
        menu = window.menuBar()->addMenu(QStringLiteral("&Quadrivo"));
    menu->addSeparator();

    QAction* launchOnStart = menu->addAction(QStringLiteral("Start Quadrivo at Login"));
    launchOnStart->setCheckable(true);
    launchOnStart->setEnabled(delegate.canToggleLaunchOnStart());
    if (!launchOnStart->isEnabled())
        launchOnStart->setToolTip(
            QStringLiteral("Starting at login needs the program installed on this system."));
    QObject::connect(launchOnStart, &QAction::triggered, &window,
                     [&delegate] { delegate.toggleLaunchOnStart(); });
    QAction* syncAfterStart = menu->addAction(QStringLiteral("Sync After Start"));
    syncAfterStart->setCheckable(true);
    QObject::connect(syncAfterStart, &QAction::triggered, &window,
                     [&delegate] { delegate.toggleSyncAfterStart(); });
    const auto refresh = [launchOnStart, syncAfterStart, &preferences] {
        launchOnStart->setChecked(preferences.boolValue(LaunchAgent::key()));
        syncAfterStart->setChecked(preferences.boolValue(QStringLiteral("SYNC_AFTER_START")));
    };
    refresh();
    QObject::connect(&preferences, &Preferences::changed, launchOnStart, refresh);

    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit Quadrivo"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QAction::triggered, &window, [&delegate] { delegate.quitCommand(); });

    QMenu* helpMenu = window.menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setToolTipsVisible(true);
    const std::pair<const char*, HelpLinks::Link> pages[] = {
        {"Quadrivo Website", HelpLinks::Link::WWW},
        {"Getting Started", HelpLinks::Link::GetStarted},
        {"Using Tags", HelpLinks::Link::UseTags},
        {"Sharing Files", HelpLinks::Link::ShareFiles},
        {"Collaborating", HelpLinks::Link::Collaborate},
        {"Calendar Feeds", HelpLinks::Link::ShareCalendars},
        {"The Item Inbox", HelpLinks::Link::ItemInbox},
        {"Tips for Managers", HelpLinks::Link::ManagerTips},
        {"More Productivity Tips", HelpLinks::Link::OtherProductivityTips},
        {"Knowledge Base", HelpLinks::Link::Knowledgebase},
    };
    for (const auto& [title, link] : pages) {
        QAction* action = helpMenu->addAction(QString::fromUtf8(title));
        action->setEnabled(help.isEnabled(link));
        if (!action->isEnabled())
            action->setToolTip(QStringLiteral("No web address is configured for this build."));
        QObject::connect(action, &QAction::triggered, &window, [&help, link = link] { help.open(link); });
    }
}

BoardPanels attachPanels(MainWindow& window, MyDocument& document, const Services& services)
{
    const BoardPanels panels = BoardPanels::attach(window, document, services);
    wireWindowCommands(window, document, services, panels);

    const auto openItemTrash = [&window, &document, services] {
        qCDebug(lcApp, "Opening item undelete window");
        UndeleteViewController dialog(document, services, &window);
        QObject::connect(&dialog, &UndeleteDialog::refreshRequested, &window, &MainWindow::refreshController);
        dialog.loadUndeleteCandidates();
        dialog.exec();
        window.commands().sheetEnded();
    };
    QObject::connect(&window, &MainWindow::undeleteWindowRequested, &window, openItemTrash);

    QMenu* viewMenu = nullptr;
    for (QAction* top : window.menuBar()->actions()) {
        if (top->menu() && top->text().remove(QLatin1Char('&')) == QLatin1String("View"))
            viewMenu = top->menu();
    }
    if (!viewMenu)
        viewMenu = window.menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->addSeparator();
    Preferences& preferences = *services.preferences;
    const std::pair<const char*, const char*> toggles[] = {
        {"Show Inbox", "kShowingInbox"},
        {"Show Details", "kShowingDetail"},
        {"Hide Projects", "kHideProjects"},
        {"Hide Avatars in Items", "kHidingAvatarsInItems"},
    };
    for (const auto& [title, key] : toggles) {
        QAction* action = viewMenu->addAction(QString::fromUtf8(title));
        action->setObjectName(QString::fromLatin1(key));
        action->setCheckable(true);
        const QString preference = QString::fromLatin1(key);
        action->setChecked(preferences.boolValue(preference));
        QObject::connect(action, &QAction::toggled, &window,
                         [&preferences, preference](bool on) { preferences.setValue(preference, on); });
        QObject::connect(&preferences, &Preferences::changed, action,
                         [action, &preferences, preference](const QString& changed) {
                             if (changed == preference)
                                 action->setChecked(preferences.boolValue(preference));
                         });
    }
    // Folds or unfolds the drawer's feed pane.
    QAction* toggleFeed = viewMenu->addAction(QStringLiteral("Toggle Feed"));
    toggleFeed->setObjectName(QStringLiteral("toggleFeed"));
    QObject::connect(toggleFeed, &QAction::triggered, panels.drawer, &MyDrawerController::toggleFeed);
    viewMenu->addSeparator();
    QAction* itemTrash = viewMenu->addAction(QStringLiteral("Trashed Items…"));
    QObject::connect(itemTrash, &QAction::triggered, &window, openItemTrash);
    QAction* projectTrash = viewMenu->addAction(QStringLiteral("Trashed Projects…"));
    QObject::connect(projectTrash, &QAction::triggered, &window, [&window, &document, services] {
        qCDebug(lcApp, "Opening project undelete window");
        UndeleteProjectViewController dialog(document, services, window.projectListView(), &window);
        QObject::connect(&dialog, &UndeleteDialog::refreshRequested, &window, &MainWindow::refreshController);
        dialog.loadUndeleteCandidates();
        dialog.exec();
        window.commands().sheetEnded();
    });
    return panels;
}

} // namespace qv
