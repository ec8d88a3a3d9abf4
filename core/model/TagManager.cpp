#include "core/model/TagManager.h"

#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/ModelLogging.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagServer.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"

#include <unordered_set>

namespace qv {

namespace {

TagManager* g_shared = nullptr;

template <class T> T* findOrMakeTag(const QString& entity, const QString& name, store::Context& context)
{
    const QString lower = name.toLower();
    if (T* tag = store::as<T>(context.lookupFirst(entity, QStringLiteral("name"), lower)))
        return tag;
    T* tag = context.insert<T>(entity);
    tag->setName(lower);
    return tag;
}

} // namespace

TagManager::TagManager(const store::Model& model, Scheduler& scheduler, TagServer* server)
    : m_scheduler(scheduler), m_server(server), m_context(std::make_unique<store::Context>(model, scheduler))
{
    if (!g_shared)
        g_shared = this;
}

TagManager::~TagManager()
{
    if (m_retryTimer)
        m_scheduler.cancel(m_retryTimer);
    if (g_shared == this)
        g_shared = nullptr;
}

TagManager* TagManager::sharedInstance()
{
    return g_shared;
}

ItemTag* TagManager::getItemTagForName(const QString& name, store::Context& context)
{
    return findOrMakeTag<ItemTag>(ItemTag::staticEntityName(), name, context);
}

ListTag* TagManager::getListTagForName(const QString& name, store::Context& context)
{
    return findOrMakeTag<ListTag>(ListTag::staticEntityName(), name, context);
}

ItemTag* TagManager::getItemTagForName(const QString& name, store::Context* context)
{
    return getItemTagForName(name, context ? *context : *m_context);
}

ListTag* TagManager::getListTagForName(const QString& name, store::Context* context)
{
    return getListTagForName(name, context ? *context : *m_context);
}

bool TagManager::existsListTagForName(const QString& name, store::Context& context)
{
    return context.lookup(ListTag::staticEntityName(), QStringLiteral("name"), name.toLower()).size() == 1;
}

bool TagManager::existsListTagForName(const QString& name, store::Context* context)
{
    return existsListTagForName(name, context ? *context : *m_context);
}

bool TagManager::itemHasTagName(const TODOItem* item, const QString& name)
{
    if (!item)
        return false;
    for (const ItemTag* tag : item->tags()) {
        if (tag->name() == name)
            return true;
    }
    return false;
}

bool TagManager::listHasTagName(const TODOList* list, const QString& name)
{
    if (!list)
        return false;
    for (const ListTag* tag : list->tags()) {
        if (tag->name() == name)
            return true;
    }
    return false;
}

void TagManager::addTagName(const QString& name, TODOItem* item)
{
    if (!item || !item->context())
        return;
    ItemTag* tag = getItemTagForName(name, *item->context());
    if (item->containsInMany(QStringLiteral("tags"), tag))
        return;
    item->addTagsObject(tag);
    send(item, {QStringLiteral("add"), name});
}

void TagManager::removeTagName(const QString& name, TODOItem* item)
{
    if (!item)
        return;
    const QString lower = name.toLower();
    for (ItemTag* tag : item->tags()) {
        if (tag->name() == lower)
            item->removeTagsObject(tag);
    }
    qCDebug(lcModel, "Removing '%s'", qUtf8Printable(redacted(name)));
    send(item, {QStringLiteral("remove"), name});
}

std::vector<TagManager::PendingOperation> TagManager::pendingOperations(const TODOItem* item) const
{
    std::vector<PendingOperation> out;
    for (const Pending& p : m_pending) {
        if (p.item == item)
            out.push_back(p.operation);
    }
    return out;
}

int TagManager::pendingCount() const
{
    return int(m_pending.size());
}

bool TagManager::callServer(TODOItem* item, const PendingOperation& operation)
{
    if (!m_server)
        return false;
    if (operation.action == QLatin1String("add"))
        return m_server->addTagName(operation.name, item, {}, {});
    return m_server->removeTagName(operation.name, item, {}, {});
}

void TagManager::send(TODOItem* item, const PendingOperation& operation)
{
    // An item with operations waiting must not have a later one overtake them.
    bool waiting = false;
    for (const Pending& p : m_pending)
        waiting = waiting || p.item == item;
    if (!waiting && callServer(item, operation))
        return;
    m_pending.push_back({item, operation});
    scheduleRetry();
}

void TagManager::scheduleRetry()
{
    if (m_retryTimer)
        return;
    m_retryTimer = m_scheduler.after(kRetryIntervalMs, [this] {
        m_retryTimer = 0;
        retry();
    });
}

void TagManager::retry()
{
    std::vector<Pending> queue = std::move(m_pending);
    m_pending.clear();
    std::vector<Pending> kept;
    std::unordered_set<const TODOItem*> blocked;
    for (Pending& p : queue) {
        if (p.item->isDeleted())
            continue;
        if (blocked.count(p.item) || !callServer(p.item, p.operation)) {
            blocked.insert(p.item);
            kept.push_back(std::move(p));
        }
    }
    // Operations queued while retrying come after the ones still waiting.
    kept.insert(kept.end(), std::make_move_iterator(m_pending.begin()),
                std::make_move_iterator(m_pending.end()));
    m_pending = std::move(kept);
    if (!m_pending.empty())
        scheduleRetry();
}

} // namespace qv
