#pragma once

#include "platform/store/Context.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/Model.h"
#include "platform/store/SqliteStatement.h"
#include "platform/store/UndoManager.h"
#include "platform/store/ValueBlob.h"

#include <QBitArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace qv {
class Scheduler;
}

namespace qv::store {

namespace detail {

enum class RelationStorage {
    Column,  // to-one: a column named after the relationship holds the destination's key
    Derived, // to-many whose inverse is to-one: rebuilt from the other side's column
    Link,    // to-many with a to-many inverse (or none): a link table
};

struct RelationInfo {
    const RelationshipDescription* desc = nullptr;
    int destEntity = -1;
    int inverse = -1; // relationship index on the destination; -1 without one
    bool toMany = false;
    bool inverseToMany = false;
    RelationStorage storage = RelationStorage::Column;
    // For a to-one column: this side's column rebuilds the relation (both sides) at open.
    bool loadsFromColumn = false;
    int link = -1;
    bool linkSource = false; // this side's key is the link table's "Z_SOURCE"
};

struct EntityInfo {
    const EntityDescription* desc = nullptr;
    QString name;
    int attributeCount = 0;
    std::vector<int> columnAttributes; // persistent attributes, in column order
    std::vector<int> columnRelations;  // to-ones that have a column
    std::vector<int> indexedAttributes;
    std::vector<int> indexSlot; // per attribute: position in indexedAttributes or -1
    std::vector<RelationInfo> relations;
    QStringList keyNames; // attributes, then relationships
    QHash<QString, int> keyByName;
    std::vector<int> linksInvolved;
};

struct LinkInfo {
    QString table;
    int sourceEntity = -1;
    int sourceRelation = -1;
    int destEntity = -1;
    int destRelation = -1; // -1 for a one-way relation
};

struct Schema {
    std::vector<EntityInfo> entities;
    QHash<QString, int> entityByName;
    QHash<const EntityDescription*, int> entityByDescription;
    std::vector<LinkInfo> links;

    static Schema build(const Model& model);
};

// The state of one key when it was first touched in an event or since the last save.
struct Snapshot {
    int key = -1;
    QVariant value;
    ManagedObject* one = nullptr;
    std::vector<ManagedObject*> many;
};

// Change bookkeeping; only objects with changes carry one.
struct Tracking {
    std::vector<Snapshot> event;
    bool liveAtEventStart = true;
    std::vector<Snapshot> sinceSave;
};

struct ObjectState {
    ValueBlob values;
    void** relations = nullptr; // to-one: ManagedObject*; to-many: std::vector<ManagedObject*>*, lazily
    std::vector<std::pair<int, QVariant>>* transients = nullptr;
    std::unique_ptr<Tracking> tracking;
    int entity = 0;
    // Per to-many relation (bit = relation index), in a context that reads objects on demand:
    // its members in the file are not all read yet, and it holds only those that are.
    quint32 unreadMany = 0;
    bool live = true;
    bool inFile = false;
    bool inEvent = false;
    // Inserted in the event being built: every key started out null or empty, so what it holds
    // is what changed, and no key needs a snapshot.
    bool fresh = false;
    bool inSaveSet = false;
    bool deleting = false;
};

// One single-sided mutation; undo applies the reverse of a group's operations, last first.
struct UndoOp {
    enum class Kind : quint8 { SetAttribute, SetToOne, ManyInsert, ManyRemove, SetLive };
    UndoOp(Kind opKind, ManagedObject* target) : kind(opKind), object(target) {}
    Kind kind;
    ManagedObject* object;
    int index = -1; // attribute or relationship
    QVariant before;
    QVariant after;
    ManagedObject* other = nullptr;      // SetToOne: previous destination; Many*: the member
    ManagedObject* otherAfter = nullptr; // SetToOne: new destination
    int position = -1;                   // Many*: where the member was or went
    bool live = false;                   // SetLive: the new state
};
using UndoGroup = std::vector<UndoOp>;

// Objects by the key of one attribute's value. Most keys have one object; a key shared by
// many (a 0 or null every unsynced object has) keeps a set, so changes stay constant-time.
// Built at the first lookup (ContextPrivate::builtIndex), not while the file is read: until
// then insert() and remove() change nothing.
class AttributeIndex {
public:
    AttributeIndex() = default;
    ~AttributeIndex() { clear(); }
    AttributeIndex(AttributeIndex&& other) noexcept
        : m_buckets(std::move(other.m_buckets)), m_built(std::exchange(other.m_built, false))
    {
        other.m_buckets.clear();
    }
    AttributeIndex& operator=(AttributeIndex&&) = delete;
    AttributeIndex(const AttributeIndex&) = delete;
    AttributeIndex& operator=(const AttributeIndex&) = delete;

