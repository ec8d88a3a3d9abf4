#include "core/document/StoreFiles.h"

#include "core/model/StatusEntities.h"
#include "core/model/TodoModel.h"

#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/Model.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <memory>

namespace qv {
namespace {

class Thing : public store::ManagedObject {};

store::Model thingModel()
{
    store::Model model(1);
    model.addEntity(store::EntityDescription(QStringLiteral("Thing"), [] {
                        return std::make_unique<Thing>();
                    }).attribute(QStringLiteral("name"), store::AttributeType::String));
    return model;
}

const QStringList kOlderNames = {
    "team-quadrivo.sqlite",      "team-quadrivo_2_4.sqlite",  "team-quadrivo_2_5.sqlite",
    "team-quadrivo_2_6.sqlite",  "team-quadrivo_2_7.sqlite",  "team-quadrivo_2_8.sqlite",
    "team-quadrivo_2_9.sqlite",  "team-quadrivo_2_10.sqlite", "team-quadrivo_2_11.sqlite",
    "team-quadrivo_2_12.sqlite", "team-quadrivo_2_13.sqlite", "team-quadrivo_2_14.sqlite",
    "team-quadrivo_2_16.sqlite",
};

// The copies each starting name leaves behind on its way to the current name.
QStringList expectedCopiesFrom(const QString& start)
{
    const QStringList copies = {
        "team-quadrivo_2_3.sqlite.bck",  "team-quadrivo_2_4.sqlite.bck",  "team-quadrivo_2_5.sqlite.bck",
        "team-quadrivo_2_6.sqlite.bck",  "team-quadrivo_2_7.sqlite.bck",  "team-quadrivo_2_8.sqlite.bck",
        "team-quadrivo_2_9.sqlite.bck",  "team-quadrivo_2_10.sqlite.bck", "team-quadrivo_2_11.sqlite.bck",
        "team-quadrivo_2_12.sqlite.bck", "team-quadrivo_2_13.sqlite.bck", "team-quadrivo_2_15.sqlite.bck",
        "team-quadrivo_2_16.sqlite.bck",
    };
    return copies.mid(kOlderNames.indexOf(start));
}

class StoreFilesTest : public ::testing::Test {
protected:
    StoreFilesTest() : preferences(home.root() + "/prefs.conf")
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.alerts = &alerts;
        folder = StoreFiles::pathForFolder();
    }

    void write(const QString& name, const QByteArray& bytes)
    {
        ASSERT_TRUE(test::writeFile(folder + u'/' + name, bytes));
    }
    QByteArray read(const QString& name) const { return test::readFile(folder + u'/' + name); }
    QStringList files() const
    {
        QStringList names = QDir(folder).entryList(QDir::Files);
        names.sort();
        return names;
    }

    test::TempHome home;
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    Preferences preferences;
    ScriptedAlerts alerts;
    Services services;
    QString folder;
};

// --- Schema versions

TEST_F(StoreFilesTest, GivenAStoreOfTheSchemaBefore_WhenOpened_ThenItIsUpgradedAndKeepsWhatItHeld)
{
    const QString path = QDir(folder).filePath(QStringLiteral("team-quadrivo_2_17.sqlite"));
    const QDateTime cursor = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());
    {
        auto context = store::Context::open(path, TodoModel::shared(), scheduler, nullptr);
        ASSERT_NE(context, nullptr);
        auto* status = context->insert<InstantSyncStatus>(InstantSyncStatus::staticEntityName());
        status->setEmail(QStringLiteral("user@example.com"));
        status->setLastItemPollingDate(cursor);
        ASSERT_TRUE(context->save());
    }
    // What version 1 wrote: no inbox cursor.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const int dropped = sqlite3_exec(
        db, "ALTER TABLE InstantSyncStatus DROP COLUMN lastInboxPollingDate; PRAGMA user_version = 1;",
        nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(dropped, SQLITE_OK);

