#include "platform/Keychain.h"
#include "platform/Log.h"
#include "platform/SecretServiceStore.h"
#include "tests/support/MemorySecretStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qv;

namespace {

const QString kService = QStringLiteral("Quadrivo");
const QString kEmail = QStringLiteral("ann+work@firm.consulting");
const QString kNonAscii = QStringLiteral(u"pässwörd-密码-🔑");

// What every password store must do, run against the in-memory one and the Secret Service.
void checkEntryLifecycle(SecretStore& store)
{
    LogCapture log;
    EXPECT_EQ(GenericKeychainItem::genericKeychainItemForService(store, kService, kEmail), nullptr);
    EXPECT_EQ(GenericKeychainItem::genericKeychainItemForService(store, QString(), kEmail), nullptr);
    EXPECT_TRUE(log.lines().isEmpty()) << "nothing is logged while logsErrors is off";

    ASSERT_NE(GenericKeychainItem::addGenericKeychainItemForService(store, kService, kEmail, kNonAscii),
              nullptr);
    EXPECT_EQ(
        GenericKeychainItem::addGenericKeychainItemForService(store, kService, kEmail, QStringLiteral("x")),
        nullptr);

    auto found = GenericKeychainItem::genericKeychainItemForService(store, kService, kEmail);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->password(), kNonAscii);
    EXPECT_EQ(found->username(), kEmail);
    EXPECT_EQ(found->serviceName(), kService);

    EXPECT_TRUE(found->setPassword(QStringLiteral("second")));
    EXPECT_TRUE(found->setLabel(QStringLiteral("Sync account")));
    EXPECT_TRUE(found->setUsername(QStringLiteral("ann@firm.consulting")));
    const auto renamed = GenericKeychainItem::genericKeychainItemForService(
        store, kService, QStringLiteral("ann@firm.consulting"));
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(renamed->password(), QStringLiteral("second"));
    EXPECT_EQ(renamed->label(), QStringLiteral("Sync account"));
    EXPECT_EQ(GenericKeychainItem::genericKeychainItemForService(store, kService, kEmail), nullptr);
}

} // namespace

TEST(Keychain,
     GivenAStore_WhenEntriesAreChangedOrSetToTheSameOrNoString_ThenTheyBehaveAndNoNeedlessCallIsMade)
{
    test::MemorySecretStore fresh;
    checkEntryLifecycle(fresh);

    test::MemorySecretStore store;
    auto item =
        GenericKeychainItem::addGenericKeychainItemForService(store, kService, kEmail, QStringLiteral("pw"));
    ASSERT_NE(item, nullptr);
    store.available = false; // any call would fail now
    EXPECT_TRUE(item->setPassword(QStringLiteral("pw")));
    EXPECT_TRUE(item->setPassword(QString()));
    EXPECT_EQ(item->password(), QStringLiteral("pw"));
}

TEST(Keychain, GivenAStoreRefusingUpdates_WhenThePasswordIsChanged_ThenTheFailureIsReportedAndTheOldValueKept)
{
    test::MemorySecretStore store;
    Keychain keychain(store);
    ASSERT_TRUE(keychain.setPasswordForUsername(QStringLiteral("old"), kEmail));
    auto item = GenericKeychainItem::genericKeychainItemForService(store, kService, kEmail);
    ASSERT_NE(item, nullptr);

    store.refuseUpdates = true;
    EXPECT_FALSE(item->setPassword(QStringLiteral("new")));
    EXPECT_FALSE(item->setLabel(QStringLiteral("label")));
    EXPECT_FALSE(keychain.setPasswordForUsername(QStringLiteral("new"), kEmail));

    EXPECT_EQ(item->password(), QStringLiteral("old"));
    EXPECT_EQ(keychain.passwordForUsername(kEmail), QStringLiteral("old"));
}

