#include "tests/core/model/EntityFixture.h"

#include "platform/rest/ObjectMapper.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qv::test {
namespace {

using rest::ObjectMapper;

QJsonObject parse(const char* text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document.object();
}

std::string show(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

// Beyond 2^53: a double would turn it into ...992.
constexpr qint64 kBigId = 9007199254740993;

const char* const kServerItem = R"({
    "id": 9007199254740993, "idd": 12345, "resource_uri": "/api/v1/item/9007199254740993/",
    "requested_time": 1700000000, "owner_username": "ann", "edited_by_username": "bob",
    "creator_username": "cy", "projects": ["/api/v1/project/31/"], "version_id": 4,
    "boxFolderID": "b1", "completed_by_username": null, "name": "Write report",
    "descriptionText": "plain", "descriptionRichText": null, "quadrant": 2, "index": 3000,
    "icon": "empty_orange128.png", "dueDate": 1700003600, "state": 0, "edited_since": 0,
    "timestamp": 1699999999, "completionPercentage": 40, "completionDate": null,
    "creationDate": 1690000000, "startDate": 1700000000, "effort": 3, "frequency": "Weekly",
    "untilDate": null, "childID": 0, "parentID": 0, "edited_by": "bob", "allDay": false,
    "editedByDevice": "abc", "owner": "/api/v1/user/3/", "macResourceURL": null,
    "copiedFromID": null, "lastModifiedTimestamp": 1699999998,
    "tags": [{"name": "work"}, {"name": "starred"}],
    "files": [{"id": 70, "filename": "a.pdf", "item": "/api/v1/item/9007199254740993/",
               "owner": "/api/v1/user/3/", "resource_uri": "/api/v1/file/70/", "size": 1024,
               "timestamp": 1699990000, "url": "https://files.invalid/70"}],
    "reminder": {"id": 500, "enabled": true, "notes": "call", "remind_all_followers": false,
                 "reminder_date": 1700000100, "repeat_after": 0, "timestamp": 1699000000}
})";

const char* const kServerProject = R"({
    "idd": 31, "resource_uri": "/api/v1/project/31/", "requested_time": 1700000000,
    "owners_count": 2, "edited_by_username": "bob", "version_id": 7, "notes": "n", "name": "P",
    "state": 0, "index": 4, "textFirstQuadrant": "Do Now", "textSecondQuadrant": "Do Later",
    "textThirdQuadrant": "Delegate", "textFourthQuadrant": "Postpone",
    "colorFirstQuadrant": "{1, 0, 0, 1}", "colorSecondQuadrant": "{0, 1, 0, 1}",
    "colorThirdQuadrant": "{0, 0, 1, 1}", "colorFourthQuadrant": "{0.5, 0.5, 0.5, 1}",
    "timestamp": 1699999999, "edited_by": "bob", "editedByDevice": "dev", "boxFolderID": null,
    "templateCreationDate": 1690000000.5, "tags": [{"name": "archived"}]
})";

using ItemMapping = EntityFixture;