    store::StoreError error;
    auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
    ASSERT_NE(context, nullptr) << error.message.toStdString();
    const auto rows = context->objects(InstantSyncStatus::staticEntityName());
    ASSERT_EQ(rows.size(), 1u);
    auto* status = static_cast<InstantSyncStatus*>(rows.front());
    EXPECT_EQ(status->lastItemPollingDate(), cursor);
    EXPECT_FALSE(status->lastInboxPollingDate().isValid());
    status->setLastInboxPollingDate(cursor);
    ASSERT_TRUE(context->save());
    context.reset();
    context = store::Context::open(path, TodoModel::shared(), scheduler, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(static_cast<InstantSyncStatus*>(context->objects(InstantSyncStatus::staticEntityName()).front())
                  ->lastInboxPollingDate(),
              cursor);
}

// --- Migration chain

TEST_F(StoreFilesTest, GivenAnyOlderStoreName_WhenTheChainRuns_ThenItEndsAtTheCurrentNameWithItsCopies)
{
    for (const QString& start : kOlderNames) {
        SCOPED_TRACE(start.toStdString());
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        write(start, "data of " + start.toUtf8());

        StoreFiles storeFiles(services);
        ASSERT_TRUE(storeFiles.backupOnMigrationIfNeeded());

        QStringList expected = expectedCopiesFrom(start);
        expected << "team-quadrivo_2_17.sqlite";
        expected.sort();
        EXPECT_EQ(files(), expected);
        EXPECT_EQ(read("team-quadrivo_2_17.sqlite"), "data of " + start.toUtf8());
        for (const QString& copy : expectedCopiesFrom(start))
            EXPECT_EQ(read(copy), "data of " + start.toUtf8()) << copy.toStdString();
    }
}

TEST_F(StoreFilesTest, GivenBothThe2_16AndThe2_17File_WhenTheChainRuns_ThenBothStayUntouched)
{
    write("team-quadrivo_2_16.sqlite", "older");
    write("team-quadrivo_2_17.sqlite", "current");
    StoreFiles storeFiles(services);

    EXPECT_TRUE(storeFiles.backupOnMigrationIfNeeded());

    EXPECT_EQ(files(), QStringList({"team-quadrivo_2_16.sqlite", "team-quadrivo_2_17.sqlite"}));
    EXPECT_EQ(read("team-quadrivo_2_17.sqlite"), "current");
    EXPECT_EQ(read("team-quadrivo_2_16.sqlite"), "older");
}

TEST_F(StoreFilesTest, GivenAnExistingCopy_WhenAStepRuns_ThenTheCopyIsKeptAndTheStoreStillMoves)
{
    write("team-quadrivo_2_16.sqlite", "new data");
    write("team-quadrivo_2_16.sqlite.bck", "old copy");
    StoreFiles storeFiles(services);
    LogCapture log;

    EXPECT_EQ(storeFiles.migrateIfNeeded("team-quadrivo_2_16.sqlite", "team-quadrivo_2_17.sqlite",
                                         "team-quadrivo_2_16.sqlite.bck"),
              StoreFiles::StepResult::Migrated);

    EXPECT_EQ(read("team-quadrivo_2_16.sqlite.bck"), "old copy");
    EXPECT_EQ(read("team-quadrivo_2_17.sqlite"), "new data");
    EXPECT_FALSE(QFileInfo::exists(folder + "team-quadrivo_2_16.sqlite"));
    EXPECT_TRUE(log.contains(QStringLiteral("Error copying %1team-quadrivo_2_16.sqlite to "
                                            "%1team-quadrivo_2_16.sqlite.bck")
                                 .arg(folder)));
}

// --- A failed copy loses nothing

TEST_F(StoreFilesTest, GivenTheCopyToTheNewNameFails_WhenTheChainRuns_ThenNothingIsRemovedAndItStops)
{
    write("team-quadrivo_2_12.sqlite", "precious");
    const auto failOnNewName = [](const QString& from, const QString& to, QString* error) {
        if (to.endsWith(".bck"))
            return StoreFiles::copyFile(from, to, error);
        *error = QStringLiteral("No space left on device");
        return false;
    };
    StoreFiles storeFiles(services, failOnNewName);
    LogCapture log;
    QString error;

    EXPECT_FALSE(storeFiles.backupOnMigrationIfNeeded(&error));

    EXPECT_EQ(read("team-quadrivo_2_12.sqlite"), "precious");
    EXPECT_EQ(files(), QStringList({"team-quadrivo_2_12.sqlite", "team-quadrivo_2_12.sqlite.bck"}));
    EXPECT_TRUE(error.contains("No space left on device"));
    EXPECT_TRUE(log.contains("Error message: No space left on device"));
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_TRUE(alerts.shown().front().informative.contains("No space left on device"));
}

TEST_F(StoreFilesTest, GivenTheCopyFailsHalfWay_WhenTheStoreIsReloaded_ThenNoPartialNewFileOrEmptyStoreIsLeft)
{
    write("team-quadrivo_2_16.sqlite", "precious");
    const auto writeHalfThenFail = [](const QString&, const QString& to, QString* error) {
        QFile file(to);
        if (!to.endsWith(".bck") && file.open(QIODevice::WriteOnly))
            file.write("prec");
        *error = QStringLiteral("Permission denied");
        return false;
    };
    StoreFiles storeFiles(services, writeHalfThenFail);
    const store::Model model = thingModel();
    LogCapture log;

    StoreFiles::OpenedStore opened = storeFiles.reloadFile(model, scheduler);

    EXPECT_EQ(opened.context, nullptr);
    EXPECT_TRUE(opened.error.contains("Permission denied"));
    EXPECT_EQ(files(), QStringList({"team-quadrivo_2_16.sqlite"}));
    EXPECT_EQ(read("team-quadrivo_2_16.sqlite"), "precious");
    EXPECT_EQ(alerts.shown().size(), 1);
}

// --- Opening

TEST_F(StoreFilesTest, GivenAFreshUser_WhenTheStoreIsReloaded_ThenAnEmptyStoreIsSavedAtTheStorePath)
{
    const store::Model model = thingModel();
    StoreFiles storeFiles(services);

    StoreFiles::OpenedStore opened = storeFiles.reloadFile(model, scheduler);

    ASSERT_NE(opened.context, nullptr);
    EXPECT_TRUE(opened.error.isEmpty());
    EXPECT_EQ(opened.context->path(), StoreFiles::pathForDataFile());
    EXPECT_TRUE(QFileInfo::exists(StoreFiles::pathForDataFile()));
    EXPECT_EQ(opened.context->count("Thing"), 0);
}

TEST_F(StoreFilesTest, GivenAnUnreadableStoreFile_WhenTheStoreIsReloaded_ThenItIsLeftAsItIs)
{
    write("team-quadrivo_2_17.sqlite", "this is not a database, but it is the user's file");
    const store::Model model = thingModel();
    StoreFiles storeFiles(services);
    LogCapture log;

    StoreFiles::OpenedStore opened = storeFiles.reloadFile(model, scheduler);

    EXPECT_EQ(opened.context, nullptr);
    EXPECT_FALSE(opened.error.isEmpty());
    EXPECT_EQ(read("team-quadrivo_2_17.sqlite"), "this is not a database, but it is the user's file");
    EXPECT_TRUE(log.lines().filter("Error when opening document, ").size() == 1);
}

// --- Rotating backups

TEST_F(StoreFilesTest,
       GivenTwentyBackupsOnATrack_WhenOneMoreIsMade_ThenItOverwritesSlotZeroAndCountersStayInTheSlots)
{
    const store::Model model = thingModel();
    store::StoreError error;
    auto context = store::Context::open(StoreFiles::pathForDataFile(), model, scheduler, &error);
    ASSERT_NE(context, nullptr) << error.message.toStdString();
    StoreFiles storeFiles(services);
    const auto commit = [&](const char* name) {
        context->insert("Thing")->setValue("name", name);
        ASSERT_TRUE(context->save());
        storeFiles.storeCommitted();
    };

    for (int i = 0; i < 20; ++i) {
        commit("one more");
        storeFiles.backupCurrentStoreWithTrack("save", *context);
        storeFiles.waitForBackups();
    }
    EXPECT_EQ(preferences.intValue("_currentBackupNumbersave"), 0);
    EXPECT_TRUE(QFileInfo::exists(folder + "save_backup19_team-quadrivo_2_17.sqlite"));
    EXPECT_FALSE(QFileInfo::exists(folder + "save_backup20_team-quadrivo_2_17.sqlite"));

    commit("last");
    storeFiles.backupCurrentStoreWithTrack("save", *context);
    // Asked again while that copy runs: one more follows it, with whatever was committed meanwhile.
    commit("during the copy");
    storeFiles.backupCurrentStoreWithTrack("save", *context);
    storeFiles.waitForBackups();

    EXPECT_EQ(preferences.intValue("_currentBackupNumbersave"), 2);
    const auto countIn = [&](int slot) {
        auto copy = store::Context::open(StoreFiles::backupPath("save", slot), model, scheduler, nullptr);
        return copy ? copy->count("Thing") : -1;
    };
    EXPECT_GE(countIn(0), 21); // the copy may already hold the commit made while it ran
    EXPECT_EQ(countIn(1), 22);
    EXPECT_EQ(countIn(2), 3);
    EXPECT_FALSE(QFileInfo::exists(folder + "autosave_backup0_team-quadrivo_2_17.sqlite"));

    // Nothing committed since: no backup on this track, while another track still has its first.
    storeFiles.backupCurrentStoreWithTrack("save", *context);
    storeFiles.backupCurrentStoreWithTrack("autosave", *context);
    storeFiles.waitForBackups();
    EXPECT_EQ(preferences.intValue("_currentBackupNumbersave"), 2);
    EXPECT_EQ(preferences.intValue("_currentBackupNumberautosave"), 1);

    // A counter set outside the rotation stays within the slots.
    preferences.setValue("_currentBackupNumberautosave", 45);
    commit("after a stray counter");
    storeFiles.backupCurrentStoreWithTrack("autosave", *context);
    storeFiles.waitForBackups();
    EXPECT_TRUE(QFileInfo::exists(folder + "autosave_backup5_team-quadrivo_2_17.sqlite"));
    EXPECT_EQ(preferences.intValue("_currentBackupNumberautosave"), 6);
}

TEST_F(StoreFilesTest,
       GivenACopyThatFails_WhenBackingUp_ThenTheSlotsOldFileAndTheCounterStayAndTheUserIsToldOnce)
{
    auto context = store::Context::open(StoreFiles::pathForDataFile(), thingModel(), scheduler, nullptr);
    ASSERT_NE(context, nullptr);
    preferences.setValue("_currentBackupNumbersave", 3);
    write("save_backup3_team-quadrivo_2_17.sqlite", "the backup of three saves ago");
    // As a full disk does: part of the copy is written, then it fails.
    StoreFiles storeFiles(services, StoreFiles::copyFile,
                          [](const QString& from, const QString& to, QString* error) {
                              (void)from;
                              QFile partial(to + ".part");
                              if (partial.open(QIODevice::WriteOnly))
                                  partial.write("half a copy");
                              *error = "No space left on device";
                              return false;
                          });
    LogCapture log;

    for (int attempt = 0; attempt < 2; ++attempt) {
        storeFiles.storeCommitted();
        storeFiles.backupCurrentStoreWithTrack("save", *context);
        storeFiles.waitForBackups();
    }

    EXPECT_EQ(read("save_backup3_team-quadrivo_2_17.sqlite"), "the backup of three saves ago");
    EXPECT_EQ(preferences.intValue("_currentBackupNumbersave"), 3);
    EXPECT_EQ(log.lines().filter("No space left on device").size(), 2);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_TRUE(alerts.shown().front().informative.contains("No space left on device"));
}

TEST_F(
    StoreFilesTest,
    GivenAFolderInTheWayOfTheCopy_WhenBackingUpAndThenQuitting_ThenItIsNamedAndTheQuitsFailureIsToldAtTheNextStart)
{
    const store::Model model = thingModel();
    auto context = store::Context::open(StoreFiles::pathForDataFile(), model, scheduler, nullptr);
    ASSERT_NE(context, nullptr);
    const QString inTheWay = StoreFiles::backupPath("save", 0) + ".part";
    ASSERT_TRUE(QDir().mkpath(inTheWay));
    {
        StoreFiles storeFiles(services);
        storeFiles.storeCommitted();
        storeFiles.backupCurrentStoreWithTrack("save", *context);
        storeFiles.waitForBackups();
        ASSERT_EQ(alerts.shown().size(), 1);
        EXPECT_TRUE(alerts.shown().front().informative.contains(inTheWay + " is in the way"))
            << alerts.shown().front().informative.toStdString();

        // Quitting, the window is gone: nothing is shown, and the failure is kept for later.
        storeFiles.setQuitting();
        storeFiles.storeCommitted();
        storeFiles.backupCurrentStoreWithTrack("save", *context);
        storeFiles.waitForBackups();
        EXPECT_EQ(alerts.shown().size(), 1);
    }
    context.reset();

    // The next start tells it, once its start-up is through, and only once.
    for (int start = 0; start < 2; ++start) {
        StoreFiles storeFiles(services);
        ASSERT_NE(storeFiles.reloadFile(model, scheduler).context, nullptr);
        scheduler.runPosted();
    }
    ASSERT_EQ(alerts.shown().size(), 2);
    EXPECT_EQ(alerts.shown().back().message, QStringLiteral("A backup of your data could not be made."));
    EXPECT_TRUE(alerts.shown().back().informative.startsWith("When Quadrivo last quit: "));
    EXPECT_TRUE(alerts.shown().back().informative.contains(inTheWay))
        << alerts.shown().back().informative.toStdString();
}

// --- Temporary paths

TEST_F(StoreFilesTest, GivenAFileName_WhenATemporaryPathIsMade_ThenItsFreshFolderIsPrivateAndItStaysInIt)
{
    const QString path = StoreFiles::pathForTemporaryFileWithName("report.pdf");
    const QFileInfo folderInfo(QFileInfo(path).absolutePath());

    EXPECT_TRUE(path.endsWith("/report.pdf"));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(folderInfo.isDir());
    EXPECT_EQ(folderInfo.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
    EXPECT_NE(StoreFiles::pathForTemporaryFileWithName("report.pdf"), path);

    const QString base = StoreFiles::pathForTemporaryDirectory();
    const QString climbing = StoreFiles::pathForTemporaryFileWithName("../../.profile");
    EXPECT_TRUE(QFileInfo(climbing).absoluteFilePath().startsWith(base + "/"));
    EXPECT_EQ(QFileInfo(climbing).fileName(), ".profile");
    EXPECT_EQ(QFileInfo(QFileInfo(climbing).absolutePath()).absolutePath(),
              QFileInfo(base).absoluteFilePath());

    // A leading ":" would name a built-in resource, where nothing can be written.
    const QString resource = StoreFiles::pathForTemporaryFileWithName(":image.png");
    EXPECT_TRUE(resource.startsWith(base + "/"));
    EXPECT_EQ(QFileInfo(resource).fileName(), "_image.png");
    QFile written(resource);
    EXPECT_TRUE(written.open(QIODevice::WriteOnly));
}

} // namespace
} // namespace qv
