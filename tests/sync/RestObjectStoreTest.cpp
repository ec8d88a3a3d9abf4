// The sync engine's own store "sync.sqlite": a cache of what the server sent.
#include "tests/sync/SyncFixture.h"

#include "core/model/ItemFile.h"
#include "sync/RestObjectStore.h"
#include "tests/support/TestData.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace qv::test {
namespace {

using DamagedCache = SyncFixture;

TEST_F(DamagedCache, GivenADamagedSyncCache_WhenTheEngineStarts_ThenItIsSetAsideAndFilledAgainFromTheServer)
{
    TODOList* project = startWithProject();
    const qint64 projectID = project->id_();
    device->quit();
    const QString cache = home.root() + QStringLiteral("/a/sync.sqlite");
    {
        QFile file(cache);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(100, char(0x5a)));
    }
    const QByteArray damaged = readFile(cache);

    start(*device);
    const qint64 remote =
        server.createItemAsOtherDevice({{"name", QStringLiteral("from the server")}}, projectID);
    tick(5'000);

    EXPECT_EQ(readFile(cache + QStringLiteral(".damaged")), damaged);
    EXPECT_NE(device->itemWithServerID(remote), nullptr);
    EXPECT_NE(TODOItem::findWithID(remote, device->sync().restStore().context()), nullptr);
    device->quit();
    EXPECT_EQ(QFileInfo(cache).permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    ManualScheduler reopenScheduler;
    store::StoreError error;
    auto reopened = store::Context::open(cache, TodoModel::shared(), reopenScheduler, &error);
    ASSERT_NE(reopened, nullptr) << error.message.toStdString();
    EXPECT_NE(TODOItem::findWithID(remote, *reopened), nullptr);
}

// A record whose project path holds a number beyond 64 bits is malformed: mapping it or reading
// it for a merge refuses it, as the check of a whole reply does, instead of taking it for an
// inbox item.
TEST(RestRecords, GivenAnItemWhoseProjectPathNamesNoProject_WhenMappedOrRead_ThenItIsRefusedLikeTheReply)
{
    ManualScheduler scheduler;
    RestObjectStore store(scheduler, QString());
    const auto record = [](const QString& projectPath) {
        return QJsonObject{{"id", 7}, {"idd", 70}, {"name", "x"}, {"projects", QJsonArray{projectPath}}};
    };
    for (const QJsonObject& beyond : {record(QStringLiteral("/api/v1/project/99999999999999999999/")),
                                      QJsonObject{{"projects", "/api/v1/project/99999999999999999999/"}}}) {
        EXPECT_FALSE(store.isWellFormed(QJsonArray{beyond}, TODOItem::staticEntityName()));
        EXPECT_EQ(store.mapItem(beyond), nullptr);
        EXPECT_FALSE(store.readItem(beyond).has_value());
    }
    EXPECT_TRUE(store.context().objects(TODOItem::staticEntityName()).empty());

    const QJsonObject named = record(QStringLiteral("/api/v1/project/12/"));
    EXPECT_TRUE(store.isWellFormed(QJsonArray{named}, TODOItem::staticEntityName()));
    const TODOItem* item = store.mapItem(named);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->getProjectID(), 12);
    EXPECT_EQ(store.readItem(named)->getProjectID(), 12);
}

// A record that lists no tags, files, reminder or project is read straight, not mapped. Its
// copy onto the local item takes the item's tags and attachments away and leaves no row in the
// store that belongs to no item.
TEST(RestRecords, GivenARecordWithNoTagsFilesReminderOrProject_WhenCopiedOntoAnItem_ThenNoRowIsLeftOwnerless)
{
    ManualScheduler scheduler;
    RestObjectStore cache(scheduler, QString());
    const QJsonObject record{{"id", 7},
                             {"idd", 70},
                             {"name", "from the server"},
                             {"tags", QJsonArray{}},
                             {"files", QJsonArray{}},
                             {"reminder", QJsonValue::Null},
                             {"projects", QJsonArray{}}};
    const std::optional<RemoteItem> remote = cache.readItem(record);
    ASSERT_TRUE(remote.has_value());
    EXPECT_TRUE(cache.context().objects(TODOItem::staticEntityName()).empty()) << "the record was mapped";

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("store.sqlite"));
    {
        store::StoreError error;
        auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
        ASSERT_NE(context, nullptr) << error.message.toStdString();
        TODOItem* local = ItemBuilder("here")
                              .withServerID(7)
                              .withId(70)
                              .taggedWith(QStringLiteral("work"))
                              .taggedWith(QStringLiteral("home"))
                              .withReminder(QStringLiteral("call back"))
                              .in(*context);
        ItemBuilder("other").withServerID(8).taggedWith(QStringLiteral("work")).in(*context);
        for (const qint64 idd : {71, 72}) {
            auto* file = context->insert<ItemFile>(ItemFile::staticEntityName());
            file->setIdd(idd);
            file->setFilename(QStringLiteral("plan %1.pdf").arg(idd));
            file->setItem(local);
        }
        ASSERT_TRUE(context->save(&error)) << error.message.toStdString();

        remote->copyTo(local, {});
        EXPECT_EQ(local->name(), QStringLiteral("from the server"));
        EXPECT_TRUE(local->tags().empty());
        EXPECT_TRUE(local->files().empty());
        ASSERT_TRUE(context->save(&error)) << error.message.toStdString();
    }

