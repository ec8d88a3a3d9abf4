#include "exchange/iCalController.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "exchange/ExchangeLogging.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSaveFile>

#include <set>
#include <utility>

namespace qv {

namespace {

iCalController* g_instance = nullptr;

constexpr QFileDevice::Permissions kUserOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kUserOnlyFolder = kUserOnly | QFileDevice::ExeOwner;

// The file written whole or not at all, readable by the user only.
bool writeWhole(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo info(path);
    const bool folderExisted = QFileInfo(info.absolutePath()).isDir();
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("its folder cannot be made");
        return false;
    }
    if (!folderExisted)
        QFile::setPermissions(info.absolutePath(), kUserOnlyFolder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(kUserOnly) ||
        file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QString plural(int count, const char* one, const char* many)
{
    return count == 1 ? QString::fromLatin1(one)
                      : QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(many));
}

QString fileLabel(const QString& path)
{
    return QStringLiteral("\u201C%1\u201D").arg(QFileInfo(path).fileName());
}

} // namespace

iCalController::Options iCalController::optionsBesideStore(const QString& storePath)
{
    const QString folder = QFileInfo(storePath).absolutePath();
    Options options;
    options.calendarPath = folder + QLatin1Char('/') + calendarFileName();
    options.linksPath = folder + QLatin1Char('/') + linksFileName();
    return options;
}

iCalController::iCalController(const Services& services, MyDocument& document, Options options)
    : m_services(services), m_document(document), m_options(std::move(options))
{
    m_queue.setMaxThreadCount(1);
    loadLinks();
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &iCalController::fileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &iCalController::directoryChanged);
    g_instance = this;
    m_document.setCalendarSync(this);
}

iCalController::~iCalController()
{
    if (g_instance == this)
        g_instance = nullptr;
    if (m_document.calendarSync() == this)
        m_document.setCalendarSync(nullptr);
    if (m_services.scheduler) {
        m_services.scheduler->cancel(m_writeTimer);
        m_services.scheduler->cancel(m_settleTimer);
    }
    // A write under way ends before the controller goes; its result is not delivered.
    m_queue.waitForDone();
}

iCalController* iCalController::sharedInstance()
{
    return g_instance && g_instance->isOn() ? g_instance : nullptr;
}

bool iCalController::isOn() const
{
    return m_services.preferences && m_services.preferences->boolValue(syncKey());
}

void iCalController::showStatus(const QString& message) const
{
    if (m_options.showStatus)
        m_options.showStatus(message);
}

// --- Export

bool iCalController::calendarExists() const
{
    return QFileInfo::exists(m_options.calendarPath);
}

bool iCalController::isProjectExported(const TODOList* project) const
{
    return project && m_services.preferences &&
           !m_services.preferences->stringListValue(skippedProjectsKey()).contains(project->uri());
}

void iCalController::setProjectExported(const TODOList* project, bool exported)
{
    if (!project || !m_services.preferences)
        return;
    QStringList skipped = m_services.preferences->stringListValue(skippedProjectsKey());
    skipped.removeAll(project->uri());
    if (!exported)
        skipped << project->uri();
    m_services.preferences->setValue(skippedProjectsKey(), skipped);
}

std::vector<CalendarEvent> iCalController::snapshot() const
{
    std::vector<CalendarEvent> events;
    std::set<QString> uids;
    const QTimeZone zone = m_document.timeZone();
    for (TODOList* project : m_document.getAllProjects()) {
        if (!isProjectExported(project))
            continue;
        for (TODOItem* item : MyDocument::getAllTODOItemsForTODOList(project)) {
            if (item->objectState() == ObjectState::Trashed || !item->dueDate().isValid())
                continue;
            CalendarEvent event;
            event.uid = CalendarFile::uidForItem(item->id_());
            // Two items with one id_ would be one event; the first keeps it.
            if (!uids.insert(event.uid).second)
                continue;
            event.summary = item->name();
            event.description = item->descriptionText();
            event.allDay = item->allDay();
            event.start = item->dueDate().toTimeZone(zone);
            events.push_back(std::move(event));
        }
    }
    return events;
}

void iCalController::updateEventForItem(TODOItem*, TODOList*)
{
    // The file holds every exported item as it stands, so bringing one up to date is writing it
    // again; until the first export there is no calendar to change.
    if (isOn() && calendarExists())
        scheduleWrite();
}

void iCalController::deleteEventForItem(TODOItem*, TODOList*)
{
    // The item is trashed by now and so is left out of the next write.
    if (isOn() && calendarExists())
        scheduleWrite();
}

void iCalController::scheduleWrite()
{
    if (m_writeTimer || !m_services.scheduler)
        return;
    m_writeTimer = m_services.scheduler->after(kCoalesceMs, this, [this] {
        m_writeTimer = 0;
        writeNow();
    });
}

