#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "exchange/iCalController.h"
#include "platform/store/Context.h"
#include "tests/support/DocumentFakes.h"
#include "tests/support/TestData.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <utility>

namespace qv::test {
namespace {

// Wednesday 10 March 2027, noon in Berlin.
const QDateTime kNow(QDate(2027, 3, 10), QTime(11, 0), Qt::UTC);

// As another program would write it: CRLF lines, a zone of its own, a series, and events this
// reader must leave out (past, without a start, in a zone no one knows).
const char kWork[] = "BEGIN:VCALENDAR\r\n"
                     "VERSION:2.0\r\n"
                     "PRODID:-//Example//Hand written//EN\r\n"
                     "BEGIN:VTIMEZONE\r\n"
                     "TZID:Custom/Eastern\r\n"
                     "BEGIN:STANDARD\r\n"
                     "DTSTART:19701101T020000\r\n"
                     "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
                     "TZOFFSETFROM:-0400\r\n"
                     "TZOFFSETTO:-0500\r\n"
                     "END:STANDARD\r\n"
                     "BEGIN:DAYLIGHT\r\n"
                     "DTSTART:19700308T020000\r\n"
                     "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
                     "TZOFFSETFROM:-0500\r\n"
                     "TZOFFSETTO:-0400\r\n"
                     "END:DAYLIGHT\r\n"
                     "END:VTIMEZONE\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:dentist@example.org\r\n"
                     "DTSTART:20270316T081500Z\r\n"
                     "SUMMARY:Dentist\r\n"
                     "DESCRIPTION:Bring the card\\, and the form\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:holiday@example.org\r\n"
                     "DTSTART;VALUE=DATE:20270312\r\n"
                     "SUMMARY:Holiday\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:call@example.org\r\n"
                     "DTSTART;TZID=Custom/Eastern:20270315T090000\r\n"
                     "SUMMARY:Call with the file's own zone\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:tokyo@example.org\r\n"
                     "DTSTART;TZID=Asia/Tokyo:20270311T090000\r\n"
                     "SUMMARY:Tokyo\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:standup@example.org\r\n"
                     "DTSTART:20200106T080000Z\r\n"
                     "RRULE:FREQ=WEEKLY;BYDAY=MO\r\n"
                     "SUMMARY:Standup\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:past@example.org\r\n"
                     "DTSTART:20270301T080000Z\r\n"
                     "SUMMARY:Past\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:nostart@example.org\r\n"
                     "SUMMARY:Broken\r\n"
                     "END:VEVENT\r\n"
                     "BEGIN:VEVENT\r\n"
                     "UID:nowhere@example.org\r\n"
                     "DTSTART;TZID=Nowhere/Special:20270320T090000\r\n"
                     "SUMMARY:Nowhere\r\n"
                     "END:VEVENT\r\n"
                     "END:VCALENDAR\r\n";

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10'000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

class CalendarImportTest : public ::testing::Test, protected FakeServices<> {
protected:
    CalendarImportTest() : FakeServices(kNow) {}

    void SetUp() override
    {
        preferences.setValue(iCalController::syncKey(), true);
        work = home.root() + "/calendars/work.ics";
        QDir().mkpath(home.root() + "/calendars");
        write(work, kWork);
        start();
    }

    void TearDown() override { stop(); }

    // The application's start: the document over the store in the private home, its calendar sync.
    void start()
    {
        QString error;
        document = openDocument(&error);
        ASSERT_NE(document, nullptr) << error.toStdString();
        document->setTimeZone(QTimeZone(QByteArrayLiteral("Europe/Berlin")));
        document->setSyncEngine(&sync);
        document->enableDidChangeContextNotifications();
        iCalController::Options options = iCalController::optionsBesideStore(document->context().path());
        options.showStatus = [this](const QString& message) {
            messages << message;
        };
        calendar = std::make_unique<iCalController>(services, *document, options);
        QObject::connect(calendar.get(), &iCalController::importApplied, [this] { ++applied; });
    }

    void stop()
    {
        calendar.reset();
        if (document)
            document->commitChanges();
        document.reset();
    }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    void importAll()
    {
        const int before = applied;
        const int files = int(calendar->importFiles().size());
        calendar->importFromCalendar();
        ASSERT_TRUE(waitFor([&] { return applied == before + files; }));
        scheduler.runPosted();
    }

