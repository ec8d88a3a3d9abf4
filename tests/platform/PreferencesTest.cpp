#include "platform/Preferences.h"
#include "platform/LockFiles.h"
#include "tests/support/Printers.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace qv;
using qv::test::writeFile;

TEST(PreferencesLocation, GivenEachTestHomeThenTheDefaultFileFollowsTheCurrentConfigHome)
{
    QString first;
    {
        test::TempHome home;
        Preferences preferences;
        first = preferences.fileName();
        EXPECT_EQ(first, home.configHome() + "/Velmora/Quadrivo.conf");
        preferences.setValue("kNumberOfRuns", 1);
        EXPECT_TRUE(preferences.flush());
        EXPECT_TRUE(QFile::exists(first));
    }
    test::TempHome other;
    Preferences preferences;
    EXPECT_EQ(preferences.fileName(), other.configHome() + "/Velmora/Quadrivo.conf");
    EXPECT_FALSE(preferences.hasUserValue("kNumberOfRuns"));
}

TEST(PreferencesDefaults, GivenRegisteredDefaultsThenUserValuesWinAndRemovalFallsBack)
{
    QTemporaryDir dir;
    Preferences preferences(dir.filePath("p.conf"));
    preferences.registerDefaults({{"kWorkOfflineOnly", true}, {"FONT_TIER", 2}});
    EXPECT_TRUE(preferences.boolValue("kWorkOfflineOnly"));
    EXPECT_FALSE(preferences.hasUserValue("kWorkOfflineOnly"));
    EXPECT_FALSE(preferences.value("unknown").isValid());

    preferences.setValue("FONT_TIER", 4);
    EXPECT_EQ(preferences.intValue("FONT_TIER"), 4);
    EXPECT_TRUE(preferences.hasUserValue("FONT_TIER"));
    preferences.remove("FONT_TIER");
    EXPECT_EQ(preferences.intValue("FONT_TIER"), 2);
}

TEST(PreferencesDefaults, GivenJsonDefaultsThenEveryJsonKindIsReadableAndUnusableJsonFailsWithAReason)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("defaults.json"), R"({"n": 300, "f": 0.5, "b": true, "s": "text",
        "list": ["a", "b"], "object": {"inner": 1}})");
    writeFile(dir.filePath("broken.json"), "{\"a\": ");
    writeFile(dir.filePath("array.json"), "[1, 2]");
    Preferences preferences(dir.filePath("p.conf"));
    QString error;
    ASSERT_TRUE(preferences.registerDefaultsFromJson(dir.filePath("defaults.json"), &error))
        << qPrintable(error);
    EXPECT_EQ(preferences.intValue("n"), 300);
    EXPECT_EQ(preferences.int64Value("n"), 300);
    EXPECT_DOUBLE_EQ(preferences.doubleValue("f"), 0.5);
    EXPECT_TRUE(preferences.boolValue("b"));
    EXPECT_EQ(preferences.stringValue("s"), "text");
    EXPECT_EQ(preferences.stringListValue("list"), QStringList({"a", "b"}));
    EXPECT_EQ(preferences.value("object").toMap().value("inner").toInt(), 1);

    for (const QString name : {"missing.json", "broken.json", "array.json"}) {
        EXPECT_FALSE(preferences.registerDefaultsFromJson(dir.filePath(name), &error)) << qPrintable(name);
        EXPECT_FALSE(error.isEmpty()) << qPrintable(name);
        error.clear();
    }
}

TEST(PreferencesChanged, GivenSetAndRemoveThenChangedFiresOnlyWhenTheEffectiveValueChanges)
{
    QTemporaryDir dir;
    Preferences preferences(dir.filePath("p.conf"));
    preferences.registerDefaults({{"k", 1}});
    QStringList keys;
    QObject::connect(&preferences, &Preferences::changed, [&](const QString& key) { keys << key; });

    preferences.setValue("k", 1); // equal to the default
    EXPECT_TRUE(keys.isEmpty());
    preferences.setValue("k", 2);
    preferences.setValue("k", 2);
    EXPECT_EQ(keys, QStringList({"k"}));
    preferences.remove("k");
    EXPECT_EQ(keys, QStringList({"k", "k"}));
    preferences.remove("k");
    preferences.remove("never-set");
    EXPECT_EQ(keys.size(), 2);
    preferences.setValue("other", "x");
    EXPECT_EQ(keys.last(), "other");
}

TEST(PreferencesRoundTrip, GivenValuesWrittenToDiskThenAReadFromAnotherFileCopyKeepsTheirTypes)
{
    QTemporaryDir dir;
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1'700'000'123'456, Qt::UTC);
    const QVariantMap values = {
        {"bool", false},
        {"int", 7},
        {"int64", qint64(1) << 40},
        {"double", 0.1},
        {"string", QString("true")},
        {"number text", QString("12345")},
        {"at string", QString("@bool:true")},
        {"date", when},
        {"no strings", QStringList()},
        {"one string", QStringList({"only"})},
        {"strings", QStringList({"a", "b, c"})},
        {"list", QVariantList({1, "x", true})},
        {"map", QVariantMap({{"inner", true}})},
    };
    {
        Preferences preferences(dir.filePath("p.conf"));
        for (auto it = values.begin(); it != values.end(); ++it)
            preferences.setValue(it.key(), it.value());
        ASSERT_TRUE(preferences.flush());
    }
    // A fresh path, so the read comes from the file rather than Qt's in-process cache.
    ASSERT_TRUE(QFile::copy(dir.filePath("p.conf"), dir.filePath("copy.conf")));
    Preferences reread(dir.filePath("copy.conf"));
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QVariant read = reread.value(it.key());
        EXPECT_EQ(read.typeId(), it.value().typeId()) << qPrintable(it.key());
        if (it.key() != "list") {
            EXPECT_EQ(read, it.value()) << qPrintable(it.key());
        }
    }
    const QVariantList list = reread.value("list").toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].toInt(), 1);
    EXPECT_EQ(list[1], QVariant("x"));
    EXPECT_EQ(list[2], QVariant(true));
}