    void reserve(qsizetype n) { m_buckets.reserve(n); }
    bool built() const { return m_built; }
    void markBuilt() { m_built = true; }
    void insert(quint64 key, ManagedObject* o);
    void remove(quint64 key, ManagedObject* o);
    std::vector<ManagedObject*> values(quint64 key) const;
    void clear();

private:
    struct Bucket {
        ManagedObject* one = nullptr;
        QSet<ManagedObject*>* many = nullptr;
    };
    QHash<quint64, Bucket> m_buckets;
    bool m_built = false;
};

// The values of one integer, boolean or date attribute of every object of an entity, by the
// object's slot. Kept from the first bulk read that asks for it: a loop over many objects then
// finds their values side by side, instead of each in its own block far from the others.
struct IntegerColumn {
    std::vector<qint64> values;  // a boolean as 0 or 1, a date in ms since 1970
    std::vector<quint8> present; // 0 for a null value
};

struct EntityStore {
    std::vector<std::unique_ptr<ManagedObject>> objects; // ascending objectID, deleted ones included
    quint32 nextSlot = 0;                                // slots are handed out in creation order
    std::vector<std::unique_ptr<IntegerColumn>> columns; // by attribute; empty until one is kept
    qint64 highWater = 0;                                // largest objectID ever handed out
    qint64 savedHighWater = 0;
    int liveCount = 0;
    std::vector<AttributeIndex> indexes; // parallel to indexedAttributes
    SqliteStatement insertRow;
    SqliteStatement updateRow;
    SqliteStatement deleteRow;
    SqliteStatement readRow; // on demand: one row by its key
};

struct LinkChange {
    int link;
    qint64 source;
    qint64 destination;
    bool add;
    bool cancelled = false;
};

struct LinkStatements {
    SqliteStatement insert;
    SqliteStatement remove;
    SqliteStatement removeSource;
    SqliteStatement removeDestination;
};

enum class UndoMode { None, Undoing, Redoing };

} // namespace detail

struct UndoManagerPrivate;

namespace detail {

// An undo or redo group by position, while it is on top of its stack.
struct GroupRef {
    enum Stack { None, Undo, Redo } stack = None;
    size_t index = 0;
    const UndoManagerPrivate* manager = nullptr;
};

} // namespace detail

struct UndoManagerPrivate {
    Context* context = nullptr;
    std::vector<detail::UndoGroup> undoStack;
    std::vector<detail::UndoGroup> redoStack;
    int levels = 0;
    std::function<void()> didUndo;
    std::function<void(const std::vector<ManagedObject*>&)> willUndo;
    std::function<void()> didRedo;

    void pushUndo(detail::UndoGroup group);
};

struct ContextPrivate {
    ContextPrivate(Context* owner, const Model& objectModel, Scheduler& changeScheduler);
    ~ContextPrivate();

    Context* q;
    const Model& model;
    Scheduler& scheduler;
    detail::Schema schema;
    QString path;
    QString uuid;
    sqlite3* db = nullptr;
    std::vector<detail::EntityStore> stores;
    std::vector<detail::LinkStatements> linkStatements;
    detail::SqliteStatement metadataWrite;
    int busyTimeoutMs = 5000;
    bool onDemand = false;
    // On demand: the keys of the rows whose column holds a value, by table and column.
    std::map<QString, detail::SqliteStatement> keyQueries;
    bool loading = false;
    bool awaking = false; // objects' awakeFromFetch runs: their transient values are not changes

    // The event being built.
    bool eventOpen = false;
    std::vector<ManagedObject*> eventObjects;
    bool postPending = false;
    QObject lifetime; // context of the posted announcement
    // Changes observers make while an event is announced belong to that event's undo group.
    detail::GroupRef eventFollows;

    // The event being announced.
    const ChangeEvent* delivering = nullptr;
    detail::GroupRef deliveredGroup;
    std::vector<std::pair<Context::ObserverId, Context::ChangeObserver>> observers;
    Context::ObserverId nextObserverId = 1;

    // Since the last save.
    std::vector<ManagedObject*> saveSet;
    std::vector<detail::LinkChange> linkChanges;
    QHash<QString, int> pendingLink; // "link:source:destination" -> index in linkChanges

    // Undo.
    std::unique_ptr<UndoManager> undoManager;
    detail::UndoGroup pendingOps;
    detail::UndoMode mode = detail::UndoMode::None;
    std::vector<std::pair<Context::ObserverId, std::function<void()>>> undoObservers;

    static detail::ObjectState& st(const ManagedObject* o)
    {
        return *static_cast<detail::ObjectState*>(o->m_state);
    }
    const detail::EntityInfo& info(const ManagedObject* o) const
    {
        return schema.entities[size_t(st(o).entity)];
    }