    std::size_t inboxCount() const { return document->getAllTODOItemsInInbox().size(); }
    std::map<QString, TODOItem*> inbox() const
    {
        std::map<QString, TODOItem*> items;
        for (TODOItem* item : document->getAllTODOItemsInInbox())
            items[item->name()] = item;
        return items;
    }

    // kWork with each text replaced by the one after it, written over the added file.
    void rewriteWork(std::initializer_list<std::pair<const char*, const char*>> changes)
    {
        QByteArray text(kWork);
        for (const auto& [from, to] : changes) {
            ASSERT_TRUE(text.contains(from)) << from;
            text.replace(from, to);
        }
        write(work, text);
    }

    // A change that reaches the store as the sync merges one from another device: not tracked as
    // an edit of this computer's.
    void asSyncMerges(const std::function<void()>& change)
    {
        document->disableDidChangeContextNotifications();
        change();
        document->enableDidChangeContextNotifications();
    }

    // Every item as sent: nothing left to upload.
    void markAllSent()
    {
        scheduler.runPosted();
        for (const auto& [name, item] : inbox())
            item->setEdited_since(0);
        scheduler.runPosted();
    }

    // The store file removed while the preferences and the links file stay; the program starts
    // again over a new, empty store.
    void loseStore()
    {
        const QString path = document->context().path();
        stop();
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
        start();
    }

    // An item as a whole sync brings it into a new store: as the server holds it.
    TODOItem* refill(const ItemBuilder& item)
    {
        TODOItem* made = nullptr;
        asSyncMerges([&] { made = item.in(document->context()); });
        return made;
    }

    QString linksPath() const
    {
        return QFileInfo(document->context().path()).absolutePath() + "/" + iCalController::linksFileName();
    }

    QString work;
    StubSyncEngine sync;
    QStringList messages;
    int applied = 0;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<iCalController> calendar;
};

} // namespace

TEST_F(
    CalendarImportTest,
    GivenAHandWrittenCalendar_WhenImportedAgainAndAfterARestart_ThenEachEventFromTodayOnIsOneTrackedInboxItem)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why)) << why.toStdString();
    const QDateTime written = QFileInfo(work).lastModified();

    importAll();
    std::map<QString, TODOItem*> items = inbox();
    ASSERT_EQ(items.size(), 5u);
    ASSERT_EQ(inboxCount(), 5u);
    EXPECT_EQ(messages.first(), "Importing your items from the calendar...");
    EXPECT_EQ(messages.last(), "Imported from the calendar: 5 items new, 0 due dates moved. Left out of "
                               "\u201Cwork.ics\u201D: one without a start, one in a time zone this computer "
                               "does not know.");

    TODOItem* dentist = items.at("Dentist");
    EXPECT_EQ(dentist->dueDate(), QDateTime(QDate(2027, 3, 16), QTime(8, 15), Qt::UTC));
    EXPECT_EQ(dentist->descriptionText(), "Bring the card, and the form");
    EXPECT_FALSE(dentist->allDay());
    // All day: the day itself, here.
    TODOItem* holiday = items.at("Holiday");
    EXPECT_TRUE(holiday->allDay());
    EXPECT_EQ(holiday->dueDate().toTimeZone(document->timeZone()),
              QDateTime(QDate(2027, 3, 12), QTime(0, 0), document->timeZone()));
    // Eastern daylight time began on 14 March; Tokyo has none.
    EXPECT_EQ(items.at("Call with the file's own zone")->dueDate(),
              QDateTime(QDate(2027, 3, 15), QTime(13, 0), Qt::UTC));
    EXPECT_EQ(items.at("Tokyo")->dueDate(), QDateTime(QDate(2027, 3, 11), QTime(0, 0), Qt::UTC));
    // The series gives one item, at its next occurrence.
    EXPECT_EQ(items.at("Standup")->dueDate(), QDateTime(QDate(2027, 3, 15), QTime(8, 0), Qt::UTC));
    // Ordinary edits: marked for upload and handed to the sync.
    for (const auto& [name, item] : items)
        EXPECT_EQ(item->edited_since(), 1) << name.toStdString();
    EXPECT_EQ(sync.calls.filter(QStringLiteral("sendItem ")).size(), 5);

    // Again: nothing twice; a moved event moves its item.
    QByteArray moved(kWork);
    moved.replace("DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z");
    write(work, moved);
    dentist->setEdited_since(0);
    scheduler.runPosted();
    importAll();
    ASSERT_EQ(inboxCount(), 5u);
    EXPECT_EQ(dentist->dueDate(), QDateTime(QDate(2027, 3, 18), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(dentist->edited_since(), 1);
    EXPECT_TRUE(messages.last().startsWith("Imported from the calendar: 0 items new, one due date moved."));

    // After a restart the links are read back from their file.
    stop();
    start();
    importAll();
    EXPECT_EQ(inboxCount(), 5u);
    EXPECT_TRUE(QFileInfo::exists(linksPath()));
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFileInfo(linksPath()).permissions() & others, QFileDevice::Permissions());
    // The imported file itself is only read.
    QFile file(work);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), moved);
    EXPECT_GE(QFileInfo(work).lastModified(), written);
}

