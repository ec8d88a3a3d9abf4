#include "core/document/StoreFiles.h"

#include "core/document/DocumentLogging.h"
#include "platform/Alerts.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "platform/store/StoreCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace qv {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Creates a folder (with its parents) that only the user can enter; failures are left to the caller.
void makePrivateFolder(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    if (QDir().mkpath(path))
        QFile::setPermissions(path, kOwnerOnly);
}

// A name from outside (an attachment's file name, say) must not lead out of its folder.
QString safeFileName(const QString& name)
{
    return StoreFiles::ordinaryFileName(name).value_or(QStringLiteral("file"));
}

} // namespace

const std::vector<StoreFiles::MigrationStep>& StoreFiles::migrationChain()
{
    static const std::vector<MigrationStep> chain = [] {
        std::vector<MigrationStep> steps;
        steps.push_back({QStringLiteral("team-quadrivo.sqlite"), QStringLiteral("team-quadrivo_2_4.sqlite"),
                         QStringLiteral("team-quadrivo_2_3.sqlite.bck")});
        const auto name = [](int minor) {
            return QStringLiteral("team-quadrivo_2_%1.sqlite").arg(minor);
        };
        for (int minor = 4; minor <= 13; ++minor)
            steps.push_back({name(minor), name(minor + 1), name(minor) + QStringLiteral(".bck")});
        // There never was a 2.15 store file; its copy name belongs to the 2.14 file.
        steps.push_back({name(14), name(16), name(15) + QStringLiteral(".bck")});
        steps.push_back({name(16), name(17), name(16) + QStringLiteral(".bck")});
        return steps;
    }();
    return chain;
}

bool StoreFiles::copyFile(const QString& from, const QString& to, QString* error)
{
    QFile source(from);
    if (source.copy(to)) {
        // A copy takes the source's mode, and older versions made the store readable by all.
        QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return true;
    }
    if (error)
        *error = source.errorString();
    return false;
}

bool StoreFiles::copyStore(const QString& from, const QString& to, QString* error)
{
    store::StoreError storeError;
    if (store::copyStoreFile(from, to, &storeError))
        return true;
    if (error)
        *error = storeError.message;
    return false;
}

StoreFiles::StoreFiles(const Services& services, FileCopier copier, StoreCopier storeCopier)
    : m_services(services), m_copier(std::move(copier)), m_storeCopier(std::move(storeCopier))
{
}

StoreFiles::~StoreFiles()
{
    waitForBackups();
}

QString StoreFiles::pathForFolder()
{
    const QString folder = Paths::applicationSupport();
    if (folder.isEmpty()) {
        qCWarning(lcDocument, "Error when creating directory %s", qUtf8Printable(backupsFolder()));
    }
    return folder;
}

QString StoreFiles::pathForDataFile()
{
    const QString folder = pathForFolder();
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(QLatin1String(kStoreFileName));
}

QString StoreFiles::applicationCachesDirectoryString()
{
    return Paths::caches();
}

QString StoreFiles::pathForTemporaryDirectory(const QString& subfolder)
{
    QString error;
    const QString base = Paths::temporaryBase(&error);
    if (base.isEmpty()) {
        qCWarning(lcDocument, "Error when creating directory %s", qUtf8Printable(error));
        return {};
    }
    if (subfolder.isEmpty())
        return base;
    const QString path = QDir(base).filePath(safeFileName(subfolder));
    makePrivateFolder(path);
    return path;
}