    // As the next start reads the file: every attachment, reminder and tag link has its item.
    store::StoreError error;
    auto reopened = store::Context::open(path, TodoModel::shared(), scheduler, &error);
    ASSERT_NE(reopened, nullptr) << error.message.toStdString();
    EXPECT_EQ(reopened->count(ItemFile::staticEntityName()), 0);
    for (store::ManagedObject* object : reopened->objects(ItemReminder::staticEntityName()))
        EXPECT_NE(static_cast<ItemReminder*>(object)->item(), nullptr);
    QStringList links;
    for (store::ManagedObject* object : reopened->objects(ItemTag::staticEntityName())) {
        const auto* tag = static_cast<ItemTag*>(object);
        for (const TODOItem* item : tag->items()) {
            ASSERT_NE(item, nullptr) << tag->name().toStdString();
            links << item->name() + u':' + tag->name();
        }
    }
    EXPECT_EQ(links, QStringList{QStringLiteral("other:work")});
    EXPECT_TRUE(TODOItem::findWithID(7, *reopened)->getTagNames().isEmpty());
}

// A cache of 1,000 items as an earlier run saved it, read with every object loaded (as the
// engine read it before, and as a check of what the file holds).
class CacheOnDisk : public ::testing::Test {
protected:
    static constexpr int kItems = 1000;

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        auto context = openLoadingAll();
        ASSERT_NE(context, nullptr);
        for (int i = 1; i <= kItems; ++i) {
            ItemBuilder item(QStringLiteral("item %1").arg(i));
            item.withServerID(i).withId(10'000 + i);
            if (i >= 7 && i <= 9)
                item.taggedWith(QStringLiteral("work"));
            if (i == 7)
                item.withReminder(QStringLiteral("call back"));
            TODOItem* made = item.in(*context);
            if (i == 7) {
                auto* file = context->insert<ItemFile>(ItemFile::staticEntityName());
                file->setIdd(70);
                file->setFilename(QStringLiteral("plan.pdf"));
                file->setItem(made);
            }
        }
        ASSERT_TRUE(context->save());
    }

    std::unique_ptr<store::Context> openLoadingAll()
    {
        store::StoreError error;
        auto context = store::Context::open(path(), TodoModel::shared(), scheduler, &error);
        EXPECT_NE(context, nullptr) << error.message.toStdString();
        return context;
    }
    QString path() const { return folder.filePath(QStringLiteral("sync.sqlite")); }
    static int countOf(store::Context& context, const QString& entity) { return context.count(entity); }
    static QJsonObject reply(qint64 serverID, const QString& name)
    {
        return {{"id", serverID}, {"name", name}, {"projects", QJsonArray{"/api/v1/project/3/"}}};
    }

    QTemporaryDir folder;
    ManualScheduler scheduler;
};