TEST_F(CalendarImportTest,
       GivenFilesThatAreNotWholeCalendars_WhenImported_ThenEachIsNamedWithWhyAndNothingIsMade)
{
    const QString card = home.root() + "/calendars/card.ics";
    const QString cut = home.root() + "/calendars/cut.ics";
    const QString gone = home.root() + "/calendars/gone.ics";
    write(card, "BEGIN:VCARD\nFN:Someone\nEND:VCARD\n");
    QByteArray half(kWork);
    half.truncate(half.indexOf("SUMMARY:Holiday") + 5);
    write(cut, half);
    write(gone, kWork);
    QString why;
    for (const QString& path : {card, cut, gone})
        ASSERT_TRUE(calendar->addImportFile(path, &why));
    // Vanished between adding and reading.
    QFile::remove(gone);

    importAll();

    EXPECT_TRUE(inbox().empty());
    EXPECT_FALSE(QFileInfo::exists(linksPath()));
    const QString& shown = messages.last();
    EXPECT_TRUE(
        shown.contains("Nothing was imported from \u201Ccard.ics\u201D: it is not an iCalendar file."))
        << shown.toStdString();
    EXPECT_TRUE(
        shown.contains("Nothing was imported from \u201Ccut.ics\u201D: it ends before its calendar does"))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains("Nothing was imported from \u201Cgone.ics\u201D: it is no longer there."))
        << shown.toStdString();
    // Adding a file that is not there, or our own calendar, is refused with the reason.
    EXPECT_FALSE(calendar->addImportFile(home.root() + "/none.ics", &why));
    EXPECT_EQ(why, "\u201Cnone.ics\u201D cannot be read.");
    write(calendar->calendarPath(), "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    EXPECT_FALSE(calendar->addImportFile(calendar->calendarPath(), &why));
}

TEST_F(CalendarImportTest, GivenAWatchedFile_WhenAnotherProgramReplacesItTwice_ThenEachVersionIsImported)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    calendar->startObservingCalendarNotifications();
    ASSERT_TRUE(calendar->isWatching(work));

    // Written beside it, then renamed over it, as editors and calendar programs save.
    const auto replace = [&](const QByteArray& from, const QByteArray& to) {
        QByteArray text(kWork);
        text.replace(from, to);
        write(home.root() + "/calendars/next.tmp", text);
        ASSERT_EQ(QProcess::execute("mv", {home.root() + "/calendars/next.tmp", work}), 0);
    };
    const auto seen = [&](const QString& name) {
        return waitFor([&] {
            scheduler.advance(iCalController::kSettleMs);
            calendar->waitForQueue();
            return inbox().count(name) == 1;
        });
    };
    replace("SUMMARY:Dentist", "SUMMARY:Dentist at nine");
    ASSERT_TRUE(seen("Dentist at nine"));
    ASSERT_TRUE(waitFor([&] { return calendar->isWatching(work); }));

    // Re-armed after the replacement: the next one is seen too (and the first stays one item).
    replace("UID:past@example.org\r\nDTSTART:20270301T080000Z",
            "UID:past@example.org\r\nDTSTART:20270401T080000Z");
    ASSERT_TRUE(seen("Past"));
    EXPECT_EQ(inboxCount(), 6u);
}