TEST(PreferencesRoundTrip, GivenListsHoldingValuesJsonCannotCarry_WhenWrittenBack_ThenTheyReadTheSameLater)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.conf");
    ASSERT_TRUE(writeFile(
        path, "[General]\nempty=@Invalid(),\nbytes=@ByteArray(),\nboth=@Invalid(), @ByteArray(x)\n"));
    const QStringList keys = {"empty", "bytes", "both"};
    QVariantMap read;
    {
        Preferences preferences(path);
        for (const QString& key : keys) {
            read.insert(key, preferences.value(key));
            ASSERT_EQ(read[key].typeId(), QMetaType::QVariantList) << qPrintable(key);
            preferences.setValue(key, read[key]);
        }
        preferences.setValue("plain", QVariantList({"a", 2}));
        ASSERT_TRUE(preferences.flush());
    }
    const Preferences reread(path);
    for (const QString& key : keys) {
        const QVariantList list = reread.value(key).toList();
        const QVariantList before = read[key].toList();
        ASSERT_EQ(list.size(), before.size()) << qPrintable(key);
        for (qsizetype i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].typeId(), before[i].typeId()) << qPrintable(key) << " " << i;
            EXPECT_EQ(list[i], before[i]) << qPrintable(key) << " " << i;
        }
    }
    // A list JSON carries is still written as JSON, as earlier versions read it.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(R"(plain="@@QVariantList:[\"a\",2]")"));
}

TEST(PreferencesFlush, GivenAFileThatCannotBeWrittenThenFlushReportsFailure)
{
    QTemporaryDir dir;
    // A regular file where the folder should be: no user, root included, can write below it.
    writeFile(dir.filePath("blocker"), "x");
    Preferences preferences(dir.filePath("blocker/p.conf"));
    preferences.setValue("k", 1);
    EXPECT_FALSE(preferences.flush());

    Preferences writable(dir.filePath("sub/p.conf"));
    writable.setValue("k", 1);
    EXPECT_TRUE(writable.flush());
    EXPECT_TRUE(QFile::exists(dir.filePath("sub/p.conf")));
}

TEST(PreferencesFlush, GivenAWriterKilledAsItTookTheLock_ThenFlushWritesAtOnceAndALiveOwnersLockStays)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.conf");
    const QString lockPath = path + ".lock";
    // What a writer killed between creating the lock file and naming itself in it leaves.
    ASSERT_TRUE(writeFile(lockPath));
    auto flushed = std::async(std::launch::async, [&] {
        Preferences preferences(path);
        preferences.setValue("k", 1);
        return preferences.flush();
    });
    // Left alone, the lock holds the write up until it is 30 s old.
    ASSERT_EQ(flushed.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(flushed.get());
    EXPECT_EQ(Preferences(path).intValue("k"), 1);

    // QSettings writes by itself from the event loop after a change, before any flush.
    ASSERT_TRUE(writeFile(lockPath));
    Preferences opened(path);
    EXPECT_FALSE(QFile::exists(lockPath));

    QLockFile held(lockPath);
    ASSERT_TRUE(held.tryLock(0));
    EXPECT_FALSE(removeOwnerlessLockFile(lockPath));
    EXPECT_TRUE(QFile::exists(lockPath));
}

TEST(PreferencesWrites, GivenWritesHeld_WhenTheEventLoopWouldWrite_ThenOnlyAFlushOrTheEndOfTheHoldDoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.conf");
    // What another program reads: QSettings objects of this process share what is unwritten.
    const auto onDisk = [&path] {
        return test::readFile(path);
    };
    Preferences preferences(path);

    // Unheld, the event loop writes a change by itself.
    preferences.setValue("kWorkOfflineOnly", true);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(onDisk().contains("kWorkOfflineOnly"));

    preferences.holdWrites();
    preferences.setValue("kNumberOfRuns", 7);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(onDisk().contains("kNumberOfRuns"));

    // What must be on disk still gets there at once.
    preferences.setValue("_file_uploads_in_flight", "ticket");
    EXPECT_TRUE(preferences.flush());
    EXPECT_TRUE(onDisk().contains("_file_uploads_in_flight"));
    EXPECT_TRUE(onDisk().contains("kNumberOfRuns"));

    preferences.setValue("fontsize", 14);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(onDisk().contains("fontsize"));
    EXPECT_TRUE(preferences.resumeWrites());
    EXPECT_TRUE(onDisk().contains("fontsize"));

    // The hold is over: the event loop writes again.
    preferences.setValue("FONT_TIER", 3);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(onDisk().contains("FONT_TIER"));
}
