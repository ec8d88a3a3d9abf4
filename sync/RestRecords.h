#pragma once

#include "platform/rest/ObjectMapping.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace qv {

class TODOItem;

namespace rest {
struct Error;
}

namespace store {
class ManagedObject;
}

// The JSON body of an upload. The stored change flag stays set until the server has accepted
// the object, so the body says what the server's copy will be: in step.
QJsonObject uploadBody(const store::ManagedObject* object, const rest::ObjectMapping& mapping);

// The "objects" of a list reply; an element that is itself a list stands for its elements.
QJsonArray listedObjects(const QJsonObject& reply);

// The keep-alive record, read from "objects" of the "/rest_config/" reply.
struct RestConfig {
    bool isOnline = false;
    qint64 lastServerSecondsSince1970 = 0;
    std::optional<qint64> itemPollingInterval;
    std::optional<qint64> projectPollingInterval;

    // Seconds; 0 stands for the default period. A negative period would poll back to back and
    // reads as 0, a period beyond a day as a day.
    static constexpr qint64 kMaxPollingInterval = 24 * 60 * 60;
    static qint64 boundedPollingInterval(qint64 seconds);

    // nullopt unless json carries the server's clock ("requested_time"), and for a malformed
    // record (a number out of range); polling intervals are brought within bounds.
    static std::optional<RestConfig> fromJson(const QJsonObject& json);
};

// The paging block "meta" of list replies.
struct MetaPaginator {
    std::optional<qint64> limit;
    std::optional<qint64> offset;
    QString next;                                  // empty when no further page exists
    QString previous;                              // empty when no earlier page exists
    std::optional<qint64> secondsLastModification; // "requested_time": the polls' next cursor
    std::optional<qint64> secondsSince1970;        // "server_time"
    std::optional<qint64> totalCount;

    // nullopt for a malformed block: a count or an offset that is negative or beyond 2^53, a
    // time outside the years 1 to 9999, a number beyond 64 bits.
    static std::optional<MetaPaginator> fromJson(const QJsonObject& json);
    void copyFromPaginator(const MetaPaginator& other) { *this = other; }
    bool hasNext() const { return !next.isEmpty(); }
};

// The path of the page after the one a list reply described, for a list first asked for with
// firstPath: its "offset" and "limit" replaced by offset + limit and limit (the page's size when
// the reply gave no limit). Nothing when the reply names no further page or is not a list reply.
std::optional<QString> nextPagePath(const QString& firstPath, const QJsonObject& reply);

// Sends one GET of a list; exactly one of loaded and failed is called.
using PageRequest =
    std::function<void(const QString& path, std::function<void(const QJsonObject& reply)> loaded,
                       std::function<void(const rest::Error& error)> failed)>;
// Every page of a list, one request after the other from firstPath on: done with the objects of
// all pages, or failed with the error of the first request that failed.
void getAllPages(const QString& firstPath, const PageRequest& get,
                 std::function<void(const QJsonArray&)> done,
                 std::function<void(const rest::Error& error)> failed);

// The bulk-upload envelope: {"objects": [items]}.
struct ItemSet {
    std::vector<TODOItem*> items;

    // How each item is written into a bulk body: the upload form of an item, which already
    // leaves out "timestamp", "creator_username" and "edited_by_username".
    static rest::MappingPtr itemMapping();
    QJsonObject body() const;
};

// A push-token record; its routes are registered, nothing in this application sends one.
struct PushToken {
    QString token;
    QString deviceType;
    std::optional<qint64> timeZone;
    QString bundleIdentifier;

    QJsonObject toJson() const;
};

} // namespace qv
