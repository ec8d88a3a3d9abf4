#include "tests/core/model/EntityFixture.h"

#include "core/model/StatusEntities.h"
#include "core/model/TagManager.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <sqlite3.h>

namespace qv::test {
namespace {

TEST(TodoModelShape, GivenTheModel_WhenRead_ThenEveryRelationshipHasItsInverse)
{
    const store::Model& model = TodoModel::shared();
    for (const auto& entity : model.entities()) {
        for (const store::RelationshipDescription& r : entity->relationships()) {
            const store::EntityDescription* destination = model.entity(r.destination);
            ASSERT_NE(destination, nullptr) << r.destination.toStdString();
            const int inverse = destination->relationshipIndex(r.inverse);
            ASSERT_GE(inverse, 0) << entity->name().toStdString() << "." << r.name.toStdString();
            EXPECT_EQ(destination->relationships()[size_t(inverse)].inverse, r.name);
        }
    }
}

TEST(TodoModelStore, GivenSavedObjects_WhenTheFileIsReopened_ThenValuesAndRelationshipsComeBack)
{
    TempHome home;
    FakeClock clock;
    ManualScheduler scheduler(&clock);
    const QString path = home.root() + QStringLiteral("/tasks.sqlite");
    {
        store::StoreError error;
        auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
        ASSERT_NE(context, nullptr) << error.message.toStdString();
        TODOItem* item = ItemBuilder("I")
                             .withServerID(9007199254740993)
                             .atIndex(3000)
                             .due(QDateTime::fromSecsSinceEpoch(1700003600, QTimeZone::utc()))
                             .taggedWith("starred")
                             .in(ProjectBuilder(*context, "P").withId(31));
        auto* reminder = context->insert<ItemReminder>(ItemReminder::staticEntityName());
        reminder->setIdentifier(5);
        item->setReminder(reminder);
        auto* status = context->insert<InstantSyncStatus>(InstantSyncStatus::staticEntityName());
        status->setEmail(QStringLiteral("a@b.example"));
        status->setLastServerPollingDate(QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc()));
        auto* avatar = context->insert<Avatar>(Avatar::staticEntityName());
        avatar->setQv_email(QStringLiteral("a@b.example"));
        avatar->setQv_coded_image(QByteArray("\x00\x01\x02", 3));
        ASSERT_TRUE(context->save(&error)) << error.message.toStdString();
    }
    store::StoreError error;
    auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
    ASSERT_NE(context, nullptr) << error.message.toStdString();
    TODOItem* item = TODOItem::findWithID(9007199254740993, *context);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->index(), 3000);
    EXPECT_EQ(item->dueDate(), QDateTime::fromSecsSinceEpoch(1700003600, QTimeZone::utc()));
    ASSERT_NE(item->list(), nullptr);
    EXPECT_EQ(item->list()->id_(), 31);
    EXPECT_EQ(item->list()->centerX(), 50.0);
    EXPECT_TRUE(item->getStarred());
    ASSERT_NE(item->reminder(), nullptr);
    EXPECT_EQ(item->reminder()->identifier(), 5);
    auto* status = store::as<InstantSyncStatus>(context->lookupFirst(
        InstantSyncStatus::staticEntityName(), QStringLiteral("email"), QStringLiteral("a@b.example")));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->lastServerPollingDate(), QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc()));
    EXPECT_TRUE(status->isNull(QStringLiteral("lastItemPollingDate")));
    auto* avatar = store::as<Avatar>(context->objects(Avatar::staticEntityName()).front());
    EXPECT_EQ(avatar->qv_coded_image(), QByteArray("\x00\x01\x02", 3));
}

TEST(TodoModelStore, GivenAStoreOfTheSchemaBefore_WhenOpened_ThenItIsUpgradedKeepingWhatItHeld)
{
    TempHome home;
    FakeClock clock;
    ManualScheduler scheduler(&clock);
    const QString path = home.root() + QStringLiteral("/tasks.sqlite");
    const QDateTime cursor = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    const auto open = [&] {
        store::StoreError error;
        auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
        EXPECT_NE(context, nullptr) << error.message.toStdString();
        return context;
    };
    const auto status = [](store::Context& context) {
        return store::as<InstantSyncStatus>(context.objects(InstantSyncStatus::staticEntityName()).front());
    };
    {
        auto context = open();
        ASSERT_NE(context, nullptr);
        auto* created = context->insert<InstantSyncStatus>(InstantSyncStatus::staticEntityName());
        created->setEmail(QStringLiteral("a@b.example"));
        created->setLastProjectPollingDate(cursor);
        ASSERT_TRUE(context->save());
    }
    // What version 1 wrote: the same file without the list of projects to download.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "ALTER TABLE \"InstantSyncStatus\" DROP COLUMN \"projectsToDownload\";"
                           "PRAGMA user_version = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    {
        auto context = open();
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(status(*context)->lastProjectPollingDate(), cursor);
        EXPECT_TRUE(status(*context)->projectsToDownload().isEmpty());
        status(*context)->setProjectsToDownload({9007199254740993, 5});
        ASSERT_TRUE(context->save());
    }
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_stmt* version = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(version, 0), TodoModel::kVersion);
    sqlite3_finalize(version);
    sqlite3_close(db);
    auto context = open();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(status(*context)->projectsToDownload(), (QList<qint64>{9007199254740993, 5}));
    EXPECT_EQ(status(*context)->lastProjectPollingDate(), cursor);
}

} // namespace
} // namespace qv::test