void iCalController::exportToCalendar()
{
    showStatus(exportingMessage());
    // A missing folder is made by the write; one that is there must take the file.
    const QFileInfo folder(QFileInfo(m_options.calendarPath).absolutePath());
    if (folder.exists() && (!folder.isDir() || !folder.isWritable())) {
        qCWarning(lcExchange, "calendar folder cannot be written");
        showStatus(QStringLiteral("The calendar could not be written: the folder %1 cannot be written to.")
                       .arg(QDir::toNativeSeparators(folder.absoluteFilePath())));
        return;
    }
    if (m_services.scheduler)
        m_services.scheduler->cancel(m_writeTimer);
    m_writeTimer = 0;
    writeNow();
}

void iCalController::writeNow()
{
    std::vector<CalendarEvent> events = snapshot();
    const QDateTime stamp = m_services.clock ? m_services.clock->now() : QDateTime::currentDateTimeUtc();
    const QString path = m_options.calendarPath;
    qCDebug(lcExchange, "writing calendar with %lld events", qint64(events.size()));
    QPointer<iCalController> self(this);
    m_queue.start([self, events = std::move(events), stamp, path] {
        QString error;
        const bool ok = writeWhole(path, CalendarFile::write(events, stamp), &error);
        QMetaObject::invokeMethod(
            self.data(),
            [self, ok, error] {
                if (self)
                    self->writeFinished(ok, error);
            },
            Qt::QueuedConnection);
    });
}

void iCalController::writeFinished(bool ok, const QString& error)
{
    if (!ok) {
        qCWarning(lcExchange, "calendar file not written");
        showStatus(QStringLiteral("The calendar could not be written to %1: %2.")
                       .arg(QDir::toNativeSeparators(m_options.calendarPath), error));
    }
    emit calendarWritten(ok);
}

// --- Import

QStringList iCalController::importFiles() const
{
    return m_services.preferences ? m_services.preferences->stringListValue(importFilesKey()) : QStringList();
}

bool iCalController::addImportFile(const QString& path, QString* why)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute == QFileInfo(m_options.calendarPath).absoluteFilePath()) {
        *why = QStringLiteral("This is Quadrivo's own calendar; its events are your items already.");
        return false;
    }
    if (!QFileInfo(absolute).isFile() || !QFileInfo(absolute).isReadable()) {
        *why = QStringLiteral("%1 cannot be read.").arg(fileLabel(absolute));
        return false;
    }
    QStringList files = importFiles();
    if (!files.contains(absolute) && m_services.preferences) {
        files << absolute;
        m_services.preferences->setValue(importFilesKey(), files);
    }
    return true;
}

void iCalController::removeImportFile(const QString& path)
{
    QStringList files = importFiles();
    files.removeAll(path);
    if (m_services.preferences)
        m_services.preferences->setValue(importFilesKey(), files);
    if (m_observing)
        rearm();
}

void iCalController::importFromCalendar()
{
    showStatus(importingMessage());
    for (const QString& path : importFiles())
        importFile(path);
}

void iCalController::eventsChanged(const QString& path)
{
    if (isOn() && importFiles().contains(path))
        importFile(path);
}

void iCalController::importFile(const QString& path)
{
    const QDateTime now = m_services.clock ? m_services.clock->now() : QDateTime::currentDateTimeUtc();
    const QTimeZone zone = m_document.timeZone();
    ++m_run.pending;
    QPointer<iCalController> self(this);
    m_queue.start([self, path, now, zone] {
        CalendarReadResult result;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.fileError = file.exists()
                                   ? QStringLiteral("it could not be read (%1)").arg(file.errorString())
                                   : QStringLiteral("it is no longer there");
        } else {
            const QByteArray bytes = file.readAll();
            if (file.error() != QFileDevice::NoError)
                result.fileError = QStringLiteral("it could not be read (%1)").arg(file.errorString());
            else
                result = CalendarFile::read(bytes, now, zone);
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, path, result] {
                if (self)
                    self->applyImport(path, result);
            },
            Qt::QueuedConnection);
    });
}

