#include "tests/core/model/EntityFixture.h"

#include "core/model/StatusEntities.h"
#include "core/model/TagManager.h"
#include "tests/support/TestEnvironment.h"

namespace qv::test {
namespace {

TEST(TodoModelShape, GivenTheModel_WhenRead_ThenLookupKeysAreIndexedAndRelationshipsPaired)
{
    const store::Model& model = TodoModel::shared();
    auto indexed = [&](const char* entity, const char* attribute) {
        const store::EntityDescription* e = model.entity(QString::fromLatin1(entity));
        const int i = e ? e->attributeIndex(QString::fromLatin1(attribute)) : -1;
        return i >= 0 && e->attributes()[size_t(i)].indexed;
    };
    EXPECT_TRUE(indexed("TODOItem", "serverID"));
    EXPECT_TRUE(indexed("TODOItem", "id_"));
    EXPECT_TRUE(indexed("TODOList", "id_"));
    EXPECT_TRUE(indexed("ItemReminder", "identifier"));
    EXPECT_TRUE(indexed("ItemFile", "idd"));
    EXPECT_TRUE(indexed("ItemTag", "name"));
    EXPECT_TRUE(indexed("ListTag", "name"));
    EXPECT_TRUE(indexed("InstantSyncStatus", "email"));
    EXPECT_TRUE(indexed("CurrentUser", "email"));
    EXPECT_TRUE(indexed("CollaborationStatus", "email"));

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
        auto* project = context->insert<TODOList>(TODOList::staticEntityName());
        project->setName(QStringLiteral("P"));
        project->setId_(31);
        auto* item = context->insert<TODOItem>(TODOItem::staticEntityName());
        item->setName(QStringLiteral("I"));
        item->setServerID(9007199254740993);
        item->setIndex(3000);
        item->setDueDate(QDateTime::fromSecsSinceEpoch(1700003600, QTimeZone::utc()));
        item->setList(project);
        item->addTagsObject(TagManager::getItemTagForName(QStringLiteral("starred"), *context));
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

} // namespace
} // namespace qv::test
