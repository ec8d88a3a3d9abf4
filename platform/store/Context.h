#pragma once

#include "platform/store/ManagedObject.h"
#include "platform/store/Model.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace qv {
class Scheduler;
}

namespace qv::store {

class UndoManager;

// What one "objects did change" event announces.
struct ChangeEvent {
    std::vector<ManagedObject*> inserted;
    std::vector<ManagedObject*> updated;
    std::vector<ManagedObject*> deleted;
    // Keys changed in this event, per object (inserted objects: every key set at insert).
    QHash<const ManagedObject*, QSet<QString>> changedKeys;
    // Empty unless this event is an undo or redo.
    bool isUndo = false;
    bool isRedo = false;
};

struct StoreError {
    // ReadOnly: the file or its folder cannot be written (permissions, a read-only disk).
    enum class Code { None, NotFound, NotAStore, Corrupt, NewerSchema, Io, Constraint, ReadOnly };
    Code code = Code::None;
    QString message;
    explicit operator bool() const { return code != Code::None; }
};

// The object context and its SQLite file: every object is loaded at open and lives in
// memory, or, opened OnDemand, an object is read from the file when first asked for; save()
// writes exactly what changed, in one transaction.
//
// Change events follow these rules: every mutation joins the pending event; setting an
// equal value records nothing; a key changed and changed back within one event is not
// reported; processPendingChanges() delivers the event synchronously to the observers and
// clears the per-event keys; mutations made by observers join the next event; the first
// mutation of an event posts processPendingChanges() to the end of the main-loop turn.
// Transient attributes are reported in events but are neither saved nor undone. What
// observers change in answer to an event is undone together with that event's changes.
class Context {
public:
    using ChangeObserver = std::function<void(const ChangeEvent&)>;
    using ObserverId = int;

    // A context with no file (scratch copies, imports, tests); save() fails with Io.
    Context(const Model& model, Scheduler& scheduler);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Whether open() runs SQLite's quick_check over the whole file before loading. Damage that
    // loading meets is reported either way; the check also finds it in pages loading skips.
    enum class IntegrityCheck { Run, Skip };

    // All: every object is read at open. OnDemand: none is; lookup() and objectWithID() read the
    // ones they find in the file, an object read brings its to-one destinations, and a to-many
    // relation is read in full when toMany() or a delete needs all of it. objects(), fetch(),
    // count() and lookups of transient attributes then answer for the objects read so far.
    enum class Loading { All, OnDemand };

    // Opens (creating when missing, readable by the user only) the store file. On failure the
    // file is left exactly as it was, no file is left beside it that was not there before, and
    // the error says why.
    static std::unique_ptr<Context> open(const QString& path, const Model& model, Scheduler& scheduler,
                                         StoreError* error, IntegrityCheck check = IntegrityCheck::Run,
                                         Loading loading = Loading::All);

    const Model& model() const;
    QString path() const;      // empty for a context with no file
    QString storeUuid() const; // kept in the file's metadata

    // Objects. The entity's factory makes the C++ object.
    ManagedObject* insert(const QString& entity);
    template <class T> T* insert(const QString& entity) { return as<T>(insert(entity)); }
    // Deletes per the model's delete rules; the object stays readable but isDeleted().
    void deleteObject(ManagedObject* object);

    // Live (not deleted) objects of an entity, in insertion/load order.
    std::vector<ManagedObject*> objects(const QString& entity) const;
    // The different non-empty texts an attribute holds in the live objects of an entity, in no
    // particular order. Each different text is decoded once, however many objects hold it.
    QStringList distinctTexts(const QString& entity, const QString& key) const;
    std::vector<ManagedObject*> fetch(const QString& entity,
                                      const std::function<bool(const ManagedObject*)>& predicate) const;
    // Live objects whose attribute equals value; constant-time for indexed attributes.
    std::vector<ManagedObject*> lookup(const QString& entity, const QString& key,
                                       const QVariant& value) const;
    ManagedObject* lookupFirst(const QString& entity, const QString& key, const QVariant& value) const;
    int count(const QString& entity) const;
    // nullptr for unknown, foreign or deleted objects.
    ManagedObject* objectForURI(const QString& uri) const;
    ManagedObject* objectWithID(const QString& entity, qint64 objectID) const;

    // Changes.
    bool hasChanges() const; // anything unsaved
    void processPendingChanges();
    ObserverId addChangeObserver(ChangeObserver observer);
    void removeChangeObserver(ObserverId id);

    // Writes inserted, updated and deleted objects in one transaction. On failure nothing is
    // written, the unsaved state stays in memory, and false is returned with the reason.
    bool save(StoreError* error = nullptr);

    // A context opened OnDemand, with nothing unsaved and no undo manager, forgets every object
    // it has read or saved (pointers to them are no longer valid); they are read again when asked
    // for. false, and nothing forgotten, otherwise.
    bool releaseObjects();

    // A consistent copy of the saved file through SQLite's online backup API.
    bool backupTo(const QString& destinationPath, StoreError* error = nullptr) const;

    // How long a save waits for another process's lock on the file before failing (default 5000).
    void setBusyTimeout(int ms);

    // Undo. The context owns an undo manager by default; takeUndoManager() detaches it
    // (changes are then not recorded) and setUndoManager() re-attaches one.
    UndoManager* undoManager() const;
    std::unique_ptr<UndoManager> takeUndoManager();
    void setUndoManager(std::unique_ptr<UndoManager> manager);
    // Told, after the fact, whenever what undoManager() can undo or redo may have changed: a
    // manager attached or taken away, a step recorded, undone, redone or dropped. A change
    // event can come while the manager is away (it is announced before the manager returns).
    ObserverId addUndoObserver(std::function<void()> observer);
    void removeUndoObserver(ObserverId id);

private:
    friend class ManagedObject;
    friend class IntegerReader;
    friend class UndoManager;
    friend struct ContextPrivate;
    std::unique_ptr<struct ContextPrivate> d;
};

// While it lives the context records nothing for undo; at its end what was changed meanwhile is
// processed, still unrecorded, and the manager taken away records again.
class UndoPause {
public:
    explicit UndoPause(Context& context);
    ~UndoPause();
    UndoPause(const UndoPause&) = delete;
    UndoPause& operator=(const UndoPause&) = delete;

private:
    Context& m_context;
    std::unique_ptr<UndoManager> m_parked;
};

// The change events of one context at a time: observing another context ends the first, and so
// does the end of this object. The context must outlive the observation, or see it stopped.
class ChangeObservation {
public:
    ChangeObservation() = default;
    ~ChangeObservation() { stop(); }
    ChangeObservation(const ChangeObservation&) = delete;
    ChangeObservation& operator=(const ChangeObservation&) = delete;

    // Nothing changes while context is the one observed already; nullptr stops.
    void observe(Context* context, Context::ChangeObserver observer);
    void stop();

private:
    Context* m_context = nullptr;
    Context::ObserverId m_id = 0;
};

} // namespace qv::store
