#pragma once

#include "ui/board/AttachmentUploads.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <utility>

namespace qv {

class TODOItem;

// What the application delegate asks of the sync engine. sync/ implements it, or the entry
// point adapts the engine to it.
class ShellSyncEngine {
public:
    virtual ~ShellSyncEngine() = default;
    virtual void startAllLoops() = 0;
    virtual void stopAllLoops() = 0;
    // From now on the engine follows the network's reachability.
    virtual void startObservingReachability() = 0;
    // The quit's last step: the engine takes no more notifications.
    virtual void stopObservingNotifications() = 0;
    // The signed-in user's e-mail; empty while nobody is signed in.
    virtual QString currentUserEmail() const = 0;
    // When the last whole-document sync completed; invalid when there was none.
    virtual QDateTime timeLastSync() const = 0;
    // Requests sent to the server and not answered yet.
    virtual int requestsInFlight() const = 0;
};

// What the application delegate asks of the collaboration manager.
class ShellCollaboration {
public:
    virtual ~ShellCollaboration() = default;
    // Restores the cached collaborators, owners and sharing requests.
    virtual void initCollaboration() = 0;
    // Reloads the signed-in user; success runs only when the user was loaded.
    virtual void reloadMe(std::function<void()> success) = 0;
};

// What the application delegate asks of the document window.
class ShellWindow {
public:
    virtual ~ShellWindow() = default;
    // Shows the window and brings it to the front.
    virtual void showWindow() = 0;
    // Hides the window and whatever stands over it; the application keeps running.
    virtual void hideWindow() = 0;
    // Asks for the user's attention until the application is activated.
    virtual void requestAttention() = 0;
    // Reselects the project selected at the end of the last run, after the window's delay.
    virtual void reselectLastProject() = 0;
    // Links into the application; false when the project or item is not (yet) there.
    virtual bool selectProjectWithID(qint64 id) = 0;
    virtual bool selectItemWithServerID(qint64 serverID) = 0;
    // Rows the project list shows.
    virtual int numberOfProjectRows() const = 0;
    // Selects the row (replacing the selection) and scrolls it into view.
    virtual void selectProjectRow(int row) = 0;
    virtual void setStatusBarMessage(const QString& message) = 0;
    // A whole-document sync through the sync window; completion runs after it. false: none
    // could be started (no sync server), and completion never runs.
    virtual bool syncAndRunAfter(std::function<void()> completion) = 0;
    // The signed-in user was reloaded: the selected project's collaborators follow.
    virtual void reloadCollaboratorsOfSelectedProject() = 0;
    // Runs run once the window's first frame is on screen (a window that paints nothing, as
    // this default, runs it at once).
    virtual void afterFirstFrame(std::function<void()> run)
    {
        const std::function<void()> now = std::move(run);
        now();
    }
};

// The progress that covers the window while the REST cache is wiped.
class CacheWipeProgress {
public:
    virtual ~CacheWipeProgress() = default;
    // Grey overlay without sync activity, then the progress over the window.
    virtual void begin() = 0;
    // Progress and overlay gone; the window is active and in front.
    virtual void end() = 0;
};

// The crash reporter as the launch sequence uses it (diagnostics/ implements it).
class CrashReporter {
public:
    virtual ~CrashReporter() = default;
    // Starts the crash-reporting component with the crash reporter's single instance.
    virtual void start() = 0;
    virtual void setUserEmail(const QString& email) = 0;
};

// Usage announcements to our web host (exchange/ implements it). Nothing is retried.
class UsageAnnouncer {
public:
    virtual ~UsageAnnouncer() = default;
    // answered runs once the host has answered or the announcement failed or was not sent;
    // empty: nobody waits for it.
    virtual void pingServer(const QString& eventName, std::function<void()> answered) = 0;
};

// Checks for a newer version of the application. Packaged builds leave updates to the
// system's package manager and wire none.
class SoftwareUpdater {
public:
    virtual ~SoftwareUpdater() = default;
    virtual void checkForUpdatesInBackground() = 0;
};

// The count on the application's launcher icon.
class Badge {
public:
    virtual ~Badge() = default;
    // A count of 0 removes the badge.
    virtual void setBadgeCount(int count) = 0;
};

} // namespace qv