TEST(
    Keychain,
    GivenNoPasswordStoreOrOneThatRefuses_WhenPasswordsAreStoredOrRead_ThenNothingIsKeptAndTheUserIsToldOnceEach)
{
    test::MemorySecretStore store;
    store.available = false;
    QStringList told;
    bool windowShown = false;
    Keychain keychain(store, [&](const QString& message) {
        if (windowShown)
            told << message;
        return windowShown;
    });

    // Not shown yet (no window): given again at the next occasion, then never more.
    EXPECT_FALSE(keychain.setPasswordForUsername(QStringLiteral("pw"), kEmail));
    windowShown = true;
    EXPECT_TRUE(keychain.passwordForUsername(kEmail).isNull());
    EXPECT_FALSE(keychain.setPasswordForUsername(QStringLiteral("pw"), kEmail));
    EXPECT_TRUE(store.entries.isEmpty());
    EXPECT_EQ(told, QStringList{Keychain::kUnavailableNotice});

    // A store that runs but refuses the password: said once too, for a new entry or an update.
    store.available = true;
    store.refuseUpdates = true;
    ASSERT_NE(GenericKeychainItem::addGenericKeychainItemForService(store, Keychain::kServiceName, kEmail,
                                                                    QStringLiteral("old")),
              nullptr);
    EXPECT_FALSE(keychain.setPasswordForUsername(QStringLiteral("new"), kEmail));
    EXPECT_FALSE(keychain.setPasswordForUsername(QString(QLatin1String("")), kEmail));
    EXPECT_EQ(told, (QStringList{Keychain::kUnavailableNotice, Keychain::kRefusedNotice}));
    EXPECT_EQ(keychain.passwordForUsername(kEmail), QStringLiteral("old"));

    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    QTemporaryDir dir;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath(QStringLiteral("none")).toUtf8());
    SecretServiceStore service;
    SecretStore::Entry entry;
    const SecretStore::Result result = service.find(kService, kEmail, &entry);
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    EXPECT_EQ(result.status, SecretStore::Status::Unavailable) << result.error.toStdString();
}

// Runs itself again inside a private session bus with a keyring daemon of its own, so the real
// Secret Service is exercised without touching the user's keyrings.
TEST(Keychain, GivenARunningKeyringDaemon_WhenEntriesAreLookedUpAddedAndChanged_ThenTheyBehaveAsStoredEntries)
{
    const QString marker = QStringLiteral("keyring-unavailable");
    if (qEnvironmentVariableIsSet("QV_KEYRING_CHILD")) {
        SecretServiceStore store;
        SecretStore::Entry entry;
        if (store.find(kService, QStringLiteral("probe"), &entry).status ==
            SecretStore::Status::Unavailable) {
            printf("%s\n", qPrintable(marker));
            return;
        }
        checkEntryLifecycle(store);
        return;
    }
    const QString busRunner = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
    if (busRunner.isEmpty() || daemon.isEmpty())
        GTEST_SKIP()
            << "dbus-run-session or gnome-keyring-daemon is not installed (tools/deps.sh installs them)";

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        env.insert(QLatin1String(name), home.path());
    env.insert(QStringLiteral("QV_KEYRING_CHILD"), QStringLiteral("1"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));

    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString script =
        QStringLiteral("printf 'test-only' | \"$1\" --unlock --components=secrets >/dev/null 2>&1"
                       " || { echo %1; exit 0; }; exec \"$0\" --gtest_filter=\"$2\"")
            .arg(marker);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    child.start(busRunner, {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                            QCoreApplication::applicationFilePath(), daemon,
                            QStringLiteral("%1.%2").arg(QLatin1String(info->test_suite_name()),
                                                        QLatin1String(info->name()))});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(child.waitForFinished(120'000));
    const QString output = QString::fromUtf8(child.readAll());
    if (output.contains(marker))
        GTEST_SKIP() << "the keyring daemon could not start under dbus-run-session here:\n"
                     << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}
