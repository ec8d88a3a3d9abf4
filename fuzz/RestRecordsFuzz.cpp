// The records of server replies the engine reads itself: the keep-alive configuration and the
// paging block of list replies.
#include "fuzz/FuzzSupport.h"
#include "sync/RestRecords.h"

#include <QJsonDocument>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QJsonObject reply = QJsonDocument::fromJson(fuzz::bytesOf(data, size)).object();
    const QJsonArray objects = listedObjects(reply);
    if (!objects.isEmpty()) {
        if (const std::optional<RestConfig> config = RestConfig::fromJson(objects.first().toObject())) {
            for (const std::optional<qint64>& interval :
                 {config->itemPollingInterval, config->projectPollingInterval})
                fuzz::require(!interval || (*interval >= 0 && *interval <= RestConfig::kMaxPollingInterval),
                              "polling intervals are within bounds");
        }
    }
    if (const std::optional<MetaPaginator> meta = MetaPaginator::fromJson(reply.value("meta").toObject())) {
        // The next page's offset, as the poll computes it.
        fuzz::require(meta->offset.value_or(0) >= 0 && meta->limit.value_or(0) >= 0,
                      "counts are not negative");
        [[maybe_unused]] const qint64 next = meta->offset.value_or(0) + meta->limit.value_or(0);
    }
    return 0;
}
