#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace qv {

class ItemTag;
class ListTag;
class Scheduler;
class TagServer;
class TODOItem;
class TODOList;

namespace store {
class Context;
class Model;
class ManagedObject;
} // namespace store

// The tag service: finds or makes item and project tags by name, and adds or removes item
// tags locally and on the server. A server operation that is refused is kept and retried,
// in order per item, on the service's own 20 s timer.
class TagManager {
public:
    static constexpr qint64 kRetryIntervalMs = 20000;

    struct PendingOperation {
        QString action; // "add" or "remove"
        QString name;
    };

    // The first instance alive is the shared one until it is destroyed. server may be set later.
    TagManager(const store::Model& model, Scheduler& scheduler, TagServer* server = nullptr);
    ~TagManager();
    TagManager(const TagManager&) = delete;
    TagManager& operator=(const TagManager&) = delete;

    static TagManager* sharedInstance();

    void setTagServer(TagServer* server) { m_server = server; }
    // The service's own object context, used wherever a context argument is nullptr.
    store::Context& context() { return *m_context; }

    // Lowercases name; the first tag of that name in context, or a new one inserted there.
    // Never nullptr, never saves.
    ItemTag* getItemTagForName(const QString& name, store::Context* context);
    ListTag* getListTagForName(const QString& name, store::Context* context);
    // The same in a given context; needs no instance.
    static ItemTag* getItemTagForName(const QString& name, store::Context& context);
    static ListTag* getListTagForName(const QString& name, store::Context& context);
    // Exactly one project tag with the lowercased name exists in context; makes nothing.
    bool existsListTagForName(const QString& name, store::Context* context);
    static bool existsListTagForName(const QString& name, store::Context& context);

    // Exact comparison with the tags' names; false without tags.
    static bool itemHasTagName(const TODOItem* item, const QString& name);
    static bool listHasTagName(const TODOList* list, const QString& name);

    // Adds the tag to the item (in the item's context) when it lacks it, then tells the server.
    void addTagName(const QString& name, TODOItem* item);
    // Removes the tag of that name from the item, logs "Removing '<name>'", tells the server.
    void removeTagName(const QString& name, TODOItem* item);

    // Operations waiting for a retry, oldest first.
    std::vector<PendingOperation> pendingOperations(const TODOItem* item) const;
    int pendingCount() const;

private:
    struct Pending {
        TODOItem* item;
        PendingOperation operation;
    };
    void send(TODOItem* item, const PendingOperation& operation);
    bool callServer(TODOItem* item, const PendingOperation& operation);
    void scheduleRetry();
    void retry();

    Scheduler& m_scheduler;
    TagServer* m_server = nullptr;
    std::unique_ptr<store::Context> m_context;
    std::vector<Pending> m_pending;
    quint64 m_retryTimer = 0;
};

} // namespace qv
