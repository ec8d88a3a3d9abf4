#pragma once

#include "core/document/CalendarSync.h"
#include "exchange/CalendarFile.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <optional>
#include <vector>

namespace qv {

class MyDocument;

// Calendar sync. The application's calendar is the iCalendar file "Quadrivo.ics" in the data
// folder beside the store: every dated item of the projects the user exports, one event each, with
// a UID made from the item's id_. Desktop calendars subscribe to it read-only. Import reads the
// .ics files the user added (never writing them) into inbox items, and remembers which event made
// which item in a small file of its own beside the store, so nothing is imported twice.
//
// Items are read and changed on the main thread only. Building and writing the calendar file, and
// reading and parsing the imported files, run on the controller's own serial queue; writes asked
// for within kCoalesceMs of each other make one write.
class iCalController final : public QObject, public CalendarSyncInterface {
    Q_OBJECT
public:
    static constexpr qint64 kCoalesceMs = 1'000;
    // A changed calendar file is read this long after its last change, once it has settled.
    static constexpr qint64 kSettleMs = 500;

    struct Options {
        // The calendar file, and the file of links from imported events to their items.
        QString calendarPath;
        QString linksPath;
        // Shows a message in the window's status bar.
        std::function<void(const QString&)> showStatus;
        // Shows the outcome of an import that left something out: a summary short enough for the
        // status bar, and the details (what was left out and why) for the user to read in full.
        // Without it the whole text goes to showStatus.
        std::function<void(const QString& summary, const QString& details)> showReport;
    };

    static QString calendarFileName() { return QStringLiteral("Quadrivo.ics"); }
    static QString linksFileName() { return QStringLiteral("Quadrivo-calendar-imports.json"); }
    // Options for a store file: both files in the store's folder.
    static Options optionsBesideStore(const QString& storePath);

    // Preferences: calendar sync on, automatic export, the projects left out of the export
    // (their store URIs: every project is exported until the user unticks it), the files imported.
    static QString syncKey() { return QStringLiteral("doCalSync"); }
    static QString autoSyncKey() { return QStringLiteral("doAutoCalSync"); }
    static QString skippedProjectsKey() { return QStringLiteral("calendarSkippedProjects"); }
    static QString importFilesKey() { return QStringLiteral("calendarImportFiles"); }

    static QString exportingMessage() { return QStringLiteral("Exporting your items to the calendar..."); }
    static QString importingMessage() { return QStringLiteral("Importing your items from the calendar..."); }

    iCalController(const Services& services, MyDocument& document, Options options);
    ~iCalController() override;
    iCalController(const iCalController&) = delete;
    iCalController& operator=(const iCalController&) = delete;

    // The controller built last, while "doCalSync" is on; nullptr while it is off, so that every
    // call made through it then does nothing.
    static iCalController* sharedInstance();
    bool isOn() const;

    // --- What the document and the board call
    // Watches the imported files for changes made by other programs (while "doCalSync" is on).
    void startObservingCalendarNotifications() override;
    void stopObservingCalendarNotifications();
    // Once the calendar file exists: the item's event follows the item (a coalesced write).
    void updateEventForItem(TODOItem* item, TODOList* project) override;
    void deleteEventForItem(TODOItem* item, TODOList* project) override;

    // --- The Calendar menu
    void exportToCalendar();
    void importFromCalendar();
    // An added file changed: it is imported again.
    void eventsChanged(const QString& path);

    // --- The settings sheet
    bool isProjectExported(const TODOList* project) const;
    void setProjectExported(const TODOList* project, bool exported);
    QStringList importFiles() const;
    // False, with the reason in why, for a file that cannot be imported from.
    bool addImportFile(const QString& path, QString* why);
    void removeImportFile(const QString& path);

    bool calendarExists() const;
    bool canExport() const { return isOn(); }
    bool canImport() const { return isOn() && !importFiles().isEmpty(); }
    QString calendarPath() const { return m_options.calendarPath; }

    // Tests: waits until the serial queue is empty; its results arrive on the next event loop turn.
    void waitForQueue();
    bool isWatching(const QString& path) const;

signals:
    // Each import of one file has been applied (or refused with a message).
    void importApplied(const QString& path);
    // Each write of the calendar file has ended.
    void calendarWritten(bool ok);

private:
    struct ImportRun {
        int pending = 0;
        int created = 0;
        int moved = 0;
        QStringList problems;
    };

    // What an imported event became: the item, and the event as it was last imported.
    struct Link {
        // The item by the identity a whole sync brings back to a new store: its id_ (unique in
        // its project only) and, once it has one, its serverID. An id_ of 0 says the event was
        // imported but its item is not known here.
        qint64 itemId = 0;
        qint64 serverID = 0;
        // None for a link noted before the events were: the event is taken as it then stands.
        std::optional<EventTiming> timing;
    };
    // The link named by an item's store URI, as earlier versions noted it; one whose item this
    // store does not hold keeps only that the event was imported.
    Link linkFromURI(const QString& uri) const;
    // The item of the link, not necessarily open; nullptr when the store holds none (yet) or
    // cannot tell which. Notes the item's serverID in the link when it learns it.
    TODOItem* linkedItem(Link& link, bool* linkChanged) const;

    std::vector<CalendarEvent> snapshot() const;
    void scheduleWrite();
    void writeNow();
    void writeFinished(bool ok, const QString& error);
    void importFile(const QString& path);
    void applyImport(const QString& path, const CalendarReadResult& result);
    void showImportOutcome() const;
    void loadLinks();
    bool saveLinks();
    void fileChanged(const QString& path);
    void directoryChanged(const QString& directory);
    void rearm();
    void showStatus(const QString& message) const;

    Services m_services;
    MyDocument& m_document;
    Options m_options;
    QThreadPool m_queue;
    TimerId m_writeTimer = 0;
    TimerId m_settleTimer = 0;
    QSet<QString> m_changedFiles;
    QFileSystemWatcher m_watcher;
    bool m_observing = false;
    // Imported event UID -> its link.
    QHash<QString, Link> m_links;
    ImportRun m_run;
};

} // namespace qv