TEST_F(CalendarImportTest, GivenCalendarSyncOff_WhenAFileChanges_ThenNothingIsImported)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    preferences.setValue(iCalController::syncKey(), false);
    EXPECT_EQ(iCalController::sharedInstance(), nullptr);
    calendar->startObservingCalendarNotifications();
    EXPECT_FALSE(calendar->isWatching(work));
    calendar->eventsChanged(work);
    calendar->waitForQueue();
    QCoreApplication::processEvents();
    EXPECT_TRUE(inbox().empty());
}

TEST_F(CalendarImportTest,
       GivenDueDatesChangedSinceTheImport_WhenTheUnchangedFileIsImportedAgain_ThenEveryChangeStays)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    importAll();
    std::map<QString, TODOItem*> items = inbox();
    const QDateTime elsewhere(QDate(2027, 3, 20), QTime(9, 0), Qt::UTC);
    // One moved on another device and merged here, one's date taken away here.
    asSyncMerges([&] { items.at("Dentist")->setDueDate(elsewhere); });
    items.at("Holiday")->setDueDate(QDateTime());
    markAllSent();
    const qsizetype sent = sync.calls.size();

    importAll();
    EXPECT_EQ(items.at("Dentist")->dueDate(), elsewhere);
    EXPECT_FALSE(items.at("Holiday")->dueDate().isValid());
    EXPECT_EQ(inboxCount(), 5u);
    for (const auto& [name, item] : items)
        EXPECT_EQ(item->edited_since(), 0) << name.toStdString();
    EXPECT_EQ(sync.calls.size(), sent);
    EXPECT_FALSE(messages.last().contains("Imported from the calendar")) << messages.last().toStdString();

    // Once the event itself moves, its item follows it again.
    rewriteWork({{"DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z"}});
    importAll();
    EXPECT_EQ(items.at("Dentist")->dueDate(), QDateTime(QDate(2027, 3, 18), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(items.at("Dentist")->edited_since(), 1);
    EXPECT_FALSE(items.at("Holiday")->dueDate().isValid());
}

TEST_F(CalendarImportTest,
       GivenAnImportedSeries_WhenItReachesItsNextOccurrence_ThenOnlyAChangedRuleMovesItsItem)
{
    const auto dropped = std::make_pair("RRULE:FREQ=WEEKLY;BYDAY=MO\r\n",
                                        "RRULE:FREQ=WEEKLY;BYDAY=MO\r\nEXDATE:20270301T080000Z\r\n");
    rewriteWork({dropped});
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    importAll();
    const QDateTime monday(QDate(2027, 3, 15), QTime(8, 0), Qt::UTC);
    ASSERT_EQ(inbox().at("Standup")->dueDate(), monday);
    markAllSent();

    // Tuesday, after a restart: the series' next occurrence is a week on, which is no move of
    // the event as noted in the links file.
    clock.advance(6 * 24 * 3600 * 1000LL);
    stop();
    start();
    importAll();
    TODOItem* standup = inbox().at("Standup");
    EXPECT_EQ(standup->dueDate(), monday);
    EXPECT_EQ(standup->edited_since(), 0);

    // Moved to Tuesdays: due at today's occurrence.
    rewriteWork(
        {{"RRULE:FREQ=WEEKLY;BYDAY=MO\r\n", "RRULE:FREQ=WEEKLY;BYDAY=TU\r\nEXDATE:20270301T080000Z\r\n"}});
    importAll();
    EXPECT_EQ(standup->dueDate(), QDateTime(QDate(2027, 3, 16), QTime(8, 0), Qt::UTC));
    EXPECT_EQ(standup->edited_since(), 1);
    EXPECT_TRUE(messages.last().startsWith("Imported from the calendar: 0 items new, one due date moved."))
        << messages.last().toStdString();
}

TEST_F(CalendarImportTest, GivenCompletedAndTrashedImportedItems_WhenTheirEventsMove_ThenOnlyTheOpenItemMoves)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    importAll();
    std::map<QString, TODOItem*> items = inbox();
    TODOItem* dentist = items.at("Dentist");
    TODOItem* holiday = items.at("Holiday");
    TODOItem* call = items.at("Call with the file's own zone");
    document->markTODOItem(dentist, nullptr, nullptr, 100);
    document->markTODOItemAsTrashed(holiday, nullptr);
    const QDateTime dentistDue = dentist->dueDate();
    const QDateTime holidayDue = holiday->dueDate();
    markAllSent();

    rewriteWork(
        {{"DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z"},
         {"DTSTART;VALUE=DATE:20270312", "DTSTART;VALUE=DATE:20270319"},
         {"DTSTART;TZID=Custom/Eastern:20270315T090000", "DTSTART;TZID=Custom/Eastern:20270315T100000"}});
    importAll();
    EXPECT_EQ(dentist->dueDate(), dentistDue);
    EXPECT_EQ(dentist->objectState(), ObjectState::Completed);
    EXPECT_EQ(holiday->dueDate(), holidayDue);
    EXPECT_EQ(holiday->objectState(), ObjectState::Trashed);
    EXPECT_EQ(call->dueDate(), QDateTime(QDate(2027, 3, 15), QTime(14, 0), Qt::UTC));
    EXPECT_TRUE(messages.last().startsWith("Imported from the calendar: 0 items new, one due date moved."))
        << messages.last().toStdString();
}