TEST_F(ItemMapping, GivenServerRecord_WhenMapped_ThenEveryKeyLandsOnItsAttribute)
{
    store::ManagedObject* mapped = ObjectMapper::map(parse(kServerItem), context, *TODOItem::mapping());
    auto* item = store::as<TODOItem>(mapped);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->serverID(), kBigId);
    EXPECT_EQ(item->id_(), 12345);
    EXPECT_EQ(item->resourceURI(), QStringLiteral("/api/v1/item/9007199254740993/"));
    EXPECT_EQ(item->requestedTime(), 1700000000);
    EXPECT_EQ(item->ownerUsername(), QStringLiteral("ann"));
    EXPECT_EQ(item->editedByUsername(), QStringLiteral("bob"));
    EXPECT_EQ(item->creatorUsername(), QStringLiteral("cy"));
    EXPECT_EQ(item->projectURIs(), QStringList{QStringLiteral("/api/v1/project/31/")});
    EXPECT_EQ(item->getProjectID(), 31);
    EXPECT_EQ(item->versionID(), 4);
    EXPECT_TRUE(item->isNull(QStringLiteral("completedByUsername")));
    EXPECT_TRUE(item->isNull(QStringLiteral("descriptionRichText")));
    EXPECT_EQ(item->quadrant(), 2);
    EXPECT_EQ(item->dueDate(), QDateTime::fromSecsSinceEpoch(1700003600, QTimeZone::utc()));
    EXPECT_TRUE(item->isNull(QStringLiteral("completionDate")));
    EXPECT_EQ(item->frequency(), QStringLiteral("Weekly"));
    EXPECT_FALSE(item->allDay());
    EXPECT_EQ(item->lastModifiedTimestamp(), 1699999998);
    EXPECT_EQ(item->getTagNames(), (QStringList{QStringLiteral("starred"), QStringLiteral("work")}));
    EXPECT_TRUE(item->getStarred());

    ASSERT_EQ(item->files().size(), 1u);
    EXPECT_EQ(item->files().front()->idd(), 70);
    EXPECT_EQ(item->files().front()->item_uri(), QStringLiteral("/api/v1/item/9007199254740993/"));
    EXPECT_EQ(item->files().front()->size(), 1024);
    ASSERT_NE(item->reminder(), nullptr);
    EXPECT_EQ(item->reminder()->identifier(), 500);
    EXPECT_TRUE(item->reminder()->enabled());
    EXPECT_EQ(item->reminder()->reminder_date(), QDateTime::fromSecsSinceEpoch(1700000100, QTimeZone::utc()));
}

TEST_F(ItemMapping,
       GivenKnownRecordOrNullOrMissingKeys_WhenMappedAgain_ThenTheSameObjectsUpdateNullClearsMissingKeeps)
{
    ObjectMapper::map(parse(kServerItem), context, *TODOItem::mapping());
    QJsonObject again = parse(kServerItem);
    again.insert(QStringLiteral("name"), QStringLiteral("Renamed"));
    again.insert(QStringLiteral("tags"), QJsonArray{QJsonObject{{"name", "work"}}});
    auto* item = store::as<TODOItem>(ObjectMapper::map(again, context, *TODOItem::mapping()));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(context.count(TODOItem::staticEntityName()), 1);
    EXPECT_EQ(context.count(ItemTag::staticEntityName()), 2);
    EXPECT_EQ(context.count(ItemFile::staticEntityName()), 1);
    EXPECT_EQ(context.count(ItemReminder::staticEntityName()), 1);
    EXPECT_EQ(item->name(), QStringLiteral("Renamed"));
    EXPECT_EQ(item->getTagNames(), QStringList{QStringLiteral("work")});

    item = ItemBuilder("keep").withServerID(5).in(context);
    item->setDescriptionText(QStringLiteral("notes"));
    item->setReminder(newReminder(1));
    ObjectMapper::apply(parse(R"({"descriptionText": null, "reminder": null, "effort": "8"})"), item,
                        *TODOItem::mapping());
    EXPECT_EQ(item->name(), QStringLiteral("keep"));
    EXPECT_TRUE(item->isNull(QStringLiteral("descriptionText")));
    EXPECT_EQ(item->reminder(), nullptr);
    EXPECT_EQ(item->effort(), 8);
}

TEST_F(ItemMapping, GivenMappedItemInAProject_WhenSerializedForUpload_ThenTheUploadFormIsWritten)
{
    auto* project =
        store::as<TODOList>(ObjectMapper::map(parse(kServerProject), context, *TODOList::mapping()));
    auto* item = store::as<TODOItem>(ObjectMapper::map(parse(kServerItem), context, *TODOItem::mapping()));
    ASSERT_TRUE(project && item);
    item->setList(project);

    QJsonObject expectedProject = parse(kServerProject);
    // The upload form: what the server fills in itself stays out, and the project goes as a link.
    QJsonObject expected = parse(kServerItem);
    for (const char* serverOnly :
         {"edited_by_username", "creator_username", "timestamp", "lastModifiedTimestamp"})
        expected.remove(QLatin1String(serverOnly));
    expected.insert(QStringLiteral("projects"), QJsonValue::Null);
    QJsonObject want = expected;
    want.insert(QStringLiteral("projects"), expectedProject);

    const QJsonObject body = ObjectMapper::serialize(item, *TODOItem::inverseMapping());
    EXPECT_EQ(body, want) << show(body);
    EXPECT_EQ(body.value(QStringLiteral("id")).toInteger(), kBigId);

    item->setList(nullptr);
    EXPECT_TRUE(ObjectMapper::serialize(item, *TODOItem::inverseMapping())
                    .value(QStringLiteral("projects"))
                    .isNull());
}

