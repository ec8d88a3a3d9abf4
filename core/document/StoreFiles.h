#pragma once

#include "platform/BackgroundWorker.h"
#include "platform/Services.h"
#include "platform/store/Context.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv {
class Scheduler;
}

namespace qv {

// The store file, its older names, its backups and the folders the application keeps files in.
// The application delegate owns one and forwards its file operations to it.
class StoreFiles {
public:
    static constexpr const char* kStoreFileName = "team-quadrivo_2_17.sqlite";
    static constexpr int kBackupSlots = 20;

    struct MigrationStep {
        QString oldName;
        QString newName;
        QString copyName; // the copy left behind, named after the version below the new one
    };
    // The order in which older store files are walked forward.
    static const std::vector<MigrationStep>& migrationChain();

    // Copies a file; false (and why in error) when it failed. Never overwrites.
    using FileCopier = std::function<bool(const QString& from, const QString& to, QString* error)>;
    static bool copyFile(const QString& from, const QString& to, QString* error);

    // Writes a complete copy of the store file at from to the path to, leaving an older file
    // there untouched on failure. Runs on the backup thread.
    using StoreCopier = std::function<bool(const QString& from, const QString& to, QString* error)>;
    static bool copyStore(const QString& from, const QString& to, QString* error);

    // Uses services.preferences (backup slots) and services.alerts (migration and backup failures).
    explicit StoreFiles(const Services& services, FileCopier copier = copyFile,
                        StoreCopier storeCopier = copyStore);
    // Waits for a running backup.
    ~StoreFiles();
    StoreFiles(const StoreFiles&) = delete;
    StoreFiles& operator=(const StoreFiles&) = delete;

    // The store folder with a trailing slash, created when missing; empty when it cannot be made.
    static QString pathForFolder();
    // The store file's path; empty without a store folder.
    static QString pathForDataFile();
    // The caches folder, created when missing.
    static QString applicationCachesDirectoryString();
    // The per-user temporary folder (with the subfolder), created with mode 0700 when missing;
    // empty when no safe temporary folder can be had.
    static QString pathForTemporaryDirectory(const QString& subfolder = {});
    // A path inside a fresh UUID-named temporary folder (mode 0700); the folder itself for no name.
    static QString pathForTemporaryFileWithName(const QString& fileName = {});
    // A name from outside (an attachment's, say) as the name of a file directly inside a folder:
    // its last component, with a leading ":" (which Qt reads as a built-in resource, not a file)
    // and NUL characters (which end a path early) made "_". Nothing for a name that leaves no
    // file name ("", ".", "..").
    static std::optional<QString> ordinaryFileName(const QString& name);

    enum class StepResult { NothingToDo, Migrated, Failed };
    // One step of the chain. The old file is removed only once its data sits under the new name;
    // on failure every file stays as it was (a partial new file is removed).
    StepResult migrateIfNeeded(const QString& oldName, const QString& newName, const QString& copyName,
                               QString* error = nullptr);
    // Runs the chain. A failed step ends it and is reported (log and alert); answers false then.
    bool backupOnMigrationIfNeeded(QString* error = nullptr);

    // Migration chain, then the store opened, or created and saved when there is none.
    // No store is created when the migration failed or an existing file cannot be opened.
    // The store's integrity is checked in full only when the last run did not end cleanly.
    struct OpenedStore {
        std::unique_ptr<store::Context> context;
        QString error; // for the log
        // Why the store could not be opened, in the user's words and naming the file; empty
        // when it opened or when the user has already been told (a failed migration).
        QString reason;
        // What the user can do about it; empty when nothing we know of would help.
        QString advice;
    };
    OpenedStore reloadFile(const store::Model& model, Scheduler& scheduler);
    // The store folder, which holds the backups, whether or not it could be created.
    static QString backupsFolder();

    // Present from the store's opening to a clean end of the run: found at the next start, it
    // says the last run ended while the store was open.
    static QString runningMarkerPath();
    // The run ends cleanly: the store's last save is through.
    void markCleanEnd();

    // The document's commits that wrote something; a track backs up only what it has not copied yet.
    void storeCommitted() { ++m_commits; }
    // One rotating backup of the saved store on the track ("save", "autosave", "sync"), when
    // something was committed since that track's previous backup. The copy is made on a thread
    // of its own; the track's slot counter moves on once it is in place. A failed copy keeps
    // the slot's older file and the counter, and is told to the user once per run.
    void backupCurrentStoreWithTrack(const QString& track, const store::Context& context);
    // Blocks until the running backups are in place (quitting, closing the store).
    void waitForBackups();
    // Quitting has begun: a backup that fails from now on is noted in the preferences, to be told
    // at the next start (the window is gone), instead of being told now.
    void setQuitting() { m_quitting = true; }
    static constexpr const char* kBackupFailureAtQuitKey = "_backupFailureAtQuit";
    static QString backupPath(const QString& track, int slot);
    // Whether any track holds a backup of the store.
    static bool hasBackups();
    static QString backupCounterKey(const QString& track);

private:
    struct Track {
        quint64 copiedCommits = 0; // m_commits when the track's last backup began
        bool running = false;
        bool wanted = false; // asked for again while running
    };
    void startBackup(const QString& track, const QString& storePath);
    void backupFinished(const QString& track, const QString& storePath, int slot, quint64 commits,
                        const QString& error);
    static QString openFailureReason(const QString& path, store::StoreError::Code code);
    static QString openFailureAdvice(const QString& path, store::StoreError::Code code);
    void writeRunningMarker();
    // The alert of a failed backup; when, if not empty, says when it failed.
    static void tellBackupFailure(Alerts* alerts, const QString& error, const QString& when);

    Services m_services;
    FileCopier m_copier;
    StoreCopier m_storeCopier;
    quint64 m_commits = 0;
    QHash<QString, Track> m_tracks;
    bool m_backupFailureTold = false;
    bool m_quitting = false;
    // Last: goes first, so no answer arrives at a half-destroyed object.
    BackgroundWorker m_worker;
};

} // namespace qv