TEST_F(CacheOnDisk,
       GivenACacheOfManyItems_WhenOpened_ThenNoneIsReadUntilAReplyNamesOne_AndThatOneIsUpdatedInPlace)
{
    qint64 objectID = 0;
    {
        RestObjectStore cache(scheduler, path());
        store::Context& context = cache.context();
        EXPECT_EQ(countOf(context, TODOItem::staticEntityName()), 0);

        // Keys the reply leaves out keep what the file holds: tags, files, reminder, values.
        TODOItem* item = cache.mapItem(reply(7, QStringLiteral("renamed")));
        ASSERT_NE(item, nullptr);
        EXPECT_FALSE(item->isInserted());
        EXPECT_EQ(item->name(), QStringLiteral("renamed"));
        EXPECT_EQ(item->id_(), 10'007);
        EXPECT_EQ(item->getTagNames(), QStringList{QStringLiteral("work")});
        ASSERT_NE(item->reminder(), nullptr);
        EXPECT_EQ(item->reminder()->notes(), QStringLiteral("call back"));
        ASSERT_EQ(item->files().size(), 1U);
        EXPECT_EQ(item->files().front()->filename(), QStringLiteral("plan.pdf"));
        objectID = item->objectID();
        // Reading the shared tag reads none of the other items it holds.
        EXPECT_EQ(countOf(context, TODOItem::staticEntityName()), 1);

        // A reply that empties them: the tag of the item not read stays in the file.
        QJsonObject emptied = reply(7, QStringLiteral("renamed"));
        emptied.insert("tags", QJsonArray{});
        emptied.insert("files", QJsonArray{});
        EXPECT_EQ(cache.mapItem(emptied), item);
        EXPECT_TRUE(item->getTagNames().isEmpty());
        EXPECT_TRUE(item->files().empty());
        // An item read after its tag was: its link is known, and goes.
        QJsonObject untagged = reply(8, QStringLiteral("item 8"));
        untagged.insert("tags", QJsonArray{});
        ASSERT_NE(cache.mapItem(untagged), nullptr);
        EXPECT_TRUE(cache.mapItem(reply(5000, QStringLiteral("new")))->isInserted());
        ASSERT_TRUE(cache.save());

        // What is saved is forgotten, but while a merge holds it, and read again when named.
        std::shared_ptr<const void> hold = cache.hold();
        cache.releaseObjects();
        EXPECT_EQ(countOf(context, TODOItem::staticEntityName()), 3);
        hold.reset();
        cache.releaseObjects();
        EXPECT_EQ(countOf(context, TODOItem::staticEntityName()), 0);
        TODOItem* again = cache.mapItem(reply(7, QStringLiteral("renamed twice")));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->objectID(), objectID);
        EXPECT_TRUE(again->getTagNames().isEmpty());
        ASSERT_TRUE(cache.save());
    }

    // The file holds one copy of each server object, as a store loading all of it reads it.
    auto reopened = openLoadingAll();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(countOf(*reopened, TODOItem::staticEntityName()), kItems + 1);
    const auto copies = reopened->lookup(TODOItem::staticEntityName(), QStringLiteral("serverID"), 7);
    ASSERT_EQ(copies.size(), 1U);
    auto* item = static_cast<TODOItem*>(copies.front());
    EXPECT_EQ(item->objectID(), objectID);
    EXPECT_EQ(item->name(), QStringLiteral("renamed twice"));
    EXPECT_TRUE(item->getTagNames().isEmpty());
    EXPECT_TRUE(item->files().empty());
    EXPECT_TRUE(TODOItem::findWithID(8, *reopened)->getTagNames().isEmpty());
    EXPECT_EQ(TODOItem::findWithID(9, *reopened)->getTagNames(), QStringList{QStringLiteral("work")});
    EXPECT_EQ(reopened->lookup(TODOItem::staticEntityName(), QStringLiteral("serverID"), 5000).size(), 1U);
}

TEST_F(CacheOnDisk, GivenAnItemOfTheFile_WhenDeleted_ThenWhatItOwnsGoesWithIt_AndItemsNotReadKeepTheirTags)
{
    {
        RestObjectStore cache(scheduler, path());
        TODOItem* item = TODOItem::findWithID(7, cache.context());
        ASSERT_NE(item, nullptr);
        cache.context().deleteObject(item);
        ASSERT_TRUE(cache.save());
    }
    auto reopened = openLoadingAll();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(TODOItem::findWithID(7, *reopened), nullptr);
    EXPECT_EQ(countOf(*reopened, ItemFile::staticEntityName()), 0);
    EXPECT_EQ(countOf(*reopened, ItemReminder::staticEntityName()), 0);
    EXPECT_EQ(TODOItem::findWithID(8, *reopened)->getTagNames(), QStringList{QStringLiteral("work")});
}

using CacheAtStart = SyncFixture;

TEST_F(CacheAtStart,
       GivenACacheOfManyItems_WhenTheEngineStartsAndPolls_ThenItReadsWhatRepliesName_AndForgetsItWhenIdle)
{
    const qint64 projectID = startWithProject()->id_();
    device->quit();
    {
        ManualScheduler fill;
        store::StoreError error;
        auto context = store::Context::open(home.root() + QStringLiteral("/a/sync.sqlite"),
                                            TodoModel::shared(), fill, &error);
        ASSERT_NE(context, nullptr) << error.message.toStdString();
        for (int i = 1; i <= 1000; ++i)
            ItemBuilder(QStringLiteral("cached %1").arg(i)).withServerID(100'000 + i).in(*context);
        ASSERT_TRUE(context->save());
    }

    start(*device);
    const qint64 remote =
        server.createItemAsOtherDevice({{"name", QStringLiteral("from the server")}}, projectID);
    tick(5'000);
    ASSERT_NE(device->itemWithServerID(remote), nullptr);
    store::Context& cache = device->sync().restStore().context();
    EXPECT_LT(cache.count(TODOItem::staticEntityName()), 10);

    // Saved at a keep-alive with no reply awaited, and forgotten; read again when named.
    for (int i = 0; i < 3 && cache.count(TODOItem::staticEntityName()) > 0; ++i)
        tick(QVRestManager::kKeepAliveIntervalMs);
    EXPECT_EQ(cache.count(TODOItem::staticEntityName()), 0);
    EXPECT_NE(TODOItem::findWithID(remote, cache), nullptr);
    EXPECT_NE(TODOItem::findWithID(100'500, cache), nullptr);
}

} // namespace
} // namespace qv::test
