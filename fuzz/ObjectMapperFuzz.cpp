// Items and projects as the server sends them, mapped through the entities' tables into the
// engine's own store, then written back as an upload would send them.
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Scheduler.h"
#include "sync/RestObjectStore.h"
#include "sync/RestRecords.h"

#include <QJsonDocument>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QJsonObject reply = QJsonDocument::fromJson(fuzz::bytesOf(data, size)).object();
    const QJsonArray objects = listedObjects(reply);
    ManualScheduler scheduler;
    RestObjectStore store(scheduler, QString());
    ItemSet set;
    for (const QJsonValue& value : objects) {
        const QJsonObject object = value.toObject();
        const QJsonArray one{object};
        if (TODOItem* item = store.mapItem(object)) {
            fuzz::require(store.isWellFormed(one, TODOItem::staticEntityName()),
                          "only well-formed items are mapped");
            set.items.push_back(item);
            uploadBody(item, *TODOItem::inverseMapping());
        }
        if (TODOList* project = store.mapProject(object)) {
            fuzz::require(store.isWellFormed(one, TODOList::staticEntityName()),
                          "only well-formed projects are mapped");
            uploadBody(project, *TODOList::inverseMapping());
        }
    }
    set.body();
    scheduler.runPosted();
    return 0;
}
