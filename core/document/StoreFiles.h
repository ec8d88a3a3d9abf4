#pragma once

#include "platform/Services.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace qv {
class Scheduler;
}

namespace qv::store {
class Context;
class Model;
} // namespace qv::store

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

    // Uses services.preferences (backup slots) and services.alerts (migration failure).
    explicit StoreFiles(const Services& services, FileCopier copier = copyFile);

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

    enum class StepResult { NothingToDo, Migrated, Failed };
    // One step of the chain. The old file is removed only once its data sits under the new name;
    // on failure every file stays as it was (a partial new file is removed).
    StepResult migrateIfNeeded(const QString& oldName, const QString& newName, const QString& copyName,
                               QString* error = nullptr);
    // Runs the chain. A failed step ends it and is reported (log and alert); answers false then.
    bool backupOnMigrationIfNeeded(QString* error = nullptr);

    // Migration chain, then the store opened, or created and saved when there is none.
    // No store is created when the migration failed or an existing file cannot be opened.
    struct OpenedStore {
        std::unique_ptr<store::Context> context;
        QString error;
    };
    OpenedStore reloadFile(const store::Model& model, Scheduler& scheduler);

    // One rotating backup of the saved store on the track ("save", "autosave", "sync").
    void backupCurrentStoreWithTrack(const QString& track, const store::Context& context);
    static QString backupPath(const QString& track, int slot);
    static QString backupCounterKey(const QString& track);

private:
    Services m_services;
    FileCopier m_copier;
};

} // namespace qv