QString StoreFiles::pathForTemporaryFileWithName(const QString& fileName)
{
    const QString folder = pathForTemporaryDirectory(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (folder.isEmpty() || fileName.isEmpty())
        return folder;
    return QDir(folder).filePath(safeFileName(fileName));
}

std::optional<QString> StoreFiles::ordinaryFileName(const QString& name)
{
    QString last = name.section(QLatin1Char('/'), -1);
    last.replace(QChar(0), QLatin1Char('_'));
    if (last.startsWith(QLatin1Char(':')))
        last[0] = QLatin1Char('_');
    if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
        return std::nullopt;
    return last;
}

StoreFiles::StepResult StoreFiles::migrateIfNeeded(const QString& oldName, const QString& newName,
                                                   const QString& copyName, QString* error)
{
    const QString folder = Paths::applicationSupport();
    if (folder.isEmpty())
        return StepResult::NothingToDo;
    const QDir dir(folder);
    const QString oldPath = dir.filePath(oldName);
    const QString newPath = dir.filePath(newName);
    const QString copyPath = dir.filePath(copyName);
    // A store already at the new name is never overwritten.
    if (!QFileInfo::exists(oldPath) || QFileInfo::exists(newPath))
        return StepResult::NothingToDo;

    qCInfo(lcDocument, "We are migrating since %s exists", qUtf8Printable(oldPath));

    QString message;
    qCInfo(lcDocument, "Copying %s to %s", qUtf8Printable(oldPath), qUtf8Printable(copyPath));
    if (!m_copier(oldPath, copyPath, &message)) {
        // The old file itself stays the safety copy until the new one is in place.
        qCWarning(lcDocument, "Error copying %s to %s", qUtf8Printable(oldPath), qUtf8Printable(copyPath));
        qCWarning(lcDocument, "Error message: %s", qUtf8Printable(message));
    }

    message.clear();
    qCInfo(lcDocument, "Copying %s to %s", qUtf8Printable(oldPath), qUtf8Printable(newPath));
    if (!m_copier(oldPath, newPath, &message)) {
        qCWarning(lcDocument, "Error copying %s to %s", qUtf8Printable(oldPath), qUtf8Printable(newPath));
        qCWarning(lcDocument, "Error message: %s", qUtf8Printable(message));
        // A half-written new file would be opened next time in place of the old data.
        if (QFileInfo::exists(newPath))
            QFile::remove(newPath);
        if (error)
            *error = QStringLiteral("Could not copy %1 to %2: %3").arg(oldPath, newPath, message);
        return StepResult::Failed;
    }

    qCInfo(lcDocument, "Removing %s", qUtf8Printable(oldPath));
    QFile old(oldPath);
    if (!old.remove()) {
        qCWarning(lcDocument, "Error removing %s", qUtf8Printable(oldPath));
        qCWarning(lcDocument, "Error message: %s", qUtf8Printable(old.errorString()));
    }
    return StepResult::Migrated;
}

bool StoreFiles::backupOnMigrationIfNeeded(QString* error)
{
    for (const MigrationStep& step : migrationChain()) {
        QString reason;
        if (migrateIfNeeded(step.oldName, step.newName, step.copyName, &reason) != StepResult::Failed)
            continue;
        qCWarning(lcDocument, "Migration stopped: %s", qUtf8Printable(reason));
        if (m_services.alerts) {
            m_services.alerts->alert(
                QStringLiteral("Your data file could not be updated."),
                QStringLiteral("%1\nNo file was changed. Free some disk space or check the folder's "
                               "permissions, then start Quadrivo again.")
                    .arg(reason),
                QStringLiteral("OK"), Alerts::Style::Critical);
        }
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

StoreFiles::OpenedStore StoreFiles::reloadFile(const store::Model& model, Scheduler& scheduler)
{
    // A backup that failed while the last run quit is told once, when this start is through.
    if (Preferences* preferences = m_services.preferences;
        preferences && preferences->hasUserValue(QLatin1String(kBackupFailureAtQuitKey))) {
        const QString error = preferences->stringValue(QLatin1String(kBackupFailureAtQuitKey));
        preferences->remove(QLatin1String(kBackupFailureAtQuitKey));
        scheduler.post([alerts = m_services.alerts, error] {
            tellBackupFailure(alerts, error, QStringLiteral("When Quadrivo last quit: "));
        });
    }
    OpenedStore result;
    if (!backupOnMigrationIfNeeded(&result.error))
        return result;

    const QString path = pathForDataFile();
    qCInfo(lcDocument, "File name for nsdocument: %s", qUtf8Printable(path));
    if (path.isEmpty()) {
        result.error = QStringLiteral("The store folder could not be created.");
        result.reason = openFailureReason(backupsFolder(), store::StoreError::Code::ReadOnly);
        qCWarning(lcDocument, "Error creating the initial document, %s", qUtf8Printable(result.error));
        return result;
    }

    // SQLite's own journal keeps the file whole through a crash; a full check is worth its
    // time only when the last run ended with the store open.
    const bool uncleanEnd = QFileInfo::exists(runningMarkerPath());
    if (uncleanEnd)
        qCInfo(lcDocument, "The last run did not end cleanly; checking the store");
    const auto check =
        uncleanEnd ? store::Context::IntegrityCheck::Run : store::Context::IntegrityCheck::Skip;

    store::StoreError storeError;
    const bool exists = QFileInfo::exists(path);
    result.context = store::Context::open(path, model, scheduler, &storeError, check);
    if (!result.context) {
        result.error = storeError.message;
        result.reason = openFailureReason(path, storeError.code);
        result.advice = openFailureAdvice(path, storeError.code);
        qCWarning(lcDocument,
                  exists ? "Error when opening document, %s" : "Error creating the initial document, %s",
                  qUtf8Printable(result.error));
        return result;
    }
    writeRunningMarker();
    if (exists)
        return result;
    if (!result.context->save(&storeError)) {
        result.error = storeError.message;
        qCWarning(lcDocument, "Error saving the initial document, %s", qUtf8Printable(result.error));
    }
    return result;
}

QString StoreFiles::openFailureReason(const QString& path, store::StoreError::Code code)
{
    using Code = store::StoreError::Code;
    const QString name = QDir::toNativeSeparators(path);
    switch (code) {
    case Code::Corrupt:
    case Code::NotAStore:
        return QStringLiteral("The data file \u201c%1\u201d is damaged and cannot be read.").arg(name);
    case Code::NewerSchema:
        return QStringLiteral("The data file \u201c%1\u201d was saved by a newer version of Quadrivo, which "
                              "this version cannot read.")
            .arg(name);
    case Code::ReadOnly:
    case Code::NotFound:
        return QStringLiteral("The data file \u201c%1\u201d cannot be written: Quadrivo is not allowed to "
                              "change it or its folder, or the disk is read-only.")
            .arg(name);
    case Code::None:
    case Code::Io:
    case Code::Constraint:
        break;
    }
    return QStringLiteral("The data file \u201c%1\u201d cannot be opened.").arg(name);
}

QString StoreFiles::openFailureAdvice(const QString& path, store::StoreError::Code code)
{
    using Code = store::StoreError::Code;
    switch (code) {
    case Code::NewerSchema:
        // A backup would be older still: copying it over would lose what the newer version wrote.
    case Code::ReadOnly:
    case Code::NotFound:
        // A backup cannot make the folder writable.
        return {};
    case Code::None:
    case Code::Io:
    case Code::Constraint:
    case Code::Corrupt:
    case Code::NotAStore:
        break;
    }
    if (!hasBackups())
        return {};
    QString steps = QStringLiteral("copy the backup over the data file.");
    // After a crash these hold changes of the damaged file, which would be written onto the backup.
    if (QFileInfo::exists(path + QStringLiteral("-wal")) || QFileInfo::exists(path + QStringLiteral("-shm")))
        steps =
            QStringLiteral("remove the files ending in \u201c-wal\u201d and \u201c-shm\u201d beside the data "
                           "file, then ") +
            steps;
    return QStringLiteral("Your backups are in \u201c%1\u201d. To go back to one, %2")
        .arg(QDir::toNativeSeparators(backupsFolder()), steps);
}

bool StoreFiles::hasBackups()
{
    const QString pattern = QStringLiteral("*_backup*_") + QLatin1String(kStoreFileName);
    return !QDir(backupsFolder()).entryList({pattern}, QDir::Files).isEmpty();
}

QString StoreFiles::backupsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Velmora/Quadrivo/");
}

QString StoreFiles::runningMarkerPath()
{
    return backupsFolder() + QLatin1String(kStoreFileName) + QStringLiteral(".running");
}

void StoreFiles::writeRunningMarker()
{
    QFile marker(runningMarkerPath());
    if (marker.exists())
        return;
    // Empty: only its presence counts.
    if (!marker.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        qCWarning(lcDocument, "%s could not be written: %s", qUtf8Printable(marker.fileName()),
                  qUtf8Printable(marker.errorString()));
}

void StoreFiles::markCleanEnd()
{
    QFile marker(runningMarkerPath());
    if (marker.exists() && !marker.remove())
        qCWarning(lcDocument, "%s could not be removed: %s", qUtf8Printable(marker.fileName()),
                  qUtf8Printable(marker.errorString()));
}

QString StoreFiles::backupCounterKey(const QString& track)
{
    return QStringLiteral("_currentBackupNumber") + track;
}

QString StoreFiles::backupPath(const QString& track, int slot)
{
    const QString folder = Paths::applicationSupport();
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(
        QStringLiteral("%1_backup%2_%3").arg(track).arg(slot).arg(QLatin1String(kStoreFileName)));
}

void StoreFiles::backupCurrentStoreWithTrack(const QString& track, const store::Context& context)
{
    Track& state = m_tracks[track];
    if (state.copiedCommits == m_commits)
        return;
    if (state.running) {
        state.wanted = true;
        return;
    }
    startBackup(track, context.path());
}

void StoreFiles::startBackup(const QString& track, const QString& storePath)
{
    Preferences* preferences = m_services.preferences;
    // A counter edited by hand must not name a slot outside the rotation.
    const int slot =
        preferences
            ? ((preferences->intValue(backupCounterKey(track)) % kBackupSlots) + kBackupSlots) % kBackupSlots
            : 0;
    const QString path = backupPath(track, slot);
    if (storePath.isEmpty() || path.isEmpty())
        return;
    Track& state = m_tracks[track];
    state.running = true;
    const quint64 commits = m_commits;
    m_worker.run([this, copier = m_storeCopier, track, storePath, path, slot, commits] {
        QString error;
        if (!copier(storePath, path, &error) && error.isEmpty())
            error = QStringLiteral("unknown error");
        return [this, track, storePath, slot, commits, error] {
            backupFinished(track, storePath, slot, commits, error);
        };
    });
}

void StoreFiles::backupFinished(const QString& track, const QString& storePath, int slot, quint64 commits,
                                const QString& error)
{
    Track& state = m_tracks[track];
    state.running = false;
    if (error.isEmpty()) {
        state.copiedCommits = commits;
        if (m_services.preferences)
            m_services.preferences->setValue(backupCounterKey(track), (slot + 1) % kBackupSlots);
    } else {
        // The slot's older backup stays, and so does the counter: the next save tries that slot again.
        qCWarning(lcDocument, "Error copying %s to %s (%s)", qUtf8Printable(storePath),
                  qUtf8Printable(backupPath(track, slot)), qUtf8Printable(error));
        if (m_quitting && m_services.preferences)
            m_services.preferences->setValue(QLatin1String(kBackupFailureAtQuitKey), error);
        else if (!std::exchange(m_backupFailureTold, true))
            tellBackupFailure(m_services.alerts, error, QString());
    }
    if (state.wanted) {
        state.wanted = false;
        if (state.copiedCommits != m_commits)
            startBackup(track, storePath);
    }
}

void StoreFiles::tellBackupFailure(Alerts* alerts, const QString& error, const QString& when)
{
    if (alerts)
        alerts->alert(QStringLiteral("A backup of your data could not be made."),
                      QStringLiteral("%1%2\nYour data file is saved, and the earlier backups are kept. "
                                     "Quadrivo tries again at its next save.")
                          .arg(when, error),
                      QStringLiteral("OK"), Alerts::Style::Warning);
}

void StoreFiles::waitForBackups()
{
    // An answer may start the backup that was asked for meanwhile.
    do {
        m_worker.waitForAll();
    } while (
        std::any_of(m_tracks.cbegin(), m_tracks.cend(), [](const Track& track) { return track.running; }));
}

} // namespace qv