void iCalController::applyImport(const QString& path, const CalendarReadResult& result)
{
    --m_run.pending;
    const QString label = fileLabel(path);
    if (!result.fileError.isEmpty()) {
        qCInfo(lcExchange, "calendar file refused");
        m_run.problems << QStringLiteral("Nothing was imported from %1: %2.").arg(label, result.fileError);
    }
    bool linksChanged = false;
    for (const ImportedEvent& event : result.events) {
        const auto link = m_links.find(event.uid);
        if (link != m_links.end()) {
            // Not in the store (yet): still imported once, so not imported again.
            TODOItem* item = linkedItem(*link, &linksChanged);
            if (!item)
                continue;
            // Imported before: only a change of the event itself moves its item's due date, so a
            // date the user (here or elsewhere) gave the item since stays. A completed, trashed or
            // deleted item is left as it is.
            const bool eventMoved = link->timing && *link->timing != event.timing;
            if (link->timing != event.timing) {
                link->timing = event.timing;
                linksChanged = true;
            }
            if (eventMoved && item->objectState() == ObjectState::Open &&
                (item->dueDate() != event.start || item->allDay() != event.allDay)) {
                item->setAllDay(event.allDay);
                item->setDueDate(event.start);
                ++m_run.moved;
            }
            continue;
        }
        const QString title =
            event.summary.trimmed().isEmpty() ? QStringLiteral("Untitled event") : event.summary.trimmed();
        TODOItem* item = m_document.addItemWithTitle(title, event.description, event.start, event.allDay);
        if (!item)
            continue;
        m_links.insert(event.uid, Link{item->id_(), item->serverID(), event.timing});
        linksChanged = true;
        ++m_run.created;
    }
    if (linksChanged) {
        // The items first: a link must never name an item the store does not hold, nor note an
        // event whose move its item has not taken.
        m_document.commitChanges();
        if (!saveLinks())
            m_run.problems << QStringLiteral(
                "Quadrivo could not note which events it imported; importing them "
                "again may make them twice.");
    }

    QStringList leftOut;
    if (result.withoutStart > 0)
        leftOut << QStringLiteral("%1 without a start").arg(plural(result.withoutStart, "one", "events"));
    if (result.unknownZone > 0)
        leftOut << QStringLiteral("%1 in a time zone this computer does not know")
                       .arg(plural(result.unknownZone, "one", "events"));
    if (result.unreadable > 0)
        leftOut
            << QStringLiteral("%1 that could not be read").arg(plural(result.unreadable, "one", "events"));
    if (!leftOut.isEmpty())
        m_run.problems
            << QStringLiteral("Left out of %1: %2.").arg(label, leftOut.join(QStringLiteral(", ")));
    qCInfo(lcExchange, "calendar import: %lld events read, %d left out", qint64(result.events.size()),
           result.withoutStart + result.unknownZone + result.unreadable);

    if (m_run.pending == 0) {
        showImportOutcome();
        m_run = ImportRun();
    }
    emit importApplied(path);
}

namespace {

// The links file: {"version": 2, "links": {"<event UID>": {"item": <id_>, "serverID": <serverID>,
// "start": ..., "rule": ..., "exceptions": [...]}}}. Version 1 held the item's store URI alone,
// which names nothing in a store a whole sync filled again.
QJsonObject timingJson(const EventTiming& timing)
{
    QJsonObject json;
    json.insert(QLatin1String("start"), timing.start);
    if (!timing.rule.isEmpty())
        json.insert(QLatin1String("rule"), timing.rule);
    if (!timing.exceptions.isEmpty())
        json.insert(QLatin1String("exceptions"), QJsonArray::fromStringList(timing.exceptions));
    return json;
}

std::optional<EventTiming> timingFrom(const QJsonObject& json)
{
    if (!json.value(QLatin1String("start")).isString())
        return std::nullopt;
    EventTiming timing;
    timing.start = json.value(QLatin1String("start")).toString();
    timing.rule = json.value(QLatin1String("rule")).toString();
    for (const QJsonValue& exception : json.value(QLatin1String("exceptions")).toArray())
        timing.exceptions << exception.toString();
    return timing;
}

} // namespace

iCalController::Link iCalController::linkFromURI(const QString& uri) const
{
    Link link;
    if (const auto* item = store::as<TODOItem>(m_document.context().objectForURI(uri))) {
        link.itemId = item->id_();
        link.serverID = item->serverID();
    }
    return link;
}

TODOItem* iCalController::linkedItem(Link& link, bool* linkChanged) const
{
    if (link.itemId == 0)
        return nullptr;
    // Deleted items are found too, so that they are left alone rather than made again.
    TODOItem* found = nullptr;
    for (store::ManagedObject* object :
         m_document.context().lookup(TODOItem::staticEntityName(), QStringLiteral("id_"), link.itemId)) {
        auto* item = store::as<TODOItem>(object);
        if (!item || (link.serverID != 0 && item->serverID() != link.serverID))
            continue;
        // Two items of that identity: moving either could move the wrong one.
        if (found)
            return nullptr;
        found = item;
    }
    if (found && link.serverID == 0 && found->serverID() != 0) {
        link.serverID = found->serverID();
        *linkChanged = true;
    }
    return found;
}

