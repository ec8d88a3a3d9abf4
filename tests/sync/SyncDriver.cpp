// A device run in a process of its own, driven line by line on stdin, so that a test can kill it
// with SIGKILL at a chosen moment. Arguments: folder, device identifier, server origin, the
// clock's start (ms since 1970). Commands, each answered "ok" once done: "start", "tick <ms>",
// "items <n>" (inbox items "bulk 0".. ), "project <name>" (with an item "<name> item"),
// "rename <server id> <name>", "save",
// and "send items" / "send projects", after which it only runs its event loop until killed.
#include "sync/ItemUpdaterLoop.h"
#include "tests/support/TestData.h"
#include "tests/sync/SyncDevice.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

using namespace qv;
using namespace qv::test;

class Driver {
public:
    Driver(const QStringList& args)
        : m_clock(QDateTime::fromMSecsSinceEpoch(args.at(3).toLongLong(), QTimeZone::utc())),
          m_device(args.at(0), args.at(1), m_clock, m_scheduler, args.at(2))
    {
    }

    bool run(const QString& line)
    {
        const QStringList words = line.split(u' ');
        const QString command = words.value(0);
        if (command == QLatin1String("start")) {
            if (!m_device.open())
                return false;
            m_device.sync().startAllLoops();
            tick(QVRestManager::kLoopStartDelayMs);
        } else if (command == QLatin1String("tick")) {
            tick(words.value(1).toLongLong());
        } else if (command == QLatin1String("items")) {
            for (int i = 0; i < words.value(1).toInt(); ++i)
                ItemBuilder(QStringLiteral("bulk %1").arg(i)).madeBy(*m_device.document, nullptr);
        } else if (command == QLatin1String("project")) {
            ItemBuilder(words.value(1) + QStringLiteral(" item"))
                .madeBy(*m_device.document, ProjectBuilder(m_device.context(), words.value(1)));
        } else if (command == QLatin1String("rename")) {
            TODOItem* item = m_device.itemWithServerID(words.value(1).toLongLong());
            if (!item)
                return false;
            item->setName(words.mid(2).join(u' '));
            m_scheduler.runPosted();
        } else if (command == QLatin1String("save")) {
            m_device.save();
        } else if (command == QLatin1String("send")) {
            if (words.value(1) == QLatin1String("items"))
                m_device.sync().sendEditedItemsToServer();
            else
                m_device.sync().sendEditedProjectsToServer();
            answer();
            for (;;) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
                m_scheduler.runPosted();
            }
        } else {
            return false;
        }
        answer();
        return true;
    }

private:
    static void answer()
    {
        std::fputs("ok\n", stdout);
        std::fflush(stdout);
    }
    // Until nothing is posted and no request is out, twice in a row.
    void settle()
    {
        for (int quiet = 0; quiet < 2;) {
            m_scheduler.runPosted();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            const bool idle = m_scheduler.pendingPosts() == 0 &&
                              (!m_device.isOpen() || m_device.sync().pendingRequestCount() == 0);
            quiet = idle ? quiet + 1 : 0;
            if (!idle)
                QThread::msleep(1);
        }
    }
    void tick(qint64 ms)
    {
        settle();
        for (; ms > 0; ms -= 1000) {
            m_scheduler.advance(std::min<qint64>(ms, 1000));
            settle();
        }
    }

    FakeClock m_clock;
    ManualScheduler m_scheduler{&m_clock};
    SyncDevice m_device;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 4)
        return 2;
    Driver driver(args);
    QTextStream input(stdin);
    for (QString line; input.readLineInto(&line);) {
        if (!driver.run(line.trimmed()))
            return 3;
    }
    return 0;
}
