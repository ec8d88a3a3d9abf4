// Store files: the document's store and the engine's "sync.sqlite" are opened at every start,
// whatever a crash, a full disk or another program left in them. Each input is a whole file:
// opened with the document's model (read on demand, as the engine reads its own, and whole),
// changed, and saved.
#include "core/model/TodoModel.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "platform/store/ManagedObject.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

using namespace qv;

namespace {

// The store's promise: a to-many relation holds each object once.
bool noRepeats(const store::Context& context)
{
    for (const auto& entity : context.model().entities()) {
        for (const store::ManagedObject* object : context.objects(entity->name())) {
            for (const store::RelationshipDescription& relationship : entity->relationships()) {
                if (!relationship.toMany)
                    continue;
                std::vector<store::ManagedObject*> members = object->toMany(relationship.name);
                std::sort(members.begin(), members.end());
                if (std::adjacent_find(members.begin(), members.end()) != members.end())
                    return false;
            }
        }
    }
    return true;
}

// Touches every entity: an insert (a new number), a change, a link and a deletion.
void change(store::Context& context)
{
    for (const auto& entity : context.model().entities()) {
        const std::vector<store::ManagedObject*> objects = context.objects(entity->name());
        store::ManagedObject* inserted = context.insert(entity->name());
        for (const store::RelationshipDescription& relationship : entity->relationships()) {
            const std::vector<store::ManagedObject*> others = context.objects(relationship.destination);
            if (others.empty())
                continue;
            if (relationship.toMany)
                inserted->addToMany(relationship.name, others.front());
            else
                inserted->setToOne(relationship.name, others.front());
        }
        if (objects.empty())
            continue;
        for (const store::AttributeDescription& attribute : entity->attributes()) {
            if (attribute.type == store::AttributeType::String && !attribute.transient) {
                objects.front()->setValue(attribute.name, QStringLiteral("changed"));
                break;
            }
        }
        context.deleteObject(objects.back());
    }
}

// The first objects of every entity, and all they relate to, read as the sync engine reads its
// own store: when asked for.
void readSome(store::Context& context)
{
    for (const auto& entity : context.model().entities()) {
        for (qint64 id = 1; id <= 16; ++id) {
            const store::ManagedObject* object = context.objectWithID(entity->name(), id);
            if (!object)
                continue;
            for (const store::RelationshipDescription& relationship : entity->relationships()) {
                if (relationship.toMany)
                    object->toMany(relationship.name);
            }
        }
    }
}

bool writeInput(const QString& path, const std::uint8_t* data, std::size_t size)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(fuzz::bytesOf(data, size)) == qint64(size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("store.sqlite"));
    ManualScheduler scheduler;
    store::StoreError error;
    if (!writeInput(path, data, size))
        return 0;
    if (std::unique_ptr<store::Context> lazy =
            store::Context::open(path, TodoModel::shared(), scheduler, &error,
                                 store::Context::IntegrityCheck::Run, store::Context::Loading::OnDemand)) {
        readSome(*lazy);
        fuzz::require(noRepeats(*lazy), "a relation read on demand holds each object once");
        change(*lazy);
        scheduler.runPosted();
        if (!lazy->save(&error))
            fuzz::require(!error.message.isEmpty(), "a failed save says why");
        lazy->releaseObjects();
        readSome(*lazy);
        fuzz::require(noRepeats(*lazy), "a relation read again holds each object once");
    }
    if (!writeInput(path, data, size))
        return 0;
    std::unique_ptr<store::Context> context =
        store::Context::open(path, TodoModel::shared(), scheduler, &error);
    if (!context) {
        fuzz::require(error.code != store::StoreError::Code::None && !error.message.isEmpty(),
                      "a refused store says why");
        return 0;
    }
    fuzz::require(noRepeats(*context), "a loaded relation holds each object once");
    change(*context);
    scheduler.runPosted();
    if (!context->save(&error))
        fuzz::require(!error.message.isEmpty(), "a failed save says why");
    context.reset();
    // What was saved opens again, unless it was damaged beyond what the quick check at open sees
    // (an index that lacks rows) and the save made that visible.
    if (!store::Context::open(path, TodoModel::shared(), scheduler, &error))
        fuzz::require(error.code == store::StoreError::Code::Corrupt, "a saved store opens again");
    return 0;
}
