#include "platform/store/Context.h"

#include "platform/Scheduler.h"
#include "platform/store/ObjectPool.h"
#include "platform/store/StoreInternals.h"
#include "platform/store/StoreLogging.h"
#include "platform/store/UndoManager.h"

#include <QByteArrayView>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <new>

namespace qv::store {

using namespace detail;

namespace {

const std::vector<ManagedObject*>& emptyMembers()
{
    static const std::vector<ManagedObject*> empty;
    return empty;
}

bool sameMembers(const std::vector<ManagedObject*>& a, const std::vector<ManagedObject*>& b)
{
    if (a.size() != b.size())
        return false;
    if (a == b)
        return true;
    std::vector<ManagedObject*> x = a;
    std::vector<ManagedObject*> y = b;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    return x == y;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// AttributeIndex

void AttributeIndex::insert(quint64 key, ManagedObject* o)
{
    if (!m_built)
        return;
    Bucket& b = m_buckets[key];
    if (b.many) {
        b.many->insert(o);
    } else if (!b.one) {
        b.one = o;
    } else if (b.one != o) {
        b.many = new QSet<ManagedObject*>{b.one, o};
        b.one = nullptr;
    }
}

void AttributeIndex::remove(quint64 key, ManagedObject* o)
{
    if (!m_built)
        return;
    auto it = m_buckets.find(key);
    if (it == m_buckets.end())
        return;
    Bucket& b = it.value();
    if (b.many) {
        b.many->remove(o);
        if (!b.many->isEmpty())
            return;
        delete b.many;
    } else if (b.one != o) {
        return;
    }
    m_buckets.erase(it);
}

std::vector<ManagedObject*> AttributeIndex::values(quint64 key) const
{
    std::vector<ManagedObject*> result;
    const auto it = m_buckets.constFind(key);
    if (it == m_buckets.constEnd())
        return result;
    if (it->many)
        result.assign(it->many->begin(), it->many->end());
    else
        result.push_back(it->one);
    return result;
}

void AttributeIndex::clear()
{
    for (auto& b : m_buckets)
        delete b.many;
    m_buckets.clear();
    m_built = false;
}

// ---------------------------------------------------------------------------------------------
// ContextPrivate: objects

ContextPrivate::ContextPrivate(Context* owner, const Model& objectModel, Scheduler& changeScheduler)
    : q(owner), model(objectModel), scheduler(changeScheduler), schema(Schema::build(objectModel))
{
    stores.resize(schema.entities.size());
    keySets.resize(schema.entities.size());
    for (size_t e = 0; e < schema.entities.size(); ++e)
        stores[e].indexes.resize(schema.entities[e].indexedAttributes.size());
    linkStatements.resize(schema.links.size());
}

ContextPrivate::~ContextPrivate()
{
    undoManager.reset();
    destroyAll();
    for (auto& store : stores) {
        store.insertRow = {};
        store.updateRow = {};
        store.deleteRow = {};
        store.readRow = {};
    }
    keyQueries.clear();
    linkStatements.clear();
    metadataWrite = {};
    if (db)
        sqlite3_close_v2(db);
}

ManagedObject* ContextPrivate::createObject(int entity, qint64 objectID)
{
    const EntityInfo& e = schema.entities[size_t(entity)];
    std::unique_ptr<ManagedObject> object = e.desc->create();
    Q_ASSERT_X(object, "Context", "entity factory returned no object");
    if (!object)
        object.reset(new ManagedObject());
    // The relation slots share the state's allocation.
    const size_t relationCount = e.relations.size();
    void* memory = allocateObject(sizeof(ObjectState) + relationCount * sizeof(void*));
    auto* state = new (memory) ObjectState;
    if (relationCount) {
        state->relations = reinterpret_cast<void**>(static_cast<char*>(memory) + sizeof(ObjectState));
        std::fill_n(state->relations, relationCount, nullptr);
    }
    state->entity = entity;
    object->m_entity = e.desc;
    object->m_context = q;
    object->m_objectID = objectID;
    object->m_state = state;
    EntityStore& store = stores[size_t(entity)];
    object->m_slot = store.nextSlot++;
    for (const auto& column : store.columns) {
        if (column) {
            column->values.push_back(0);
            column->present.push_back(0);
        }
    }
    ManagedObject* raw = object.get();
    store.objects.push_back(std::move(object));
    return raw;
}

void ContextPrivate::destroyAll()
{
    std::vector<ObjectState*> states;
    for (auto& store : stores) {
        for (auto& object : store.objects)
            states.push_back(static_cast<ObjectState*>(object->m_state));
        store.objects.clear();
        store.columns.clear();
        store.nextSlot = 0;
        for (auto& index : store.indexes)
            index.clear();
    }
    for (ObjectState* state : states) {
        const EntityInfo& e = schema.entities[size_t(state->entity)];
        for (size_t r = 0; r < e.relations.size(); ++r) {
            if (e.relations[r].toMany)
                delete static_cast<std::vector<ManagedObject*>*>(state->relations[r]);
        }
        delete state->transients;
        state->~ObjectState();
        releaseObject(state, sizeof(ObjectState) + e.relations.size() * sizeof(void*));
    }
}

ManagedObject* ContextPrivate::objectWithID(int entity, qint64 id) const
{
    const auto& objects = stores[size_t(entity)].objects;
    auto it =
        std::lower_bound(objects.begin(), objects.end(), id,
                         [](const std::unique_ptr<ManagedObject>& o, qint64 v) { return o->m_objectID < v; });
    if (it == objects.end() || (*it)->m_objectID != id)
        return nullptr;
    return it->get();
}

QVariant ContextPrivate::attributeValue(const ManagedObject* o, int attr) const
{
    const ObjectState& s = st(o);
    const AttributeDescription& desc = o->m_entity->attributes()[size_t(attr)];
    if (desc.transient) {
        if (s.transients) {
            for (const auto& [index, value] : *s.transients) {
                if (index == attr)
                    return value;
            }
        }
        return {};
    }
    return s.values.get(attr, desc.type);
}

const IntegerColumn& ContextPrivate::integerColumn(int entity, int attr)
{
    EntityStore& store = stores[size_t(entity)];
    if (store.columns.size() <= size_t(attr))
        store.columns.resize(schema.entities[size_t(entity)].desc->attributes().size());
    std::unique_ptr<IntegerColumn>& column = store.columns[size_t(attr)];
    if (!column) {
        column = std::make_unique<IntegerColumn>();
        column->values.resize(store.nextSlot);
        column->present.resize(store.nextSlot);
        constexpr size_t kAhead = 8;
        const auto& objects = store.objects;
        for (size_t i = 0; i < objects.size(); ++i) {
            if (i + kAhead < objects.size())
                st(objects[i + kAhead].get()).values.prefetch();
            updateColumns(objects[i].get(), attr);
        }
    }
    return *column;
}

void ContextPrivate::updateColumns(const ManagedObject* o, int attr)
{
    const ObjectState& s = st(o);
    auto& columns = stores[size_t(s.entity)].columns;
    const auto update = [&](size_t index) {
        IntegerColumn* column = index < columns.size() ? columns[index].get() : nullptr;
        if (!column)
            return;
        const Slot* slot = s.values.find(int(index));
        const bool boolean = o->m_entity->attributes()[index].type == AttributeType::Boolean;
        column->present[o->m_slot] = slot ? 1 : 0;
        column->values[o->m_slot] = !slot ? 0 : (boolean ? qint64(slot->payload != 0) : slot->payload);
    };
    if (attr >= 0) {
        update(size_t(attr));
        return;
    }
    for (size_t index = 0; index < columns.size(); ++index)
        update(index);
}

ManagedObject* ContextPrivate::toOneOf(const ManagedObject* o, int rel) const
{
    return static_cast<ManagedObject*>(st(o).relations[rel]);
}

const std::vector<ManagedObject*>& ContextPrivate::toManyOf(const ManagedObject* o, int rel) const
{
    auto* members = static_cast<std::vector<ManagedObject*>*>(st(o).relations[rel]);
    return members ? *members : emptyMembers();
}

std::vector<ManagedObject*>& ContextPrivate::toManyMutable(ManagedObject* o, int rel)
{
    void*& slot = st(o).relations[rel];
    if (!slot)
        slot = new std::vector<ManagedObject*>();
    return *static_cast<std::vector<ManagedObject*>*>(slot);
}

void ContextPrivate::indexAdd(ManagedObject* o)
{
    const ObjectState& s = st(o);
    const EntityInfo& e = schema.entities[size_t(s.entity)];
    auto& indexes = stores[size_t(s.entity)].indexes;
    for (size_t k = 0; k < e.indexedAttributes.size(); ++k) {
        const int attr = e.indexedAttributes[k];
        if (indexes[k].built())
            indexes[k].insert(s.values.keyOf(attr, e.desc->attributes()[size_t(attr)].type), o);
    }
}

const AttributeIndex& ContextPrivate::builtIndex(int entity, int slot)
{
    EntityStore& store = stores[size_t(entity)];
    AttributeIndex& index = store.indexes[size_t(slot)];
    if (index.built())
        return index;
    index.markBuilt();
    index.reserve(store.liveCount);
    const EntityInfo& e = schema.entities[size_t(entity)];
    const int attr = e.indexedAttributes[size_t(slot)];
    const AttributeType type = e.desc->attributes()[size_t(attr)].type;
    for (const auto& object : store.objects) {
        const ObjectState& s = st(object.get());
        if (s.live)
            index.insert(s.values.keyOf(attr, type), object.get());
    }
    return index;
}

void ContextPrivate::indexRemove(ManagedObject* o)
{
    const ObjectState& s = st(o);
    const EntityInfo& e = schema.entities[size_t(s.entity)];
    auto& indexes = stores[size_t(s.entity)].indexes;
    for (size_t k = 0; k < e.indexedAttributes.size(); ++k) {
        const int attr = e.indexedAttributes[k];
        indexes[k].remove(s.values.keyOf(attr, e.desc->attributes()[size_t(attr)].type), o);
    }
}

// ---------------------------------------------------------------------------------------------
// ContextPrivate: single-sided mutations

void ContextPrivate::setAttribute(ManagedObject* o, int attr, const QVariant& value)
{
    ObjectState& s = st(o);
    const AttributeDescription& desc = o->m_entity->attributes()[size_t(attr)];
    if (desc.transient) {
        if (sameLooseValue(attributeValue(o, attr), value))
            return;
        if (!awaking)
            willChange(o, attr);
        if (!s.transients)
            s.transients = new std::vector<std::pair<int, QVariant>>();
        auto& list = *s.transients;
        auto it = std::find_if(list.begin(), list.end(), [attr](const auto& p) { return p.first == attr; });
        if (isNullish(value)) {
            if (it != list.end())
                list.erase(it);
        } else if (it != list.end()) {
            it->second = value;
        } else {
            list.emplace_back(attr, value);
        }
        return;
    }
    const QVariant canonical = canonicalValue(desc.type, value);
    const QVariant old = s.values.get(attr, desc.type);
    if (sameCanonical(desc.type, old, canonical))
        return;
    willChange(o, attr);
    const int slot = schema.entities[size_t(s.entity)].indexSlot[size_t(attr)];
    auto& indexes = stores[size_t(s.entity)].indexes;
    if (slot >= 0 && s.live)
        indexes[size_t(slot)].remove(s.values.keyOf(attr, desc.type), o);
    s.values.set(attr, desc.type, canonical);
    updateColumns(o, attr);
    if (slot >= 0 && s.live)
        indexes[size_t(slot)].insert(s.values.keyOf(attr, desc.type), o);
    UndoOp op{UndoOp::Kind::SetAttribute, o};
    op.index = attr;
    op.before = old;
    op.after = canonical;
    record(std::move(op));
}

void ContextPrivate::setAttributes(ManagedObject* o, const AttributeValues& values)
{
    ObjectState& s = st(o);
    const auto& attributes = o->m_entity->attributes();
    const EntityInfo& e = schema.entities[size_t(s.entity)];
    auto& indexes = stores[size_t(s.entity)].indexes;

    // The last value given for each persistent attribute, in attribute order.
    std::vector<const std::pair<int, QVariant>*> wanted;
    wanted.reserve(values.size());
    for (const auto& value : values) {
        if (attributes[size_t(value.first)].transient)
            setAttribute(o, value.first, value.second);
        else
            wanted.push_back(&value);
    }
    std::stable_sort(wanted.begin(), wanted.end(),
                     [](const auto* a, const auto* b) { return a->first < b->first; });

    std::vector<EncodedValue> changed;
    changed.reserve(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        const int attr = wanted[i]->first;
        if (i + 1 < wanted.size() && wanted[i + 1]->first == attr)
            continue; // a later value of the same attribute wins
        const AttributeType type = attributes[size_t(attr)].type;
        const QVariant canonical = canonicalValue(type, wanted[i]->second);
        EncodedValue encoded = EncodedValue::of(attr, type, canonical);
        if (s.values.holds(encoded))
            continue;
        willChange(o, attr);
        if (undoManager && !loading) {
            UndoOp op{UndoOp::Kind::SetAttribute, o};
            op.index = attr;
            op.before = s.values.get(attr, type);
            op.after = canonical;
            record(std::move(op));
        }
        const int slot = e.indexSlot[size_t(attr)];
        if (slot >= 0 && s.live)
            indexes[size_t(slot)].remove(s.values.keyOf(attr, type), o);
        changed.push_back(std::move(encoded));
    }
    if (changed.empty())
        return;
    s.values.setMany(changed);
    for (const EncodedValue& value : changed)
        updateColumns(o, value.attr);
    if (!s.live)
        return;
    for (const EncodedValue& value : changed) {
        const int slot = e.indexSlot[size_t(value.attr)];
        if (slot >= 0)
            indexes[size_t(slot)].insert(s.values.keyOf(value.attr, value.type), o);
    }
}

void ContextPrivate::primSetToOne(ManagedObject* o, int rel, ManagedObject* destination)
{
    ManagedObject* old = toOneOf(o, rel);
    if (old == destination)
        return;
    willChange(o, info(o).attributeCount + rel);
    st(o).relations[rel] = destination;
    UndoOp op{UndoOp::Kind::SetToOne, o};
    op.index = rel;
    op.other = old;
    op.otherAfter = destination;
    record(std::move(op));
}

bool ContextPrivate::isMember(const ManagedObject* o, int rel, const ManagedObject* member) const
{
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    if (!member || member->context() != o->context() || st(member).entity != ri.destEntity)
        return false;
    if (ri.inverse >= 0 && !ri.inverseToMany)
        return toOneOf(member, ri.inverse) == o;
    const auto& members = toManyOf(o, rel);
    if (ri.inverse >= 0) {
        const auto& back = toManyOf(member, ri.inverse);
        if (back.size() < members.size())
            return std::find(back.begin(), back.end(), o) != back.end();
    }
    return std::find(members.begin(), members.end(), member) != members.end();
}

void ContextPrivate::primManyInsert(ManagedObject* o, int rel, ManagedObject* member, int position,
                                    bool knownAbsent)
{
    auto& members = toManyMutable(o, rel);
    if (!knownAbsent && std::find(members.begin(), members.end(), member) != members.end())
        return;
    willChange(o, info(o).attributeCount + rel);
    if (position < 0 || size_t(position) > members.size())
        position = int(members.size());
    members.insert(members.begin() + position, member);
    UndoOp op{UndoOp::Kind::ManyInsert, o};
    op.index = rel;
    op.other = member;
    op.position = position;
    record(std::move(op));
    noteLinkChange(o, rel, member, true);
}

void ContextPrivate::primManyRemove(ManagedObject* o, int rel, ManagedObject* member)
{
    auto* members = static_cast<std::vector<ManagedObject*>*>(st(o).relations[rel]);
    if (!members)
        return;
    auto it = std::find(members->begin(), members->end(), member);
    if (it == members->end())
        return;
    willChange(o, info(o).attributeCount + rel);
    const int position = int(it - members->begin());
    members->erase(it);
    UndoOp op{UndoOp::Kind::ManyRemove, o};
    op.index = rel;
    op.other = member;
    op.position = position;
    record(std::move(op));
    noteLinkChange(o, rel, member, false);
}

void ContextPrivate::primSetLive(ManagedObject* o, bool live)
{
    ObjectState& s = st(o);
    if (s.live == live)
        return;
    enterEvent(o);
    enterSaveSet(o);
    s.live = live;
    auto& store = stores[size_t(s.entity)];
    if (live) {
        indexAdd(o);
        ++store.liveCount;
    } else {
        indexRemove(o);
        --store.liveCount;
    }
    UndoOp op{UndoOp::Kind::SetLive, o};
    op.live = live;
    record(std::move(op));
}

void ContextPrivate::noteLinkChange(ManagedObject* o, int rel, ManagedObject* member, bool add)
{
    if (loading)
        return;
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    if (ri.storage != RelationStorage::Link || !ri.linkSource)
        return;
    const QString key = QStringLiteral("%1:%2:%3").arg(ri.link).arg(o->m_objectID).arg(member->m_objectID);
    const auto it = pendingLink.constFind(key);
    if (it != pendingLink.constEnd()) {
        LinkChange& pending = linkChanges[size_t(*it)];
        if (pending.add != add) {
            // Back to what the file holds.
            pending.cancelled = true;
            pendingLink.erase(it);
            return;
        }
    }
    pendingLink.insert(key, int(linkChanges.size()));
    linkChanges.push_back({ri.link, o->m_objectID, member->m_objectID, add});
}

// ---------------------------------------------------------------------------------------------
// ContextPrivate: relations, both sides

bool ContextPrivate::relationAllowed(ManagedObject* o, int rel, ManagedObject* destination) const
{
    if (!st(o).live) {
        qCWarning(lcStore, "relationship change on a deleted %s ignored", qPrintable(o->entityName()));
        return false;
    }
    if (!destination)
        return true;
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    if (destination->m_context != q || st(destination).entity != ri.destEntity) {
        qCWarning(lcStore, "%s.%s cannot hold a %s", qPrintable(o->entityName()), qPrintable(ri.desc->name),
                  qPrintable(destination->entityName()));
        return false;
    }
    if (!st(destination).live) {
        qCWarning(lcStore, "%s.%s cannot hold a deleted object", qPrintable(o->entityName()),
                  qPrintable(ri.desc->name));
        return false;
    }
    return true;
}

void ContextPrivate::setToOne(ManagedObject* o, int rel, ManagedObject* destination)
{
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    ManagedObject* old = toOneOf(o, rel);
    if (old == destination)
        return;
    if (ri.inverse >= 0) {
        if (old) {
            if (ri.inverseToMany)
                primManyRemove(old, ri.inverse, o);
            else
                primSetToOne(old, ri.inverse, nullptr);
        }
        if (destination) {
            if (ri.inverseToMany) {
                // o pointed elsewhere, so the destination's list cannot hold it yet.
                primManyInsert(destination, ri.inverse, o, -1, true);
            } else {
                ManagedObject* previous = toOneOf(destination, ri.inverse);
                if (previous && previous != o)
                    primSetToOne(previous, rel, nullptr);
                primSetToOne(destination, ri.inverse, o);
            }
        }
    }
    primSetToOne(o, rel, destination);
}

void ContextPrivate::addToMany(ManagedObject* o, int rel, ManagedObject* member)
{
    if (isMember(o, rel, member))
        return;
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    if (ri.inverse >= 0) {
        if (!ri.inverseToMany) {
            ManagedObject* previousOwner = toOneOf(member, ri.inverse);
            if (previousOwner && previousOwner != o)
                primManyRemove(previousOwner, rel, member);
            primSetToOne(member, ri.inverse, o);
        } else {
            primManyInsert(member, ri.inverse, o, -1, true);
        }
    }
    primManyInsert(o, rel, member, -1, true);
}

void ContextPrivate::removeFromMany(ManagedObject* o, int rel, ManagedObject* member)
{
    if (!isMember(o, rel, member))
        return;
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    if (ri.inverse >= 0) {
        if (!ri.inverseToMany)
            primSetToOne(member, ri.inverse, nullptr);
        else
            primManyRemove(member, ri.inverse, o);
    }
    primManyRemove(o, rel, member);
}

void ContextPrivate::deleteObject(ManagedObject* o)
{
    ObjectState& s = st(o);
    if (!s.live || s.deleting)
        return;
    // The delete rules apply to every member, read or not.
    if (onDemand)
        readAllMany(o);
    s.deleting = true;
    const EntityInfo& e = info(o);
    for (size_t r = 0; r < e.relations.size(); ++r) {
        const RelationInfo& ri = e.relations[r];
        const bool cascade = ri.desc->deleteRule == DeleteRule::Cascade;
        if (ri.toMany) {
            if (cascade) {
                const std::vector<ManagedObject*> members = toManyOf(o, int(r));
                for (ManagedObject* m : members)
                    deleteObject(m);
            }
            const std::vector<ManagedObject*> remaining = toManyOf(o, int(r));
            for (ManagedObject* m : remaining)
                removeFromMany(o, int(r), m);
        } else {
            if (cascade) {
                if (ManagedObject* d = toOneOf(o, int(r)))
                    deleteObject(d);
            }
            if (toOneOf(o, int(r)))
                setToOne(o, int(r), nullptr);
        }
    }
    primSetLive(o, false);
    s.deleting = false;
}

// ---------------------------------------------------------------------------------------------
// ContextPrivate: change tracking

void ContextPrivate::openEvent()
{
    if (eventOpen)
        return;
    eventOpen = true;
    eventFollows = delivering ? deliveredGroup : GroupRef{};
    if (postPending)
        return;
    postPending = true;
    scheduler.post(&lifetime, [this] {
        postPending = false;
        processPendingChanges();
    });
}

void ContextPrivate::enterEvent(ManagedObject* o)
{
    if (loading)
        return;
    openEvent();
    ObjectState& s = st(o);
    if (!s.tracking)
        s.tracking = std::make_unique<Tracking>();
    if (!s.inEvent) {
        s.inEvent = true;
        s.tracking->liveAtEventStart = s.live;
        eventObjects.push_back(o);
    }
}

void ContextPrivate::enterSaveSet(ManagedObject* o)
{
    if (loading)
        return;
    ObjectState& s = st(o);
    if (!s.tracking)
        s.tracking = std::make_unique<Tracking>();
    if (!s.inSaveSet) {
        s.inSaveSet = true;
        saveSet.push_back(o);
    }
}

void ContextPrivate::willChange(ManagedObject* o, int key)
{
    if (loading)
        return;
    enterEvent(o);
    Tracking& t = *st(o).tracking;
    auto hasKey = [key](const std::vector<Snapshot>& list) {
        return std::any_of(list.begin(), list.end(), [key](const Snapshot& s) { return s.key == key; });
    };
    const EntityInfo& e = info(o);
    const bool persistent = key >= e.attributeCount || !e.desc->attributes()[size_t(key)].transient;
    const ObjectState& s = st(o);
    const bool inEvent = s.fresh || hasKey(t.event);
    // What an object not in the file holds is all unsaved: nothing to compare with.
    const bool sinceSave = !persistent || !s.inFile || hasKey(t.sinceSave);
    if (persistent)
        enterSaveSet(o);
    if (inEvent && sinceSave)
        return;
    // One snapshot serves both lists: its values are shared, not copied.
    Snapshot before = snapshot(o, key);
    if (!inEvent)
        t.event.push_back(before);
    if (!sinceSave)
        t.sinceSave.push_back(std::move(before));
}

Snapshot ContextPrivate::snapshot(const ManagedObject* o, int key) const
{
    Snapshot s;
    s.key = key;
    const EntityInfo& e = info(o);
    if (key < e.attributeCount) {
        s.value = attributeValue(o, key);
    } else {
        const int rel = key - e.attributeCount;
        if (e.relations[size_t(rel)].toMany)
            s.many = toManyOf(o, rel);
        else
            s.one = toOneOf(o, rel);
    }
    return s;
}

bool ContextPrivate::differs(const ManagedObject* o, const Snapshot& s) const
{
    const EntityInfo& e = info(o);
    if (s.key < e.attributeCount) {
        const AttributeDescription& desc = e.desc->attributes()[size_t(s.key)];
        if (desc.transient)
            return !sameLooseValue(attributeValue(o, s.key), s.value);
        return !st(o).values.equals(s.key, desc.type, s.value);
    }
    const int rel = s.key - e.attributeCount;
    if (e.relations[size_t(rel)].toMany)
        return !sameMembers(toManyOf(o, rel), s.many);
    return toOneOf(o, rel) != s.one;
}

QSet<QString> ContextPrivate::eventKeys(const ManagedObject* o) const
{
    const ObjectState& s = st(o);
    if (s.fresh)
        return keysWithValues(o);
    if (!s.tracking)
        return {};
    const EntityInfo& e = info(o);
    QBitArray changed(e.attributeCount + qsizetype(e.relations.size()));
    bool any = false;
    for (const Snapshot& snap : s.tracking->event) {
        if (differs(o, snap)) {
            changed.setBit(snap.key);
            any = true;
        }
    }
    return any ? sharedKeys(s.entity, changed) : QSet<QString>();
}

QSet<QString> ContextPrivate::keysWithValues(const ManagedObject* o) const
{
    const EntityInfo& e = info(o);
    QBitArray held(e.attributeCount + qsizetype(e.relations.size()));
    for (int a = 0; a < e.attributeCount; ++a) {
        if (!isNullish(attributeValue(o, a)))
            held.setBit(a);
    }
    for (size_t r = 0; r < e.relations.size(); ++r) {
        const bool set = e.relations[r].toMany ? !toManyOf(o, int(r)).empty() : toOneOf(o, int(r)) != nullptr;
        if (set)
            held.setBit(e.attributeCount + int(r));
    }
    return sharedKeys(st(o).entity, held);
}

QSet<QString> ContextPrivate::sharedKeys(int entity, const QBitArray& held) const
{
    auto& known = keySets[size_t(entity)];
    if (const auto it = known.constFind(held); it != known.constEnd())
        return *it;
    const EntityInfo& e = schema.entities[size_t(entity)];
    QSet<QString> keys;
    for (qsizetype k = 0; k < held.size(); ++k) {
        if (held.testBit(k))
            keys.insert(e.keyNames[k]);
    }
    // Objects differ in few ways; a store that shows more only stops sharing the older sets.
    constexpr qsizetype kMostSetsKept = 256;
    if (known.size() >= kMostSetsKept)
        known.clear();
    known.insert(held, keys);
    return keys;
}

bool ContextPrivate::changedSinceSave(const ManagedObject* o, bool columnsOnly) const
{
    const ObjectState& s = st(o);
    if (!s.tracking)
        return false;
    const EntityInfo& e = info(o);
    for (const Snapshot& snap : s.tracking->sinceSave) {
        if (columnsOnly && snap.key >= e.attributeCount &&
            e.relations[size_t(snap.key - e.attributeCount)].storage != RelationStorage::Column)
            continue;
        if (differs(o, snap))
            return true;
    }
    return false;
}

void ContextPrivate::releaseTracking(ManagedObject* o)
{
    ObjectState& s = st(o);
    if (s.tracking && !s.inEvent && !s.inSaveSet && s.tracking->event.empty() &&
        s.tracking->sinceSave.empty())
        s.tracking.reset();
}

void ContextPrivate::record(UndoOp op)
{
    if (loading || !undoManager)
        return;
    pendingOps.push_back(std::move(op));
}

void ContextPrivate::processPendingChanges()
{
    if (delivering)
        return; // changes made by observers join the next event
    if (!eventOpen && mode == UndoMode::None)
        return;
    eventOpen = false;

    ChangeEvent event;
    event.isUndo = mode == UndoMode::Undoing;
    event.isRedo = mode == UndoMode::Redoing;
    std::vector<ManagedObject*> objects;
    objects.swap(eventObjects);
    for (ManagedObject* o : objects) {
        ObjectState& s = st(o);
        QSet<QString> keys = eventKeys(o);
        const bool wasLive = s.tracking->liveAtEventStart;
        if (!wasLive && s.live) {
            // A fresh object's event keys are already the keys it holds.
            if (!s.fresh)
                keys.unite(keysWithValues(o));
            event.inserted.push_back(o);
            event.changedKeys.insert(o, keys);
        } else if (wasLive && !s.live) {
            event.deleted.push_back(o);
            event.changedKeys.insert(o, keys);
        } else if (wasLive && s.live && !keys.isEmpty()) {
            event.updated.push_back(o);
            event.changedKeys.insert(o, keys);
        }
        s.tracking->event.clear();
        s.inEvent = false;
        s.fresh = false;
        releaseTracking(o);
    }

    UndoGroup group;
    group.swap(pendingOps);
    const GroupRef follows = eventFollows;
    eventFollows = {};
    const bool empty = event.inserted.empty() && event.updated.empty() && event.deleted.empty();
    GroupRef target;
    bool historyChanged = false;
    if (undoManager) {
        UndoManagerPrivate* u = undoManager->d.get();
        auto stackOf = [u](GroupRef::Stack which) -> std::vector<UndoGroup>& {
            return which == GroupRef::Undo ? u->undoStack : u->redoStack;
        };
        if (mode == UndoMode::Undoing) {
            u->redoStack.push_back(std::move(group));
            target = {GroupRef::Redo, u->redoStack.size() - 1, u};
        } else if (mode == UndoMode::Redoing) {
            u->undoStack.push_back(std::move(group));
            if (u->levels > 0 && int(u->undoStack.size()) > u->levels)
                u->undoStack.erase(u->undoStack.begin());
            target = {GroupRef::Undo, u->undoStack.size() - 1, u};
        } else if (follows.stack != GroupRef::None && follows.manager == u &&
                   stackOf(follows.stack).size() == follows.index + 1) {
            auto& top = stackOf(follows.stack).back();
            top.insert(top.end(), group.begin(), group.end());
            target = follows;
        } else if (!empty && !group.empty()) {
            u->pushUndo(std::move(group));
            target = {GroupRef::Undo, u->undoStack.size() - 1, u};
        }
        historyChanged = target.stack != GroupRef::None;
    }
    if (empty) {
        if (historyChanged)
            undoHistoryChanged();
        return;
    }

    delivering = &event;
    deliveredGroup = target;
    std::vector<Context::ObserverId> ids;
    ids.reserve(observers.size());
    for (const auto& entry : observers)
        ids.push_back(entry.first);
    for (Context::ObserverId id : ids) {
        auto it =
            std::find_if(observers.begin(), observers.end(), [id](const auto& e) { return e.first == id; });
        if (it == observers.end())
            continue; // removed by an earlier observer
        Context::ChangeObserver observer = it->second;
        observer(event);
    }
    delivering = nullptr;
    deliveredGroup = {};
    if (historyChanged)
        undoHistoryChanged();
}

void ContextPrivate::undoHistoryChanged()
{
    // A copy: an observer may add or remove observers.
    const auto observersNow = undoObservers;
    for (const auto& entry : observersNow)
        entry.second();
}

void ContextPrivate::applyReverse(const UndoGroup& group)
{
    for (auto it = group.rbegin(); it != group.rend(); ++it) {
        const UndoOp& op = *it;
        switch (op.kind) {
        case UndoOp::Kind::SetAttribute:
            setAttribute(op.object, op.index, op.before);
            break;
        case UndoOp::Kind::SetToOne:
            primSetToOne(op.object, op.index, op.other);
            break;
        case UndoOp::Kind::ManyInsert:
            primManyRemove(op.object, op.index, op.other);
            break;
        case UndoOp::Kind::ManyRemove:
            primManyInsert(op.object, op.index, op.other, op.position);
            break;
        case UndoOp::Kind::SetLive:
            primSetLive(op.object, !op.live);
            break;
        }
    }
}

void ContextPrivate::undoStep(bool undo)
{
    if (!undoManager || delivering || mode != UndoMode::None)
        return; // not from inside a change event
    UndoManagerPrivate* u = undoManager->d.get();
    // What is still pending becomes its own group first.
    processPendingChanges();
    auto& stack = undo ? u->undoStack : u->redoStack;
    if (stack.empty())
        return;
    UndoGroup group = std::move(stack.back());
    stack.pop_back();
    if (undo && u->willUndo) {
        std::vector<ManagedObject*> removed;
        for (const UndoOp& op : group) {
            if (op.kind == UndoOp::Kind::SetLive && op.live && !op.object->isDeleted() &&
                std::find(removed.begin(), removed.end(), op.object) == removed.end())
                removed.push_back(op.object);
        }
        if (!removed.empty())
            u->willUndo(removed);
    }
    mode = undo ? UndoMode::Undoing : UndoMode::Redoing;
    applyReverse(group);
    processPendingChanges();
    mode = UndoMode::None;
    const auto handler = undo ? u->didUndo : u->didRedo;
    if (handler)
        handler();
}

// ---------------------------------------------------------------------------------------------
// Context

Context::Context(const Model& model, Scheduler& scheduler)
    : d(std::make_unique<ContextPrivate>(this, model, scheduler))
{
    d->uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    setUndoManager(std::make_unique<UndoManager>());
}

Context::~Context() = default;

const Model& Context::model() const
{
    return d->model;
}

QString Context::path() const
{
    return d->path;
}

QString Context::storeUuid() const
{
    return d->uuid;
}

ManagedObject* Context::insert(const QString& entity)
{
    const int index = d->schema.entityByName.value(entity, -1);
    Q_ASSERT_X(index >= 0, "Context::insert", qPrintable(entity));
    if (index < 0)
        return nullptr;
    auto& store = d->stores[size_t(index)];
    ManagedObject* o = d->createObject(index, ++store.highWater);
    ContextPrivate::st(o).live = false;
    ContextPrivate::st(o).fresh = true;
    d->primSetLive(o, true);
    const auto& attributes = d->schema.entities[size_t(index)].desc->attributes();
    AttributeValues defaults;
    for (size_t a = 0; a < attributes.size(); ++a) {
        if (!isNullish(attributes[a].defaultValue))
            defaults.emplace_back(int(a), attributes[a].defaultValue);
    }
    d->setAttributes(o, defaults);
    o->awakeFromInsert();
    return o;
}

void Context::deleteObject(ManagedObject* object)
{
    if (!object)
        return;
    Q_ASSERT_X(object->m_context == this, "Context::deleteObject", "object of another context");
    if (object->m_context != this)
        return;
    d->deleteObject(object);
}

QStringList Context::distinctTexts(const QString& entity, const QString& key) const
{
    const int index = d->schema.entityByName.value(entity, -1);
    Q_ASSERT_X(index >= 0, "Context::distinctTexts", qPrintable(entity));
    if (index < 0)
        return {};
    const EntityInfo& e = d->schema.entities[size_t(index)];
    const int attr = e.desc->attributeIndex(key);
    Q_ASSERT_X(attr >= 0, "Context::distinctTexts", qPrintable(key));
    if (attr < 0)
        return {};
    const AttributeDescription& desc = e.desc->attributes()[size_t(attr)];
    const auto& objects = d->stores[size_t(index)].objects;
    if (desc.transient || desc.type != AttributeType::String) {
        QSet<QString> seen;
        for (const auto& o : objects) {
            if (!ContextPrivate::st(o.get()).live)
                continue;
            const QString text = d->attributeValue(o.get(), attr).toString();
            if (!text.isEmpty())
                seen.insert(text);
        }
        return {seen.begin(), seen.end()};
    }
    // Texts compared as their stored bytes: nothing is decoded until the end.
    constexpr size_t kAhead = 8;
    QSet<QByteArrayView> seen;
    for (size_t i = 0; i < objects.size(); ++i) {
        if (i + kAhead < objects.size())
            ContextPrivate::st(objects[i + kAhead].get()).values.prefetch();
        const ObjectState& s = ContextPrivate::st(objects[i].get());
        if (!s.live)
            continue;
        if (const Slot* slot = s.values.find(attr); slot && slot->len > 0)
            seen.insert(QByteArrayView(s.values.bytes(*slot), qsizetype(slot->len)));
    }
    QStringList texts;
    texts.reserve(seen.size());
    for (const QByteArrayView bytes : seen)
        texts.append(QString::fromUtf8(bytes));
    return texts;
}

std::vector<ManagedObject*> Context::objects(const QString& entity) const
{
    std::vector<ManagedObject*> result;
    const int index = d->schema.entityByName.value(entity, -1);
    Q_ASSERT_X(index >= 0, "Context::objects", qPrintable(entity));
    if (index < 0)
        return result;
    const auto& store = d->stores[size_t(index)];
    result.reserve(size_t(store.liveCount));
    for (const auto& o : store.objects) {
        if (ContextPrivate::st(o.get()).live)
            result.push_back(o.get());
    }
    return result;
}

std::vector<ManagedObject*> Context::fetch(const QString& entity,
                                           const std::function<bool(const ManagedObject*)>& predicate) const
{
    std::vector<ManagedObject*> result;
    const int index = d->schema.entityByName.value(entity, -1);
    Q_ASSERT_X(index >= 0, "Context::fetch", qPrintable(entity));
    if (index < 0)
        return result;
    for (const auto& o : d->stores[size_t(index)].objects) {
        if (ContextPrivate::st(o.get()).live && (!predicate || predicate(o.get())))
            result.push_back(o.get());
    }
    return result;
}

std::vector<ManagedObject*> Context::lookup(const QString& entity, const QString& key,
                                            const QVariant& value) const
{
    std::vector<ManagedObject*> result;
    const int index = d->schema.entityByName.value(entity, -1);
    Q_ASSERT_X(index >= 0, "Context::lookup", qPrintable(entity));
    if (index < 0)
        return result;
    const EntityInfo& e = d->schema.entities[size_t(index)];
    const int attr = e.desc->attributeIndex(key);
    Q_ASSERT_X(attr >= 0, "Context::lookup", qPrintable(key));
    if (attr < 0)
        return result;
    const AttributeDescription& desc = e.desc->attributes()[size_t(attr)];
    const auto& store = d->stores[size_t(index)];
    if (desc.transient) {
        for (const auto& o : store.objects) {
            if (ContextPrivate::st(o.get()).live && sameLooseValue(d->attributeValue(o.get(), attr), value))
                result.push_back(o.get());
        }
        return result;
    }
    const QVariant wanted = canonicalValue(desc.type, value);
    if (!wanted.isValid() && !isNullish(value))
        return result; // a value this attribute can never hold
    if (d->onDemand)
        d->readMatching(index, attr, wanted);
    const int slot = e.indexSlot[size_t(attr)];
    if (slot >= 0) {
        const auto candidates = d->builtIndex(index, slot).values(indexKey(desc.type, wanted));
        for (ManagedObject* o : candidates) {
            if (sameCanonical(desc.type, d->attributeValue(o, attr), wanted))
                result.push_back(o);
        }
        std::sort(result.begin(), result.end(), [](const ManagedObject* a, const ManagedObject* b) {
            return a->objectID() < b->objectID();
        });
        return result;
    }
    for (const auto& o : store.objects) {
        if (ContextPrivate::st(o.get()).live &&
            sameCanonical(desc.type, d->attributeValue(o.get(), attr), wanted))
            result.push_back(o.get());
    }
    return result;
}

ManagedObject* Context::lookupFirst(const QString& entity, const QString& key, const QVariant& value) const
{
    const auto found = lookup(entity, key, value);
    return found.empty() ? nullptr : found.front();
}

int Context::count(const QString& entity) const
{
    const int index = d->schema.entityByName.value(entity, -1);
    Q_ASSERT_X(index >= 0, "Context::count", qPrintable(entity));
    return index >= 0 ? d->stores[size_t(index)].liveCount : 0;
}

ManagedObject* Context::objectForURI(const QString& uri) const
{
    static const QString scheme = QStringLiteral("quadrivo-store://");
    if (!uri.startsWith(scheme))
        return nullptr;
    const QStringList parts = uri.mid(scheme.size()).split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[0].compare(d->uuid, Qt::CaseInsensitive) != 0 ||
        !parts[2].startsWith(QLatin1Char('p')))
        return nullptr;
    bool ok = false;
    const qint64 id = parts[2].mid(1).toLongLong(&ok);
    if (!ok)
        return nullptr;
    return objectWithID(parts[1], id);
}

ManagedObject* Context::objectWithID(const QString& entity, qint64 objectID) const
{
    const int index = d->schema.entityByName.value(entity, -1);
    if (index < 0)
        return nullptr;
    ManagedObject* o = d->onDemand ? d->readObject(index, objectID) : d->objectWithID(index, objectID);
    return o && ContextPrivate::st(o).live ? o : nullptr;
}

bool Context::hasChanges() const
{
    for (const LinkChange& change : d->linkChanges) {
        if (!change.cancelled)
            return true;
    }
    for (ManagedObject* o : d->saveSet) {
        const auto& s = ContextPrivate::st(o);
        if (s.live != s.inFile || (s.live && d->changedSinceSave(o, true)))
            return true;
    }
    return false;
}

void Context::processPendingChanges()
{
    d->processPendingChanges();
}

Context::ObserverId Context::addChangeObserver(ChangeObserver observer)
{
    const ObserverId id = d->nextObserverId++;
    d->observers.emplace_back(id, std::move(observer));
    return id;
}

void Context::removeChangeObserver(ObserverId id)
{
    auto& list = d->observers;
    list.erase(std::remove_if(list.begin(), list.end(), [id](const auto& e) { return e.first == id; }),
               list.end());
}

void Context::setBusyTimeout(int ms)
{
    d->busyTimeoutMs = ms;
    if (d->db)
        sqlite3_busy_timeout(d->db, ms);
}

UndoManager* Context::undoManager() const
{
    return d->undoManager.get();
}

Context::ObserverId Context::addUndoObserver(std::function<void()> observer)
{
    const ObserverId id = d->nextObserverId++;
    d->undoObservers.emplace_back(id, std::move(observer));
    return id;
}

void Context::removeUndoObserver(ObserverId id)
{
    auto& list = d->undoObservers;
    list.erase(std::remove_if(list.begin(), list.end(), [id](const auto& e) { return e.first == id; }),
               list.end());
}

void ChangeObservation::observe(Context* context, Context::ChangeObserver observer)
{
    if (context == m_context)
        return;
    stop();
    if (!context)
        return;
    m_context = context;
    m_id = context->addChangeObserver(std::move(observer));
}

void ChangeObservation::stop()
{
    if (m_context)
        m_context->removeChangeObserver(m_id);
    m_context = nullptr;
}

UndoPause::UndoPause(Context& context) : m_context(context), m_parked(context.takeUndoManager()) {}

UndoPause::~UndoPause()
{
    m_context.processPendingChanges();
    if (m_parked)
        m_context.setUndoManager(std::move(m_parked));
}

std::unique_ptr<UndoManager> Context::takeUndoManager()
{
    if (d->undoManager && !d->pendingOps.empty()) {
        // Recorded so far in the open event: still undoable as a group of its own.
        detail::UndoGroup group;
        group.swap(d->pendingOps);
        d->undoManager->d->pushUndo(std::move(group));
    }
    d->pendingOps.clear();
    if (!d->undoManager)
        return nullptr;
    d->undoManager->d->context = nullptr;
    std::unique_ptr<UndoManager> taken = std::move(d->undoManager);
    d->undoHistoryChanged();
    return taken;
}

void Context::setUndoManager(std::unique_ptr<UndoManager> manager)
{
    if (d->undoManager)
        d->undoManager->d->context = nullptr;
    d->pendingOps.clear();
    d->undoManager = std::move(manager);
    if (d->undoManager)
        d->undoManager->d->context = this;
    d->undoHistoryChanged();
}

} // namespace qv::store
