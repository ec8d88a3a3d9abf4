#include "tests/ui/board/BoardDocumentFixture.h"

#include "exchange/iCalController.h"
#include "ui/board/ItemClipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <libical/ical.h>

#include <map>

namespace qv::test {
namespace {

struct ReadEvent {
    QString summary;
    QString start;
    QString stamp;
};

// The calendar file as an independent reader sees it: UID -> what its event says.
std::map<QString, ReadEvent> readBack(const QString& path)
{
    std::map<QString, ReadEvent> events;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return events;
    const QByteArray text = file.readAll();
    icalcomponent* calendar = icalparser_parse_string(text.constData());
    if (!calendar)
        return events;
    for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        ReadEvent read;
        read.summary = QString::fromUtf8(icalcomponent_get_summary(event));
        read.start = QString::fromLatin1(icaltime_as_ical_string(icalcomponent_get_dtstart(event)));
        read.stamp = QString::fromLatin1(icaltime_as_ical_string(icalcomponent_get_dtstamp(event)));
        events[QString::fromUtf8(icalcomponent_get_uid(event))] = read;
    }
    icalcomponent_free(calendar);
    return events;
}

QString uidOf(const TODOItem* item)
{
    return CalendarFile::uidForItem(item->id_());
}

class CalendarExportTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(1000);
        document->setTimeZone(QTimeZone(QByteArrayLiteral("Europe/Berlin")));
        ItemBuilder().withId(11).due(berlin(2026, 3, 12, 15)).onto(a);
        ItemBuilder().withId(12).due(berlin(2026, 3, 20, 0)).withValue("allDay", true).onto(b);
        ItemBuilder().withId(13).onto(c);
        other = ProjectBuilder(context(), "Other").atIndex(500);
        hidden = ItemBuilder("hidden").withId(21).due(berlin(2026, 3, 13, 9)).in(other);

        preferences.setValue(iCalController::syncKey(), true);
        iCalController::Options options = iCalController::optionsBesideStore(home.root() + "/store.sqlite");
        options.showStatus = [this](const QString& message) {
            messages << message;
        };
        calendar = std::make_unique<iCalController>(services, *document, options);
        calendar->setProjectExported(other, false);
        QObject::connect(calendar.get(), &iCalController::calendarWritten, [this](bool ok) {
            writes += ok ? 1 : 0;
            failures += ok ? 0 : 1;
        });

        board = std::make_unique<Board>(*document, services);
        board->updateFilters();
        board->updateSortDescriptors();
        board->showProject(project);
        QGuiApplication::clipboard()->clear();
        clipboard = std::make_unique<ItemClipboard>(*board);
        document->enableDidChangeContextNotifications();
        scheduler.runPosted();
    }

    void TearDown() override
    {
        clipboard.reset();
        board.reset();
        calendar.reset();
    }

    QDateTime berlin(int year, int month, int day, int hour) const
    {
        return QDateTime(QDate(year, month, day), QTime(hour, 0),
                         QTimeZone(QByteArrayLiteral("Europe/Berlin")));
    }

    // The queue's writes land, and their results reach the main thread.
    void finishWrites()
    {
        calendar->waitForQueue();
        QCoreApplication::processEvents();
    }
    // The coalescing delay passes, then the write lands.
    void afterDelay()
    {
        scheduler.advance(iCalController::kCoalesceMs);
        finishWrites();
    }
    QString stampNow() const { return clock.now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")); }
    void select(int q, const QList<qsizetype>& rows) { board->enableQuadrantAndSelectRows(q, rows, false); }

    TODOList* other = nullptr;
    TODOItem* hidden = nullptr;
    QStringList messages;
    int writes = 0;
    int failures = 0;
    std::unique_ptr<iCalController> calendar;
    std::unique_ptr<Board> board;
    std::unique_ptr<ItemClipboard> clipboard;
};

} // namespace

