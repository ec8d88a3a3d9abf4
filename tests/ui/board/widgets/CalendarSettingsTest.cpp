#include "tests/ui/board/BoardDocumentFixture.h"

#include "exchange/iCalController.h"
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/CalendarSyncViewController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/WindowCommands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace qv::test {
namespace {

class CalendarSettingsTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(2000);
        ItemBuilder().due(QDateTime(QDate(2026, 3, 12), QTime(9, 0), Qt::UTC)).onto(a);
        other = ProjectBuilder(context(), "Other").atIndex(1000);
        calendar = std::make_unique<iCalController>(
            services, *document, iCalController::optionsBesideStore(home.root() + "/store.sqlite"));
        window = std::make_unique<MainWindow>(*document, services);
        commands().setCalendar(calendar.get());
        window->show();
        scheduler.runPosted();
    }
    void TearDown() override
    {
        window.reset();
        calendar.reset();
    }

    WindowCommands& commands() const { return window->commands(); }
    QAction* action(const char* name) const { return commands().action(QString::fromLatin1(name)); }
    template <class T> T* field(const char* name) const
    {
        return commands().calendarSettings()->findChild<T*>(QString::fromLatin1(name));
    }
    void done() const { field<QPushButton>("closeCalendarSettingsSheet")->click(); }
    // The 300 s timer's export, if it ran, has landed.
    bool exportedAfter(qint64 ms)
    {
        QFile::remove(calendar->calendarPath());
        scheduler.advance(ms);
        calendar->waitForQueue();
        QCoreApplication::processEvents();
        return QFileInfo::exists(calendar->calendarPath());
    }

    TODOList* other = nullptr;
    std::unique_ptr<iCalController> calendar;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(CalendarSettingsTest,
       GivenTheSheet_WhenSyncAndAutomaticExportAreSwitched_ThenDoneStartsOrStopsThe300SecondExport)
{
    // Off: nothing to export or import, the settings are there to turn it on.
    EXPECT_FALSE(action("iCalExport")->isEnabled());
    EXPECT_FALSE(action("iCalImport")->isEnabled());
    EXPECT_TRUE(action("iCalSettings")->isEnabled());
    EXPECT_FALSE(action("iCalExport")->toolTip().isEmpty());

    action("iCalSettings")->trigger();
    ASSERT_NE(commands().calendarSettings(), nullptr);
    EXPECT_TRUE(commands().calendarSettings()->isVisible());
    auto* projects = field<QListWidget>("calendarProjects");
    ASSERT_EQ(projects->count(), 2);
    EXPECT_EQ(projects->item(0)->checkState(), Qt::Checked);
    EXPECT_FALSE(field<QCheckBox>("doAutoCalSync")->isEnabled());

    field<QCheckBox>("doCalSync")->setChecked(true);
    field<QCheckBox>("doAutoCalSync")->setChecked(true);
    // Unticked projects stay out of the export.
    for (int row = 0; row < projects->count(); ++row) {
        if (projects->item(row)->text() == "Other")
            projects->item(row)->setCheckState(Qt::Unchecked);
    }
    done();
    EXPECT_FALSE(commands().calendarSettings()->isVisible());
    EXPECT_TRUE(preferences.boolValue("doCalSync"));
    EXPECT_TRUE(preferences.boolValue("doAutoCalSync"));
    EXPECT_FALSE(calendar->isProjectExported(other));
    EXPECT_TRUE(calendar->isProjectExported(project));
    EXPECT_TRUE(commands().isCalendarSyncTimerRunning());
    EXPECT_TRUE(action("iCalExport")->isEnabled());
    // No file to import from yet.
    EXPECT_FALSE(action("iCalImport")->isEnabled());

    EXPECT_FALSE(exportedAfter(299'000));
    EXPECT_TRUE(exportedAfter(1'000));
    EXPECT_TRUE(exportedAfter(300'000));
    // A second start keeps the one timer.
    commands().startCalendarSyncTimer();
    EXPECT_TRUE(exportedAfter(300'000));

    // Automatic export off: Done stops the timer.
    action("iCalSettings")->trigger();
    field<QCheckBox>("doAutoCalSync")->setChecked(false);
    done();
    EXPECT_FALSE(commands().isCalendarSyncTimerRunning());
    EXPECT_FALSE(exportedAfter(600'000));

    // Sync off: the timer stays off even with automatic export on, and export is disabled.
    action("iCalSettings")->trigger();
    field<QCheckBox>("doAutoCalSync")->setChecked(true);
    field<QCheckBox>("doCalSync")->setChecked(false);
    done();
    EXPECT_FALSE(commands().isCalendarSyncTimerRunning());
    EXPECT_FALSE(action("iCalExport")->isEnabled());
}

TEST_F(CalendarSettingsTest,
       GivenTheSheet_WhenCalendarFilesAreAddedAndRemoved_ThenImportIsEnabledExactlyWhileOneIsThere)
{
    preferences.setValue("doCalSync", true);
    const QString file = home.root() + "/work.ics";
    QFile created(file);
    ASSERT_TRUE(created.open(QIODevice::WriteOnly));
    created.write("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    created.close();

    action("iCalSettings")->trigger();
    commands().calendarSettings()->setFileChooser([&](QWidget*) {
        return QStringList{file, home.root() + "/missing.ics"};
    });
    field<QPushButton>("addCalendar")->click();
    auto* files = field<QListWidget>("calendarFiles");
    ASSERT_EQ(files->count(), 1);
    auto* problem = field<QLabel>("calendarProblem");
    EXPECT_FALSE(problem->isHidden());
    EXPECT_EQ(problem->text(), "\u201Cmissing.ics\u201D cannot be read.");
    EXPECT_EQ(problem->textFormat(), Qt::PlainText);
    done();
    EXPECT_TRUE(action("iCalImport")->isEnabled());
    EXPECT_TRUE(calendar->isWatching(file));

    action("iCalSettings")->trigger();
    files = field<QListWidget>("calendarFiles");
    files->setCurrentRow(0);
    field<QPushButton>("removeCalendar")->click();
    EXPECT_EQ(files->count(), 0);
    done();
    EXPECT_FALSE(action("iCalImport")->isEnabled());
    EXPECT_FALSE(calendar->isWatching(file));
}

TEST_F(CalendarSettingsTest,
       GivenRefusedCalendarFiles_WhenImported_ThenTheStatusLineIsWholeAndItsDetailsNameEachFileWithWhy)
{
    // Reporting to the window as the application wires it.
    preferences.setValue("doCalSync", true);
    iCalController::Options options = iCalController::optionsBesideStore(home.root() + "/store.sqlite");
    options.showStatus = [this](const QString& message) {
        window->setStatusBarMessage(message);
    };
    options.showReport = [this](const QString& summary, const QString& details) {
        window->setStatusBarMessage(summary, details);
    };
    commands().setCalendar(nullptr);
    calendar = std::make_unique<iCalController>(services, *document, options);
    commands().setCalendar(calendar.get());
    int applied = 0;
    QObject::connect(calendar.get(), &iCalController::importApplied, [&applied] { ++applied; });
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(home.root() + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    const QString notACalendar = "Holidays of the whole team, as the office sent them round in spring.ics";
    const QString cutShort = "Conference programme with every talk and workshop of the week.ics";
    QStringList files{
        write("work.ics",
              "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a@example.org\r\nDTSTART:20260320T090000Z\r\n"
              "SUMMARY:Review\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"),
        write(notACalendar, "Monday: closed\n"), write(cutShort, "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n")};
    QString why;
    for (const QString& file : files)
        ASSERT_TRUE(calendar->addImportFile(file, &why)) << why.toStdString();

    calendar->importFromCalendar();
    for (int turn = 0; turn < 500 && applied < int(files.size()); ++turn) {
        calendar->waitForQueue();
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(applied, int(files.size()));
    QCoreApplication::processEvents();

    // The status line is short enough to be read whole at the window's width.
    auto* label = window->findChild<QLabel*>(QStringLiteral("statusMessage"));
    auto* details = window->findChild<QPushButton*>(QStringLiteral("statusDetails"));
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(
        label->text(),
        "Imported from the calendar: one item new, 0 due dates moved. Not everything could be imported.");
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_LE(window->width(), 1180);
    ASSERT_TRUE(details->isVisible());
    EXPECT_TRUE(details->focusPolicy() & Qt::TabFocus);

    // Reached by the keyboard, it stays until the user has read it.
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    details->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(details->hasFocus());
    scheduler.advance(2 * StatusBarController::kClearDelayMs);
    ASSERT_TRUE(details->isVisible());
    const qsizetype before = alerts.shown.size();
    details->click();
    ASSERT_EQ(alerts.shown.size(), before + 1);
    EXPECT_EQ(alerts.shown.last().message, label->text());
    const QString& full = alerts.shown.last().informative;
    EXPECT_TRUE(full.contains("Nothing was imported from \u201C" + notACalendar +
                              "\u201D: it is not an iCalendar file."))
        << full.toStdString();
    EXPECT_TRUE(full.contains("Nothing was imported from \u201C" + cutShort +
                              "\u201D: it ends before its calendar does"))
        << full.toStdString();

    // Then it goes like any other message.
    details->clearFocus();
    scheduler.advance(StatusBarController::kClearDelayMs);
    EXPECT_FALSE(details->isVisible());
    EXPECT_FALSE(label->text().contains("Imported from the calendar"));
}

} // namespace qv::test

namespace qv::test {
namespace {

// Calendar sync and automatic export were on when the program last ran.
class CalendarAtStartTest : public CalendarSettingsTest {
protected:
    void SetUp() override
    {
        preferences.setValue("doCalSync", true);
        preferences.setValue("doAutoCalSync", true);
        CalendarSettingsTest::SetUp();
    }
};

} // namespace

TEST_F(CalendarAtStartTest,
       GivenAutomaticExportOn_WhenTheWindowStarts_ThenOneExportTimerRunsAlsoAfterThe30SecondStep)
{
    EXPECT_TRUE(commands().isCalendarSyncTimerRunning());
    // The document's 30 s step starts it again: still one timer, one export per 300 s.
    int writes = 0;
    QObject::connect(calendar.get(), &iCalController::calendarWritten, [&writes] { ++writes; });
    scheduler.advance(30'000);
    scheduler.advance(270'000);
    calendar->waitForQueue();
    QCoreApplication::processEvents();
    EXPECT_EQ(writes, 1);
}

} // namespace qv::test
