#pragma once

#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "ui/board/WebAddresses.h"
#include "ui/board/widgets/CalendarSyncViewController.h"
#include "ui/board/widgets/MasterListSheet.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace qv {

class AccountCommands;
class iCalController;
class InternalBrowser;
class MainWindow;
class MyDocument;
class StatusBarController;
class TODOList;

// The window's commands that are not item operations: the status bar and the grey overlay,
// sync, sign-in and sign-out, the calendar commands and export timer, the sheets, project commands, pages of
// the service and links copied to the clipboard. A command that cannot work here yet is disabled and its
// tooltip says why.
class WindowCommands final : public QObject {
    Q_OBJECT
public:
    static QString askedHelpProjectKey() { return QStringLiteral("_askedDownloadHelpList"); }

    WindowCommands(MainWindow& window, MyDocument& document, const Services& services);
    ~WindowCommands() override;

    // --- Wiring (from the shell; tests set their own)
    // nullptr: the offline defaults (no account; pages in the desktop's browser).
    void setAccount(AccountCommands* account, InternalBrowser* browser);
    AccountCommands& account() const { return *m_account; }
    InternalBrowser& browser() const { return *m_browser; }
    // Whether quitting has begun; sync, sign-in and sign-out then do nothing.
    void setTerminatingQuery(std::function<bool()> terminating) { m_terminating = std::move(terminating); }
    bool isTerminating() const { return m_terminating && m_terminating(); }
    // The sync server and our web host; the build's by default.
    void setServerOrigins(const QString& syncOrigin, const QString& webOrigin);
    // Where pages meant for the desktop's browser go.
    void setExternalOpener(std::function<bool(const QUrl&)> opener) { m_openExternally = std::move(opener); }
    void setMasterListFactory(std::function<MasterListSheet*(QWidget* parent)> factory);
    // The filter panel's search field takes the keyboard, the panel shown first when reveal is
    // set; the filter panel in a window of its own.
    void setFindField(std::function<void(bool reveal)> focus);
    void setAdvancedFilterWindow(std::function<void()> show);

    StatusBarController& statusBar() const { return *m_statusBar; }
    // The whole of what the status message sums up, in an alert.
    void showStatusDetails();
    QAction* action(const QString& name) const;

    // --- Grey overlay over the board
    void showGrayOverlay();
    void showGrayOverlayNoSyncing();
    void hideGrayOverlay();
    bool isShowingGrayOverlay() const;

    // --- Sync and sign-in
    // Open edits are committed, then the account syncs; after it the help project is offered.
    void syncWindow();
    // A whole sync through the account's sync sheet (signing in first when needed); completion
    // runs once it succeeded. false: no sync can be started (no account, quitting).
    bool syncAndRunAfter(std::function<void()> completion);
    // The first time ever only, whatever the answer.
    void askFirstDownloadHelpList();
    TODOList* downloadHelpList();
    void refreshAccountActions();

    // --- Pages and links
    QUrl webAddress(WebPage page) const;
    void openWebPage(WebPage page);
    void qvWebMenu();
    void getLinkForProject();
    void getLinkForItem();

    // --- Sheets, filters, projects
    void showMasterList();
    // After a sheet: the board's search field takes the keys again (when shown), the window comes
    // to the front.
    void sheetEnded();
    MasterListSheet* masterList() const { return m_masterList; }
    void gotoFindField();
    void clearFilters();
    void toggleProjectAlphabeticalOrder(bool alphabetical);
    void showAdvancedFilterWindow();
    void markProjectAsDeleted();

    // --- Calendar
    // The calendar sync the menu's commands act on; nullptr: they stay disabled.
    void setCalendar(iCalController* calendar);
    void iCalExport();
    void iCalImport();
    // Opens the calendar settings sheet; its Done ends in closeCalendarSettingsSheet().
    void iCalSettings();
    CalendarSyncViewController* calendarSettings() const { return m_calendarSettings; }
    // Ends the sheet; the export timer runs from then on while sync and automatic export are on.
    void closeCalendarSettingsSheet();
    // A repeating 300 s export; a second start keeps the running timer.
    void startCalendarSyncTimer();
    void stopCalendarSyncTimer();
    bool isCalendarSyncTimerRunning() const { return m_calendarTimer != 0; }
    // Each command enabled exactly when it can act.
    void refreshCalendarActions();
    static constexpr qint64 kCalendarSyncIntervalMs = 300'000;

private:
    // Named after the command; menu may be null when the caller places it.
    QAction* addAction(QMenu* menu, const QString& name, const QString& text, std::function<void()> handler);
    QAction* addDisabled(QMenu* menu, const QString& name, const QString& text, const QString& reason);
    QMenu* menuNamed(const QString& title);
    void buildMenus();
    void refreshHookActions();
    void copyLink(const QUrl& url);
    void refuseUnsynced(const QString& message, const QString& informative);
    TODOList* getProjectForSender() const;
    // The sender's project once it has reached the server; otherwise nullptr after the alert,
    // whose text ends with what to try again.
    TODOList* syncedProjectForSender(const QString& thenTryAgain);
    void placeOverlay();
    bool eventFilter(QObject* watched, QEvent* event) override;

    MainWindow& m_window;
    MyDocument& m_document;
    Services m_services;
    std::unique_ptr<AccountCommands> m_offlineAccount;
    std::unique_ptr<InternalBrowser> m_desktopBrowser;
    AccountCommands* m_account = nullptr;
    InternalBrowser* m_browser = nullptr;
    std::function<bool()> m_terminating;
    QString m_syncOrigin;
    QString m_webOrigin;
    std::function<bool(const QUrl&)> m_openExternally;
    std::function<MasterListSheet*(QWidget*)> m_makeMasterList;
    std::function<void(bool)> m_focusFindField;
    std::function<void()> m_showAdvancedFilterWindow;

    std::unique_ptr<StatusBarController> m_statusBar;
    QWidget* m_overlay = nullptr;
    QWidget* m_overlayProgress = nullptr;
    QPointer<MasterListSheet> m_masterList;
    iCalController* m_calendar = nullptr;
    QPointer<CalendarSyncViewController> m_calendarSettings;
    TimerId m_calendarTimer = 0;
    std::map<QString, QAction*> m_actions;
    std::map<WebPage, QAction*> m_pageActions;
};

} // namespace qv