TEST_F(CalendarImportTest, GivenLinksNotedByAnEarlierVersion_WhenImported_ThenNothingMovesUntilAnEventDoes)
{
    // Imported by an earlier version, which noted the item's store address alone; the date was
    // changed since.
    const QDateTime changed(QDate(2027, 3, 22), QTime(7, 30), Qt::UTC);
    TODOItem* dentist = ItemBuilder("Dentist").withId(4242).due(changed).in(document->context());
    ASSERT_TRUE(document->commitChanges());
    QJsonObject links;
    links.insert("dentist@example.org", dentist->uri());
    write(linksPath(), QJsonDocument(QJsonObject{{"version", 1}, {"links", links}}).toJson());
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    stop();
    start();

    importAll();
    std::map<QString, TODOItem*> items = inbox();
    ASSERT_EQ(inboxCount(), 5u);
    dentist = items.at("Dentist");
    EXPECT_EQ(dentist->dueDate(), changed);
    EXPECT_TRUE(messages.last().startsWith("Imported from the calendar: 4 items new, 0 due dates moved."))
        << messages.last().toStdString();

    rewriteWork({{"DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z"}});
    importAll();
    EXPECT_EQ(dentist->dueDate(), QDateTime(QDate(2027, 3, 18), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(inboxCount(), 5u);
}

TEST_F(CalendarImportTest,
       GivenTheStoreRefilledByAWholeSync_WhenAnEventMoves_ThenItsOwnItemMovesAndNoneIsMadeTwice)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    importAll();
    // Uploaded: each item has its server identity, and another import notes it.
    std::map<QString, TODOItem*> items = inbox();
    qint64 serverID = 500;
    asSyncMerges([&] {
        for (const auto& [name, item] : items)
            item->setServerID(++serverID);
    });
    markAllSent();
    importAll();
    struct Kept {
        qint64 id = 0;
        qint64 serverID = 0;
        QDateTime due;
        bool allDay = false;
    };
    std::map<QString, Kept> onServer;
    for (const auto& [name, item] : items)
        onServer[name] = {item->id_(), item->serverID(), item->dueDate(), item->allDay()};

    loseStore();
    ASSERT_EQ(inboxCount(), 0u);
    for (const auto& [name, kept] : onServer)
        refill(ItemBuilder(name)
                   .withId(kept.id)
                   .withServerID(kept.serverID)
                   .due(kept.due)
                   .withValue("allDay", kept.allDay));
    // Another item whose id_ happens to be the dentist's.
    const QDateTime otherDue(QDate(2027, 3, 30), QTime(9, 0), Qt::UTC);
    TODOItem* other =
        refill(ItemBuilder("Other").withId(onServer.at("Dentist").id).withServerID(9'999).due(otherDue));

    rewriteWork({{"DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z"}});
    importAll();
    items = inbox();
    EXPECT_EQ(inboxCount(), 6u);
    EXPECT_EQ(items.at("Dentist")->dueDate(), QDateTime(QDate(2027, 3, 18), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(items.at("Dentist")->edited_since(), 1);
    EXPECT_EQ(other->dueDate(), otherDue);
    EXPECT_TRUE(messages.last().startsWith("Imported from the calendar: 0 items new, one due date moved."))
        << messages.last().toStdString();
}

TEST_F(CalendarImportTest,
       GivenLinksOfAnEarlierVersion_WhenTheStoreIsLostAndRefilled_ThenTheirEventsStillMoveTheirItems)
{
    // Imported by an earlier version into this store, the dentist's item uploaded; the call's
    // link names an item of a store that is gone.
    const QDateTime dentistDue(QDate(2027, 3, 16), QTime(8, 15), Qt::UTC);
    TODOItem* dentist =
        ItemBuilder("Dentist").withId(4242).withServerID(77).due(dentistDue).in(document->context());
    TODOItem* holiday = ItemBuilder("Holiday")
                            .withId(4343)
                            .due(QDateTime(QDate(2027, 3, 11), QTime(23, 0), Qt::UTC))
                            .withValue("allDay", true)
                            .in(document->context());
    ASSERT_TRUE(document->commitChanges());
    QJsonObject links;
    links.insert("dentist@example.org", dentist->uri());
    links.insert("holiday@example.org", holiday->uri());
    links.insert("call@example.org", "quadrivo-store://00000000-0000-0000-0000-000000000000/TODOItem/p1");
    write(linksPath(), QJsonDocument(QJsonObject{{"version", 1}, {"links", links}}).toJson());
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    stop();
    start();

    loseStore();
    TODOItem* dentistAgain = refill(ItemBuilder("Dentist").withId(4242).withServerID(77).due(dentistDue));
    TODOItem* holidayAgain = refill(ItemBuilder("Holiday")
                                        .withId(4343)
                                        .due(QDateTime(QDate(2027, 3, 11), QTime(23, 0), Qt::UTC))
                                        .withValue("allDay", true));
    importAll();
    // The call was imported once: not again. Tokyo and the standup are new.
    EXPECT_EQ(inboxCount(), 4u);
    EXPECT_EQ(inbox().count("Call with the file's own zone"), 0u);

    rewriteWork(
        {{"DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z"},
         {"DTSTART;VALUE=DATE:20270312", "DTSTART;VALUE=DATE:20270319"},
         {"DTSTART;TZID=Custom/Eastern:20270315T090000", "DTSTART;TZID=Custom/Eastern:20270315T100000"}});
    importAll();
    EXPECT_EQ(dentistAgain->dueDate(), QDateTime(QDate(2027, 3, 18), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(holidayAgain->dueDate().toTimeZone(document->timeZone()).date(), QDate(2027, 3, 19));
    EXPECT_EQ(inboxCount(), 4u);
}

TEST_F(CalendarImportTest,
       GivenImportedItemsDeletedOrGone_WhenTheirEventsMove_ThenNoneIsMovedMadeAgainOrBroughtBack)
{
    QString why;
    ASSERT_TRUE(calendar->addImportFile(work, &why));
    importAll();
    std::map<QString, TODOItem*> items = inbox();
    struct Kept {
        qint64 id = 0;
        QDateTime due;
    };
    const Kept holiday{items.at("Holiday")->id_(), items.at("Holiday")->dueDate()};
    const Kept tokyo{items.at("Tokyo")->id_(), items.at("Tokyo")->dueDate()};

    // After a whole sync: the holiday in the trash, Tokyo removed, the dentist not sent back at all.
    loseStore();
    TODOItem* trashed = refill(ItemBuilder("Holiday").withId(holiday.id).trashed().due(holiday.due));
    TODOItem* removed = refill(ItemBuilder("Tokyo").withId(tokyo.id).removed().due(tokyo.due));
    rewriteWork({{"DTSTART:20270316T081500Z", "DTSTART:20270318T100000Z"},
                 {"DTSTART;VALUE=DATE:20270312", "DTSTART;VALUE=DATE:20270319"},
                 {"DTSTART;TZID=Asia/Tokyo:20270311T090000", "DTSTART;TZID=Asia/Tokyo:20270312T090000"}});
    importAll();

    EXPECT_EQ(inboxCount(), 2u);
    EXPECT_EQ(trashed->objectState(), ObjectState::Trashed);
    EXPECT_EQ(trashed->dueDate(), holiday.due);
    EXPECT_EQ(removed->objectState(), ObjectState::Removed);
    EXPECT_EQ(removed->dueDate(), tokyo.due);
    EXPECT_EQ(document->context().count(TODOItem::staticEntityName()), 2);
}

} // namespace qv::test