    // Objects.
    ManagedObject* createObject(int entity, qint64 objectID);
    // An object as its row in the file holds it: live, with the values given, in the kept
    // columns and built indexes.
    ManagedObject* objectFromFile(int entity, qint64 id, const detail::BlobBuilder& values);
    void destroyAll();
    ManagedObject* objectWithID(int entity, qint64 id) const;
    QVariant attributeValue(const ManagedObject* o, int attr) const;
    // The kept column of a persistent integer, boolean or date attribute, made on first ask.
    const detail::IntegerColumn& integerColumn(int entity, int attr);
    // Brings the kept columns of the object's entity in step with its values (attr < 0: all).
    void updateColumns(const ManagedObject* o, int attr);
    ManagedObject* toOneOf(const ManagedObject* o, int rel) const;
    const std::vector<ManagedObject*>& toManyOf(const ManagedObject* o, int rel) const;
    std::vector<ManagedObject*>& toManyMutable(ManagedObject* o, int rel);
    void indexAdd(ManagedObject* o);
    // The entity's index at slot, built from the objects in memory when first asked for.
    const detail::AttributeIndex& builtIndex(int entity, int slot);
    void indexRemove(ManagedObject* o);

    // Single-sided mutations with change tracking and undo recording.
    void setAttribute(ManagedObject* o, int attr, const QVariant& value);
    void setAttributes(ManagedObject* o, const AttributeValues& values);
    void primSetToOne(ManagedObject* o, int rel, ManagedObject* destination);
    // knownAbsent: the caller has checked membership already (keeps appends to big relations O(1)).
    void primManyInsert(ManagedObject* o, int rel, ManagedObject* member, int position,
                        bool knownAbsent = false);
    // Membership without scanning a big relation: a to-one inverse answers directly, a to-many
    // inverse is searched from its smaller side.
    bool isMember(const ManagedObject* o, int rel, const ManagedObject* member) const;
    void primManyRemove(ManagedObject* o, int rel, ManagedObject* member);
    void primSetLive(ManagedObject* o, bool live);
    void noteLinkChange(ManagedObject* o, int rel, ManagedObject* member, bool add);

    // Both sides of a relation.
    bool relationAllowed(ManagedObject* o, int rel, ManagedObject* destination) const;
    void setToOne(ManagedObject* o, int rel, ManagedObject* destination);
    void addToMany(ManagedObject* o, int rel, ManagedObject* member);
    void removeFromMany(ManagedObject* o, int rel, ManagedObject* member);
    void deleteObject(ManagedObject* o);

    // Change tracking.
    void openEvent();
    void enterEvent(ManagedObject* o);
    void enterSaveSet(ManagedObject* o);
    void willChange(ManagedObject* o, int key);
    detail::Snapshot snapshot(const ManagedObject* o, int key) const;
    bool differs(const ManagedObject* o, const detail::Snapshot& s) const;
    QSet<QString> eventKeys(const ManagedObject* o) const;
    QSet<QString> keysWithValues(const ManagedObject* o) const;
    // The names of the keys whose bits are set, shared with every earlier caller that asked for
    // the same keys: objects inserted or changed alike share one set instead of each holding a copy.
    QSet<QString> sharedKeys(int entity, const QBitArray& held) const;
    // Per entity, the key sets sharedKeys() has built, by which keys they hold.
    mutable std::vector<QHash<QBitArray, QSet<QString>>> keySets;
    bool changedSinceSave(const ManagedObject* o, bool columnsOnly) const;
    void releaseTracking(ManagedObject* o);
    void record(detail::UndoOp op);
    void processPendingChanges();
    void applyReverse(const detail::UndoGroup& group);
    void undoStep(bool undo);
    void undoHistoryChanged();

    // Reading on demand. An object read has its to-one destinations read with it, and is joined
    // to the objects already read that the file relates it to; a to-many relation holds the
    // related objects read so far until readMany() reads the rest. What is unsaved always
    // involves objects already read, so the file speaks for every object not read yet.
    ManagedObject* readObject(int entity, qint64 id);
    // The keys of the rows of table whose column holds value (a null value: holds none).
    std::vector<qint64> keysWhere(const QString& table, const QString& column, AttributeType type,
                                  const QVariant& value);
    void readMatching(int entity, int attr, const QVariant& value);
    void readMany(const ManagedObject* o, int rel);
    void readAllMany(const ManagedObject* o);

    // File.
    bool loadAll(const QHash<QString, QSet<QString>>& columns, StoreError* error);
    bool prepareSchema(const QHash<QString, QSet<QString>>& columns, bool fresh, int fileVersion,
                       StoreError* error);
    bool writeChanges(StoreError* error);
    int bindRow(detail::SqliteStatement& stmt, const ManagedObject* o, int firstParam);
    StoreError sqlError(const QString& what) const;
};

} // namespace qv::store