TEST_F(CalendarExportTest,
       GivenDatedItems_WhenExportedTwice_ThenEachTickedOneIsOneEventWithAStableUidItsDueDateTitleAndStamp)
{
    EXPECT_EQ(iCalController::sharedInstance(), calendar.get());
    const QString firstStamp = stampNow();
    calendar->exportToCalendar();
    finishWrites();

    EXPECT_EQ(messages, QStringList{"Exporting your items to the calendar..."});
    const QString path = home.root() + "/Quadrivo.ics";
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFileInfo(path).permissions() & others, QFileDevice::Permissions());
    std::map<QString, ReadEvent> events = readBack(path);
    // The undated item and the unticked project's item are not in it.
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[uidOf(a)].summary, "a");
    EXPECT_EQ(events[uidOf(a)].start, "20260312T140000Z");
    EXPECT_EQ(events[uidOf(a)].stamp, firstStamp);
    EXPECT_EQ(events[uidOf(b)].summary, "b");
    EXPECT_EQ(events[uidOf(b)].start, "20260320");
    EXPECT_EQ(uidOf(a), "item-11@quadrivo");

    // A second export after a change: the same UIDs, the new due date, a new stamp.
    clock.advance(60'000);
    a->setDueDate(berlin(2026, 3, 14, 10));
    calendar->exportToCalendar();
    finishWrites();
    events = readBack(path);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[uidOf(a)].start, "20260314T090000Z");
    EXPECT_EQ(events[uidOf(a)].stamp, stampNow());
    EXPECT_NE(events[uidOf(a)].stamp, firstStamp);
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(failures, 0);
}

TEST_F(CalendarExportTest,
       GivenTheCalendar_WhenItemsAreTrashedPastedOrCutAndUndone_ThenTheirEventsFollowInOneWrite)
{
    // Before the first export there is no calendar to change.
    document->markTODOItemAsTrashed(a, project);
    afterDelay();
    EXPECT_EQ(writes, 0);
    EXPECT_FALSE(QFileInfo::exists(calendar->calendarPath()));
    a->setState(0);

    calendar->exportToCalendar();
    finishWrites();
    ASSERT_EQ(writes, 1);

    // Trashing removes the item's event; the other change in the same second joins the write.
    document->markTODOItemAsTrashed(a, project);
    calendar->updateEventForItem(b, project);
    afterDelay();
    EXPECT_EQ(writes, 2);
    std::map<QString, ReadEvent> events = readBack(calendar->calendarPath());
    EXPECT_EQ(events.count(uidOf(a)), 0u);
    EXPECT_EQ(events.count(uidOf(b)), 1u);

    // A pasted copy of a dated item is an event of its own.
    board->rearrangeArrayControllers();
    select(0, {0});
    clipboard->copy();
    select(2, {});
    ASSERT_TRUE(clipboard->paste());
    afterDelay();
    events = readBack(calendar->calendarPath());
    ASSERT_EQ(events.size(), 2u);
    TODOItem* pasted = store::as<TODOItem>(board->controller(2).arrangedObjectAt(0));
    ASSERT_NE(pasted, nullptr);
    ASSERT_NE(pasted->id_(), b->id_());
    EXPECT_EQ(events[uidOf(pasted)].summary, "b");
    EXPECT_EQ(events[uidOf(pasted)].start, "20260320");

    // A cut leaves the item out of the next write; its undo brings the event back.
    select(0, {0});
    clipboard->cut();
    calendar->exportToCalendar();
    finishWrites();
    EXPECT_EQ(readBack(calendar->calendarPath()).count(uidOf(b)), 0u);
    clipboard->undo();
    afterDelay();
    EXPECT_EQ(readBack(calendar->calendarPath()).count(uidOf(b)), 1u);
    EXPECT_EQ(failures, 0);
}

TEST_F(CalendarExportTest,
       GivenAFolderThatCannotBeWritten_WhenExporting_ThenAPlainMessageSaysSoAndNothingIsLost)
{
    // A file where the calendar's folder should be: no one, not even root, can make the folder.
    QFile blocker(home.root() + "/blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    iCalController::Options options =
        iCalController::optionsBesideStore(home.root() + "/blocked/store.sqlite");
    options.showStatus = [this](const QString& message) {
        messages << message;
    };
    iCalController blocked(services, *document, options);

    blocked.exportToCalendar();
    blocked.waitForQueue();
    QCoreApplication::processEvents();

    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "Exporting your items to the calendar...");
    EXPECT_TRUE(messages[1].startsWith("The calendar could not be written")) << messages[1].toStdString();
    EXPECT_EQ(a->name(), "a");
    EXPECT_TRUE(a->dueDate().isValid());
    EXPECT_FALSE(QFileInfo::exists(calendar->calendarPath()));
}

TEST_F(CalendarExportTest, GivenCalendarSyncOff_WhenAnythingIsAsked_ThenThereIsNoInstanceAndNothingIsWritten)
{
    preferences.setValue(iCalController::syncKey(), false);
    EXPECT_EQ(iCalController::sharedInstance(), nullptr);
    calendar->updateEventForItem(a, project);
    afterDelay();
    EXPECT_FALSE(QFileInfo::exists(calendar->calendarPath()));
    preferences.setValue(iCalController::syncKey(), true);
    EXPECT_EQ(iCalController::sharedInstance(), calendar.get());
}

} // namespace qv::test
