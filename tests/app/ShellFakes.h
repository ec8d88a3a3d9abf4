#pragma once

#include "app/AppDelegate.h"
#include "app/ColorList.h"
#include "app/LaunchAgent.h"
#include "app/ShellInterfaces.h"
#include "core/document/MyDocument.h"
#include "core/document/StoreFiles.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Log.h"
#include "platform/store/Context.h"
#include "tests/support/DocumentFakes.h"
#include "tests/support/Printers.h"
#include "tests/support/TestData.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace qv::test {

// One record of calls shared by every fake, so tests can check the order across them.
struct CallLog {
    QStringList calls;
    void add(const QString& call) { calls << call; }
    qsizetype indexOf(const QString& call) const { return calls.indexOf(call); }
    bool has(const QString& call) const { return calls.contains(call); }
};

class FakeShellWindow : public ShellWindow {
public:
    explicit FakeShellWindow(CallLog& calls) : log(calls) {}
    CallLog& log;
    std::function<bool(qint64)> projectExists = [](qint64) {
        return false;
    };
    std::function<bool(qint64)> itemExists = [](qint64) {
        return false;
    };
    int rows = 0;
    QString statusMessage;
    std::function<void()> pendingSync;
    bool canSync = true;

    void showWindow() override { log.add(QStringLiteral("window.show")); }
    void hideWindow() override { log.add(QStringLiteral("window.hide")); }
    void requestAttention() override { log.add(QStringLiteral("window.requestAttention")); }
    void reselectLastProject() override { log.add(QStringLiteral("window.reselectLastProject")); }
    bool selectProjectWithID(qint64 id) override
    {
        log.add(QStringLiteral("window.selectProject %1").arg(id));
        return projectExists(id);
    }
    bool selectItemWithServerID(qint64 id) override
    {
        log.add(QStringLiteral("window.selectItem %1").arg(id));
        return itemExists(id);
    }
    int numberOfProjectRows() const override { return rows; }
    void selectProjectRow(int row) override { log.add(QStringLiteral("window.selectRow %1").arg(row)); }
    void setStatusBarMessage(const QString& message) override
    {
        statusMessage = message;
        log.add(QStringLiteral("window.status ") + message);
    }
    bool syncAndRunAfter(std::function<void()> completion) override
    {
        log.add(QStringLiteral("window.syncAndRunAfter"));
        pendingSync = std::move(completion);
        return canSync;
    }
    void reloadCollaboratorsOfSelectedProject() override
    {
        log.add(QStringLiteral("window.reloadCollaborators"));
    }
    // Unless held, the first frame is on screen at once.
    bool holdFirstFrame = false;
    std::vector<std::function<void()>> afterFrame;
    void afterFirstFrame(std::function<void()> run) override
    {
        if (holdFirstFrame)
            afterFrame.push_back(std::move(run));
        else
            run();
    }
    void paintFirstFrame()
    {
        holdFirstFrame = false;
        for (std::function<void()>& run : std::exchange(afterFrame, {}))
            run();
    }
};

class FakeShellSync : public ShellSyncEngine {
public:
    explicit FakeShellSync(CallLog& calls) : log(calls) {}
    CallLog& log;
    QString email;
    QDateTime lastSync;

    void startAllLoops() override { log.add(QStringLiteral("sync.startAllLoops")); }
    void stopAllLoops() override { log.add(QStringLiteral("sync.stopAllLoops")); }
    void startObservingReachability() override { log.add(QStringLiteral("sync.observeReachability")); }
    void stopObservingNotifications() override { log.add(QStringLiteral("sync.stopObservingNotifications")); }
    QString currentUserEmail() const override { return email; }
    QDateTime timeLastSync() const override { return lastSync; }
    int inFlight = 0;
    int requestsInFlight() const override { return inFlight; }
};

class FakeShellCollaboration : public ShellCollaboration {
public:
    explicit FakeShellCollaboration(CallLog& calls) : log(calls) {}
    CallLog& log;
    bool meLoads = true;
    void initCollaboration() override { log.add(QStringLiteral("collaboration.init")); }
    void reloadMe(std::function<void()> success) override
    {
        log.add(QStringLiteral("collaboration.reloadMe"));
        if (meLoads && success)
            success();
    }
};

class FakeAttachments : public AttachmentUploads {
public:
    explicit FakeAttachments(CallLog& calls) : log(calls) {}
    CallLog& log;
    bool answer = true;
    // Runs while the question is open, as the modal question's own loop would run events.
    std::function<void()> whileAsking;
    int open = 0;
    int mostOpenAtOnce = 0;
    bool askUploadFile(const QString& fileName) override
    {
        log.add(QStringLiteral("attachments.ask ") + fileName);
        mostOpenAtOnce = std::max(mostOpenAtOnce, ++open);
        if (whileAsking)
            whileAsking();
        --open;
        return answer;
    }
    void uploadURLFileForUnsyncedItem(TODOItem*) override { log.add(QStringLiteral("attachments.upload")); }
};

class FakeSheet : public CacheWipeProgress {
public:
    explicit FakeSheet(CallLog& calls) : log(calls) {}
    CallLog& log;
    void begin() override { log.add(QStringLiteral("sheet.begin")); }
    void end() override { log.add(QStringLiteral("sheet.end")); }
};

