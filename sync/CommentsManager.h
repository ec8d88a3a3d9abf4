#pragma once

#include "platform/Services.h"
#include "sync/SendFailure.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace qv {

class QVRestManager;

namespace store {
class ManagedObject;
}

// The comments of an item, of a project or of the whole account (no object), as the sync
// server renders them: ready-made HTML pages, never parsed here. The latest page of each object
// is kept in memory with the server's time stamp and comment count, with how many comments the
// user chose to see and when the object was last asked for, so that the same page is not fetched
// again within a minute. Objects other than items and projects are ignored. Main thread only.
class CommentsManager : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultLimit = 20;
    // How many comments a reply to a project's first comment holds.
    static constexpr int kProjectReplyLimit = 100;
    static constexpr qint64 kQueryHoldMs = 60'000;

    // The page; a null text when a reply to a comment held none.
    using PageSuccess = std::function<void(const QString& html)>;
    // No error: the call was refused (object not on the server, network unreachable).
    using Failure = std::function<void(const std::optional<QString>& error)>;

    // The engine must outlive the manager.
    CommentsManager(const Services& services, QVRestManager& engine, QObject* parent = nullptr);
    ~CommentsManager() override;

    // "/item/<id>/comments.html/", "/project/<id>/comments.html/", "/comment/html/" for no
    // object; empty for anything else. Relative to the API's base address, without a query.
    static QString getURLForObject(const store::ManagedObject* object);

    // Fetches the page of the last `days` days (0: of the chosen number of comments, 20 unless
    // chosen). False, without calling either callback, while offline or when the same page was
    // asked for less than a minute ago (unless forced); an object not yet on the server fails
    // with no error. Whatever the status, the reply's body is the page.
    bool retrieveHTMLCommentsForObject(const store::ManagedObject* object, int days, PageSuccess success,
                                       Failure failure, bool force);
    // Sends a comment of an item or a project; the reply page holds the comments shown so far
    // and the new one (a null text when the server took the comment and sent no page). The
    // server's refusal fails; a lost answer fails as one that may have arrived. The last query
    // time is left alone.
    void sendComment(const QString& text, const store::ManagedObject* object, int days, PageSuccess success,
                     SendFailed failure);

    // A null text without a page.
    QString getCachedCommentsForObject(const store::ManagedObject* object) const;
    qint64 numberOfCommentsForObject(const store::ManagedObject* object) const;
    qint64 timestampForObject(const store::ManagedObject* object) const;
    // 0 while none was chosen.
    qint64 getLimitOfCommentsForObject(const store::ManagedObject* object) const;
    void setLimitOfCommentsForObject(const store::ManagedObject* object, qint64 limit);

private:
    enum class Kind { Account, Item, Project, Other };
    struct Key {
        Kind kind = Kind::Other;
        qint64 id = 0;
        bool operator<(const Key& other) const
        {
            return kind != other.kind ? kind < other.kind : id < other.id;
        }
    };
    struct Page {
        QString html;
        qint64 timestamp = 0;
        int days = 0;
        qint64 numComments = 0;
    };
    static Key keyOf(const store::ManagedObject* object);
    static bool isOnServer(const store::ManagedObject* object);
    const Page* cached(const store::ManagedObject* object) const;
    void save(const Key& key, const Page& page);
    bool heldBack(const Key& key, int days) const;

    Services m_services;
    QVRestManager& m_engine;
    std::map<Key, Page> m_pages;
    std::map<Key, qint64> m_lastQueryMs; // on the monotonic clock
    std::map<Key, qint64> m_limits;
};

} // namespace qv
