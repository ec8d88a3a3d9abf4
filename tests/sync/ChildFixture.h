#pragma once

#include "tests/sync/SyncFixture.h"

#include <QProcess>

namespace qv::test {

// A device run by the sync driver program in a child process (QV_SYNC_DRIVER), on a folder of
// its own, the way the program is started; the test serves the server's side meanwhile.
class ChildFixture : public SyncFixture {
protected:
    ~ChildFixture() override
    {
        if (child.state() != QProcess::NotRunning)
            killChild();
    }
    QString folderOf(const char* name) const { return home.root() + u'/' + QLatin1String(name); }
    // Started on that folder with the test's clock; "start" already told.
    void launchChild(const QString& folder, const QString& deviceUID)
    {
        child.setProgram(QStringLiteral(QV_SYNC_DRIVER));
        child.setArguments({folder, deviceUID, server.baseUrl().toString(),
                            QString::number(clock.now().toMSecsSinceEpoch())});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        ASSERT_TRUE(child.waitForStarted());
        tell("start");
    }
    // Serves the child's requests until it has carried the command out.
    void tell(const QByteArray& command)
    {
        child.write(command + "\n");
        ASSERT_TRUE(
            waitUntil([&] { return child.canReadLine() || child.state() == QProcess::NotRunning; }, 20'000));
        ASSERT_EQ(child.readLine().trimmed(), "ok") << command.constData();
    }
    void killChild()
    {
        child.kill(); // SIGKILL: no quit step
        child.waitForFinished();
    }

    QProcess child;
};

} // namespace qv::test
