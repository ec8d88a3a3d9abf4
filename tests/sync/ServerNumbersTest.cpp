// Numbers in replies that no field can hold, and polling periods that make no sense: refused or
// bounded where they arrive, never converted with undefined behaviour.
#include "tests/sync/SyncFixture.h"

#include <limits>

namespace qv::test {
namespace {

constexpr qint64 kLargest = std::numeric_limits<qint64>::max();

class ServerNumbers : public SyncFixture {
protected:
    // Routes GET path to whatever *reply holds when the request comes.
    std::shared_ptr<QJsonObject> answer(const QString& path)
    {
        auto reply = std::make_shared<QJsonObject>();
        server.addRoute("GET", path, [reply](const HttpRequest&) { return HttpResponse::json(*reply); });
        return reply;
    }
};

TEST_F(ServerNumbers, GivenPollingPeriodsOutOfBounds_WhenTheKeepAliveAnswers_ThenTheLoopsPollAtSanePeriods)
{
    server.setPollingIntervals(-5, 100'000'000);
    start(*device);
    EXPECT_EQ(device->sync().itemPollingInterval(), 0); // the default period
    EXPECT_EQ(device->sync().projectPollingInterval(), RestConfig::kMaxPollingInterval);
    EXPECT_EQ(device->preferences.int64Value(QStringLiteral("item_polling_interval")), 0);

    const int polls = count("GET", QStringLiteral("/api/v1/item/"));
    tick(10'000);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/item/")) - polls, 2);
}

TEST_F(ServerNumbers, GivenAServerClockNoDateCanHold_WhenTheKeepAliveAnswers_ThenTheReplyIsRefused)
{
    const auto reply = answer(QStringLiteral("/api/v1/rest_config/"));
    const auto config = [&](const QJsonValue& requested) {
        *reply = QJsonObject{
            {"objects", QJsonArray{QJsonObject{{"requested_time", requested}, {"is_online", true}}}}};
    };
    config(kLargest);
    device->open();
    device->sync().startAllLoops();
    for (const QJsonValue& requested : {QJsonValue(kLargest), QJsonValue(1e300), QJsonValue(-1e300),
                                        QJsonValue(QStringLiteral("99999999999999999999"))}) {
        config(requested);
        tick(QVRestManager::kKeepAliveIntervalMs);
        EXPECT_FALSE(device->sync().getServerSecondsSince1970())
            << requested.toVariant().toString().toStdString();
    }
    config(1'700'000'000);
    tick(QVRestManager::kKeepAliveIntervalMs);
    EXPECT_EQ(device->sync().getServerSecondsSince1970(), 1'700'000'000);
}

TEST_F(ServerNumbers, GivenAPollReplyWithANumberNoFieldCanHold_ThenNothingOfItIsAppliedAndTheCursorStays)
{
    start(*device);
    const auto reply = answer(QStringLiteral("/api/v1/item/"));
    InstantSyncStatus* status = device->sync().getInstantSyncStatus();
    ASSERT_NE(status, nullptr);
    const QDateTime cursor = status->lastItemPollingDate();

    const QJsonObject good{{"id", 500},
                           {"idd", 9},
                           {"name", "from elsewhere"},
                           {"state", 0},
                           {"editedByDevice", FakeSyncServer::kOtherDevice}};
    const QJsonObject meta{
        {"limit", 100}, {"offset", 0}, {"total_count", 2}, {"requested_time", server.now()}};
    const auto with = [](QJsonObject object, const char* key, const QJsonValue& value) {
        object.insert(QLatin1String(key), value);
        return object;
    };
    struct Case {
        const char* what;
        QJsonObject meta;
        QJsonObject other;
    };
    const QJsonObject listed = with(good, "id", 501);
    const std::vector<Case> cases{
        {"an id beyond 64 bits", meta, with(listed, "id", 1e300)},
        {"an id beyond 64 bits, as text", meta, with(listed, "id", "99999999999999999999")},
        {"an id_ beyond 64 bits", meta, with(listed, "idd", -1e19)},
        {"a project path beyond 64 bits", meta,
         with(listed, "projects", QJsonArray{"/api/v1/project/99999999999999999999/"})},
        {"a date beyond 64 bits", meta, with(listed, "dueDate", 1e300)},
        {"a date after the year 9999", meta, with(listed, "creationDate", kLargest)},
        {"an offset that overflows the next page's",
         with(with(meta, "offset", kLargest), "next", "/item/?offset=1"), listed},
        {"a count beyond 64 bits", with(meta, "total_count", "99999999999999999999"), listed},
        {"a negative count", with(meta, "limit", -100), listed},
        {"a cursor at the end of time", with(meta, "requested_time", kLargest), listed},
    };
    for (const Case& c : cases) {
        *reply = QJsonObject{{"meta", c.meta}, {"objects", QJsonArray{good, c.other}}};
        tick(5'000);
        EXPECT_EQ(device->itemWithServerID(500), nullptr) << c.what;
        EXPECT_EQ(status->lastItemPollingDate(), cursor) << c.what;
    }
    *reply = QJsonObject{{"meta", meta}, {"objects", QJsonArray{good, listed}}};
    tick(5'000);
    EXPECT_NE(device->itemWithServerID(500), nullptr);
}

} // namespace
} // namespace qv::test