void iCalController::showImportOutcome() const
{
    QString counts;
    if (m_run.created > 0 || m_run.moved > 0)
        counts = QStringLiteral("Imported from the calendar: %1 new, %2 moved.")
                     .arg(plural(m_run.created, "one item", "items"))
                     .arg(plural(m_run.moved, "one due date", "due dates"));
    if (m_run.problems.isEmpty()) {
        if (!counts.isEmpty())
            showStatus(counts);
        return;
    }
    if (!m_options.showReport) {
        showStatus((counts.isEmpty() ? m_run.problems : QStringList(counts) + m_run.problems)
                       .join(QLatin1Char(' ')));
        return;
    }
    // Refused files are named with their reasons: more than one line of a status bar holds.
    m_options.showReport(counts.isEmpty()
                             ? QStringLiteral("Not everything could be imported from the calendar.")
                             : counts + QStringLiteral(" Not everything could be imported."),
                         m_run.problems.join(QLatin1Char('\n')));
}

void iCalController::loadLinks()
{
    QFile file(m_options.linksPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject links =
        QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("links")).toObject();
    bool converted = false;
    for (auto it = links.begin(); it != links.end(); ++it) {
        if (it.value().isString()) {
            m_links.insert(it.key(), linkFromURI(it.value().toString()));
            converted = true;
        } else if (it.value().isObject()) {
            const QJsonObject json = it.value().toObject();
            Link link;
            link.itemId = json.value(QLatin1String("item")).toInteger();
            link.serverID = json.value(QLatin1String("serverID")).toInteger();
            link.timing = timingFrom(json);
            m_links.insert(it.key(), link);
        }
    }
    // Noted by identity at once: the store the URIs name may be gone before the next import.
    if (converted)
        saveLinks();
}

bool iCalController::saveLinks()
{
    QJsonObject links;
    for (auto it = m_links.cbegin(); it != m_links.cend(); ++it) {
        QJsonObject link = it->timing ? timingJson(*it->timing) : QJsonObject();
        if (it->itemId != 0)
            link.insert(QLatin1String("item"), it->itemId);
        if (it->serverID != 0)
            link.insert(QLatin1String("serverID"), it->serverID);
        links.insert(it.key(), link);
    }
    QJsonObject root;
    root.insert(QLatin1String("version"), 2);
    root.insert(QLatin1String("links"), links);
    QString error;
    if (!writeWhole(m_options.linksPath, QJsonDocument(root).toJson(QJsonDocument::Compact), &error)) {
        qCWarning(lcExchange, "calendar import links not written");
        return false;
    }
    return true;
}

// --- Watching the imported files

void iCalController::startObservingCalendarNotifications()
{
    if (!isOn())
        return;
    m_observing = true;
    rearm();
}

void iCalController::stopObservingCalendarNotifications()
{
    m_observing = false;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
}

bool iCalController::isWatching(const QString& path) const
{
    return m_watcher.files().contains(path);
}

void iCalController::rearm()
{
    const QStringList files = importFiles();
    QStringList unwanted;
    for (const QString& watched : m_watcher.files()) {
        if (!files.contains(watched))
            unwanted << watched;
    }
    if (!unwanted.isEmpty())
        m_watcher.removePaths(unwanted);
    // A program that saves by writing a new file and renaming it over the old one ends the watch
    // on the old file; the folder's watch sees the new one arrive.
    QStringList folders;
    for (const QString& path : files) {
        if (QFileInfo::exists(path) && !m_watcher.files().contains(path))
            m_watcher.addPath(path);
        const QString folder = QFileInfo(path).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const QString& watched : m_watcher.directories()) {
        if (!folders.contains(watched))
            m_watcher.removePath(watched);
    }
    for (const QString& folder : folders) {
        if (!m_watcher.directories().contains(folder) && QFileInfo(folder).isDir())
            m_watcher.addPath(folder);
    }
}

void iCalController::fileChanged(const QString& path)
{
    if (!m_observing)
        return;
    m_changedFiles.insert(path);
    if (m_settleTimer && m_services.scheduler)
        m_services.scheduler->cancel(m_settleTimer);
    if (!m_services.scheduler)
        return;
    m_settleTimer = m_services.scheduler->after(kSettleMs, this, [this] {
        m_settleTimer = 0;
        rearm();
        const QSet<QString> changed = std::exchange(m_changedFiles, {});
        for (const QString& changedPath : changed) {
            if (QFileInfo::exists(changedPath))
                eventsChanged(changedPath);
        }
    });
}

void iCalController::directoryChanged(const QString& directory)
{
    if (!m_observing)
        return;
    for (const QString& path : importFiles()) {
        // A file that came back (or was replaced) under an added name.
        if (QFileInfo(path).absolutePath() == directory && QFileInfo::exists(path) &&
            !m_watcher.files().contains(path))
            fileChanged(path);
    }
}

void iCalController::waitForQueue()
{
    m_queue.waitForDone();
}

} // namespace qv
