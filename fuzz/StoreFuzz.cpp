// Store files: the document's store and the engine's "sync.sqlite" are opened at every start,
// whatever a crash, a full disk or another program left in them. Each input is a whole file:
// opened with the document's model, changed, and saved.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("store.sqlite"));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(fuzz::bytesOf(data, size));
    }
    ManualScheduler scheduler;
    store::StoreError error;
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
