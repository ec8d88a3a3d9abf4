#include "app/LauncherBadge.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

// Collects the launcher-entry signals a bus delivers.
class Listener : public QObject {
    Q_OBJECT
public:
    QList<QVariantList> received;
public slots:
    void update(const QDBusMessage& message) { received << message.arguments(); }
};

} // namespace

TEST(LauncherBadgeTest, GivenACount_WhenTheSignalIsBuilt_ThenItCarriesCountAndVisibility)
{
    const QDBusMessage shown = LauncherBadge::updateMessage(7);
    EXPECT_EQ(shown.type(), QDBusMessage::SignalMessage);
    EXPECT_EQ(shown.interface(), QStringLiteral("com.canonical.Unity.LauncherEntry"));
    EXPECT_EQ(shown.member(), QStringLiteral("Update"));
    ASSERT_EQ(shown.arguments().size(), 2);
    EXPECT_EQ(shown.arguments()[0].toString(), QStringLiteral("application://quadrivo.desktop"));
    const QVariantMap properties = shown.arguments()[1].toMap();
    EXPECT_EQ(properties.value(QStringLiteral("count")).toLongLong(), 7);
    EXPECT_TRUE(properties.value(QStringLiteral("count-visible")).toBool());

    const QVariantMap removed = LauncherBadge::updateMessage(0).arguments()[1].toMap();
    EXPECT_FALSE(removed.value(QStringLiteral("count-visible")).toBool());
    EXPECT_EQ(removed.value(QStringLiteral("count")).toLongLong(), 0);
}

TEST(LauncherBadgeTest, GivenAPrivateSessionBus_WhenTheCountChanges_ThenADockOnTheBusSeesIt)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    QProcess bus;
    bus.start(daemon,
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    ASSERT_TRUE(bus.waitForStarted());
    ASSERT_TRUE(bus.waitForReadyRead(10'000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());

    {
        QDBusConnection dock = QDBusConnection::connectToBus(address, QStringLiteral("dock"));
        QDBusConnection application = QDBusConnection::connectToBus(address, QStringLiteral("application"));
        ASSERT_TRUE(dock.isConnected());
        Listener listener;
        ASSERT_TRUE(dock.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                 QStringLiteral("Update"), &listener, SLOT(update(QDBusMessage))));

        // The bus handles a connection's messages in order: once this call is answered, the dock's
        // match rule is in place.
        const QDBusMessage reply = dock.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);

        LauncherBadge badge(application);
        badge.setBadgeCount(4);
        badge.setBadgeCount(0);
        const QDeadlineTimer deadline(10'000);
        while (listener.received.size() < 2 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

        ASSERT_EQ(listener.received.size(), 2);
        EXPECT_EQ(listener.received[0][0].toString(), QStringLiteral("application://quadrivo.desktop"));
        EXPECT_EQ(
            qdbus_cast<QVariantMap>(listener.received[0][1]).value(QStringLiteral("count")).toLongLong(), 4);
        EXPECT_FALSE(
            qdbus_cast<QVariantMap>(listener.received[1][1]).value(QStringLiteral("count-visible")).toBool());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("dock"));
    QDBusConnection::disconnectFromBus(QStringLiteral("application"));
    bus.terminate();
    bus.waitForFinished(5000);
}

} // namespace qv::test

#include "LauncherBadgeTest.moc"