class FakeCrashReporter : public CrashReporter {
public:
    explicit FakeCrashReporter(CallLog& calls) : log(calls) {}
    CallLog& log;
    void start() override { log.add(QStringLiteral("crash.start")); }
    void setUserEmail(const QString& email) override { log.add(QStringLiteral("crash.email ") + email); }
};

class FakeUpdater : public SoftwareUpdater {
public:
    explicit FakeUpdater(CallLog& calls) : log(calls) {}
    CallLog& log;
    void checkForUpdatesInBackground() override { log.add(QStringLiteral("updater.check")); }
};

// The web host the announcements go to: it answers at once unless told to hold its answers.
struct FakeAnnouncementHost {
    bool answers = true;
    std::vector<std::function<void()>> held;
    void answerHeld()
    {
        for (const std::function<void()>& answer : std::exchange(held, {}))
            answer();
    }
};

class FakeAnnouncer : public UsageAnnouncer {
public:
    FakeAnnouncer(CallLog& calls, FakeAnnouncementHost& server) : log(calls), host(server) {}
    CallLog& log;
    FakeAnnouncementHost& host;
    void pingServer(const QString& eventName, std::function<void()> answered) override
    {
        log.add(QStringLiteral("ping ") + eventName);
        if (!answered)
            return;
        if (host.answers)
            answered();
        else
            host.held.push_back(std::move(answered));
    }
};

class FakeBadge : public Badge {
public:
    explicit FakeBadge(CallLog& calls) : log(calls) {}
    CallLog& log;
    std::optional<int> count;
    void setBadgeCount(int value) override
    {
        count = value;
        log.add(QStringLiteral("badge %1").arg(value));
    }
};

// A delegate over a private home with every neighbour faked and time driven by hand.
class ShellFixture : public ::testing::Test, protected FakeServices<> {
protected:
    ShellFixture()
        : window(log), sync(log), collaboration(log), attachments(log), sheet(log), crash(log), updater(log),
          badge(log), launchAgent(preferences, home.configHome() + QStringLiteral("/autostart"),
                                  QStringLiteral("/usr/bin/quadrivo"))
    {
    }

    struct Parts : AppDelegate::DocumentParts {};

    AppDelegate::Dependencies dependencies()
    {
        AppDelegate::Dependencies deps;
        deps.services = services;
        deps.crashReporter = &crash;
        deps.updater = &updater;
        deps.makeAnnouncer = [this] {
            return std::make_unique<FakeAnnouncer>(log, announcementHost);
        };
        deps.badge = &badge;
        deps.launchAgent = &launchAgent;
        deps.runCommand = [this](const QString& program, const QStringList& arguments,
                                 std::function<void(int, const QByteArray&)> done) {
            log.add(QStringLiteral("run ") + program + u' ' + arguments.join(u' '));
            done(commandStatus, arguments.value(0) == QLatin1String("query") ? commandOutput : QByteArray());
        };
        deps.programInstalled = true;
        deps.attachColorList = [this](const ColorList& list) {
            log.add(QStringLiteral("colors %1").arg(list.entries().size()));
        };
        deps.documentOpened = [this](MyDocument& document) {
            log.add(QStringLiteral("documentOpened"));
            openedDocument = &document;
            auto parts = std::make_unique<Parts>();
            parts->window = &window;
            parts->sync = &sync;
            parts->collaboration = &collaboration;
            parts->attachments = &attachments;
            parts->cacheWipeProgress = &sheet;
            return parts;
        };
        deps.terminateApplication = [this](int status) {
            log.add(status == 0 ? QStringLiteral("terminateApplication")
                                : QStringLiteral("terminateApplication %1").arg(status));
            ++terminations;
        };
        deps.syncHost = QStringLiteral("sync.test:8443");
        deps.restRequestCacheFolder = requestCacheFolder;
        return deps;
    }

    AppDelegate& makeDelegate()
    {
        delegate = std::make_unique<AppDelegate>(dependencies());
        return *delegate;
    }

    // Both launch halves, and the main-loop turn after them.
    AppDelegate& launch()
    {
        makeDelegate();
        delegate->applicationWillFinishLaunching();
        delegate->applicationDidFinishLaunching();
        scheduler.runPosted();
        return *delegate;
    }

    // The projects in the store file as another reader sees them.
    QStringList savedProjectNames() const { return namesInStoreFile(StoreFiles::pathForDataFile()); }

    CallLog log;
    FakeShellWindow window;
    FakeShellSync sync;
    FakeShellCollaboration collaboration;
    FakeAttachments attachments;
    FakeSheet sheet;
    FakeCrashReporter crash;
    FakeUpdater updater;
    FakeBadge badge;
    FakeAnnouncementHost announcementHost;
    LaunchAgent launchAgent;
    int commandStatus = 0;
    // What "xdg-mime query" prints: the handler set for the scheme.
    QByteArray commandOutput;
    int terminations = 0;
    QString requestCacheFolder;
    MyDocument* openedDocument = nullptr;
    LogCapture logCapture;
    std::unique_ptr<AppDelegate> delegate;
};

} // namespace qv::test