using ProjectMapping = EntityFixture;

TEST_F(ProjectMapping, GivenServerRecord_WhenMappedAndSerialized_ThenUploadLeavesOutServerAndLocalOnlyKeys)
{
    auto* project =
        store::as<TODOList>(ObjectMapper::map(parse(kServerProject), context, *TODOList::mapping()));
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->id_(), 31);
    EXPECT_EQ(project->qv_notes(), QStringLiteral("n"));
    EXPECT_EQ(project->ownersCountCache(), 2);
    EXPECT_EQ(project->editedByUsername(), QStringLiteral("bob"));
    EXPECT_EQ(project->templateCreationDate(), 1690000000.5);
    EXPECT_EQ(project->getTagNames(), QStringList{QStringLiteral("archived")});

    QJsonObject want = parse(kServerProject);
    for (const char* key : {"owners_count", "timestamp", "edited_by_username"})
        want.remove(QString::fromLatin1(key));
    const QJsonObject body = ObjectMapper::serialize(project, *TODOList::inverseMapping());
    EXPECT_EQ(body, want) << show(body);

    project->setCenterX(10);
    project->setPassword(QStringLiteral("secret"));
    project->setLazyFetch(true);
    const QJsonObject local = ObjectMapper::serialize(project, *TODOList::inverseMapping());
    for (const char* key : {"centerX", "centerY", "lastItemIndex", "password", "lazyFetch", "edited_since",
                            "owner", "highlight", "contains"})
        EXPECT_FALSE(local.contains(QString::fromLatin1(key))) << key;
}

using ReminderMapping = EntityFixture;

TEST_F(ReminderMapping, GivenReminderOfAnItem_WhenSerialized_ThenItCarriesTheItemPathAndNoTimestamp)
{
    auto* reminder = store::as<ItemReminder>(
        ObjectMapper::map(parse(R"({"id": 500, "enabled": true, "notes": "call", "remind_all_followers": true,
                  "reminder_date": 1700000100, "repeat_after": 2, "timestamp": 1699000000})"),
                          context, *ItemReminder::mapping()));
    ASSERT_NE(reminder, nullptr);
    EXPECT_EQ(reminder->timestamp(), 1699000000);

    const char* const upload = R"({"id": 500, "enabled": true, "notes": "call", "remind_all_followers": true,
                                   "reminder_date": 1700000100, "repeat_after": 2, "item": null})";
    EXPECT_EQ(ObjectMapper::serialize(reminder, *ItemReminder::inverseMapping()), parse(upload));

    TODOItem* item = ItemBuilder("a").withServerID(8).in(context);
    item->setResourceURI(QStringLiteral("/api/v1/item/8/"));
    item->setReminder(reminder);
    QJsonObject want = parse(upload);
    want.insert(QStringLiteral("item"), QStringLiteral("/api/v1/item/8/"));
    EXPECT_EQ(ObjectMapper::serialize(reminder, *ItemReminder::inverseMapping()), want);
}

using FileMapping = EntityFixture;

TEST_F(FileMapping, GivenServerRecord_WhenMapped_ThenKeysLandOnTheirAttributes)
{
    auto* file = store::as<ItemFile>(ObjectMapper::map(
        parse(R"({"id": 70, "filename": "a.pdf", "item": "/api/v1/item/4/", "owner": "/api/v1/user/3/",
                  "resource_uri": "/api/v1/file/70/", "size": 1024, "timestamp": 1699990000,
                  "url": "https://files.invalid/70"})"),
        context, *ItemFile::mapping()));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->idd(), 70);
    EXPECT_EQ(file->item_uri(), QStringLiteral("/api/v1/item/4/"));
    EXPECT_EQ(file->owner_uri(), QStringLiteral("/api/v1/user/3/"));
    EXPECT_EQ(file->resource_uri(), QStringLiteral("/api/v1/file/70/"));
    EXPECT_EQ(file->size(), 1024);
    EXPECT_EQ(file->timestamp(), 1699990000);
    EXPECT_EQ(file->url(), QStringLiteral("https://files.invalid/70"));
}

} // namespace
} // namespace qv::test
