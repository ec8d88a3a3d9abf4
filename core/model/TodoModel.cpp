#include "core/model/TodoModel.h"

#include "core/model/ItemFile.h"
#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"

namespace qv {

namespace {

using store::AttributeType;
using store::DeleteRule;
using store::EntityDescription;

template <class T> EntityDescription::Factory factory()
{
    return [] {
        return std::unique_ptr<store::ManagedObject>(new T());
    };
}

EntityDescription itemEntity()
{
    EntityDescription e(TODOItem::staticEntityName(), factory<TODOItem>());
    e.indexedAttribute(QStringLiteral("id_"), AttributeType::Integer)
        .indexedAttribute(QStringLiteral("serverID"), AttributeType::Integer)
        .attribute(QStringLiteral("name"), AttributeType::String)
        .attribute(QStringLiteral("descriptionText"), AttributeType::String)
        .attribute(QStringLiteral("descriptionRichText"), AttributeType::String)
        .attribute(QStringLiteral("quadrant"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("index"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("icon"), AttributeType::String)
        .attribute(QStringLiteral("state"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("edited_since"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("timestamp"), AttributeType::Integer)
        .attribute(QStringLiteral("versionID"), AttributeType::Integer)
        .attribute(QStringLiteral("requestedTime"), AttributeType::Integer)
        .attribute(QStringLiteral("lastModifiedTimestamp"), AttributeType::Integer)
        .attribute(QStringLiteral("editedByDevice"), AttributeType::String)
        .attribute(QStringLiteral("edited_by"), AttributeType::String)
        .attribute(QStringLiteral("editedByUsername"), AttributeType::String)
        .attribute(QStringLiteral("creatorUsername"), AttributeType::String)
        .attribute(QStringLiteral("ownerUsername"), AttributeType::String)
        .attribute(QStringLiteral("completedByUsername"), AttributeType::String)
        .attribute(QStringLiteral("owner"), AttributeType::String)
        .attribute(QStringLiteral("resourceURI"), AttributeType::String)
        .attribute(QStringLiteral("completionPercentage"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("completionDate"), AttributeType::Date)
        .attribute(QStringLiteral("creationDate"), AttributeType::Date)
        .attribute(QStringLiteral("startDate"), AttributeType::Date)
        .attribute(QStringLiteral("dueDate"), AttributeType::Date)
        .attribute(QStringLiteral("untilDate"), AttributeType::Date)
        .attribute(QStringLiteral("allDay"), AttributeType::Boolean, false)
        .attribute(QStringLiteral("frequency"), AttributeType::String)
        .attribute(QStringLiteral("childID"), AttributeType::Integer)
        .attribute(QStringLiteral("parentID"), AttributeType::Integer)
        .attribute(QStringLiteral("copiedFromID"), AttributeType::Integer)
        .attribute(QStringLiteral("effort"), AttributeType::Integer)
        .attribute(QStringLiteral("highlight"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("macResourceURL"), AttributeType::String)
        .attribute(QStringLiteral("boxFolderID"), AttributeType::String)
        .attribute(QStringLiteral("cachedConversation"), AttributeType::String)
        .attribute(QStringLiteral("status"), AttributeType::String)
        .attribute(QStringLiteral("unansweredPost"), AttributeType::Integer, qint64(0))
        .toOne(QStringLiteral("list"), TODOList::staticEntityName(), QStringLiteral("contains"))
        .toMany(QStringLiteral("tags"), ItemTag::staticEntityName(), QStringLiteral("items"))
        .toMany(QStringLiteral("files"), ItemFile::staticEntityName(), QStringLiteral("item"),
                DeleteRule::Cascade)
        .toOne(QStringLiteral("reminder"), ItemReminder::staticEntityName(), QStringLiteral("item"),
               DeleteRule::Cascade);
    return e;
}

EntityDescription listEntity()
{
    EntityDescription e(TODOList::staticEntityName(), factory<TODOList>());
    e.indexedAttribute(QStringLiteral("id_"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("name"), AttributeType::String)
        .attribute(QStringLiteral("state"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("index"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("textFirstQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("textSecondQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("textThirdQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("textFourthQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("colorFirstQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("colorSecondQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("colorThirdQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("colorFourthQuadrant"), AttributeType::String)
        .attribute(QStringLiteral("centerX"), AttributeType::Double, 50.0)
        .attribute(QStringLiteral("centerY"), AttributeType::Double, 50.0)
        .attribute(QStringLiteral("lastItemIndex"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("edited_since"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("timestamp"), AttributeType::Integer)
        .attribute(QStringLiteral("versionID"), AttributeType::Integer)
        .attribute(QStringLiteral("requestedTime"), AttributeType::Integer)
        .attribute(QStringLiteral("editedByDevice"), AttributeType::String)
        .attribute(QStringLiteral("edited_by"), AttributeType::String)
        .attribute(QStringLiteral("editedByUsername"), AttributeType::String)
        .attribute(QStringLiteral("owner"), AttributeType::String)
        .attribute(QStringLiteral("resourceURI"), AttributeType::String)
        .attribute(QStringLiteral("ownersCountCache"), AttributeType::Integer)
        .attribute(QStringLiteral("highlight"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("password"), AttributeType::String)
        .attribute(QStringLiteral("boxFolderID"), AttributeType::String)
        .attribute(QStringLiteral("qv_notes"), AttributeType::String)
        .attribute(QStringLiteral("templateCreationDate"), AttributeType::Double)
        .attribute(QStringLiteral("lazyFetch"), AttributeType::Boolean, false)
        .attribute(QStringLiteral("unansweredPost"), AttributeType::Integer, qint64(0))
        .toMany(QStringLiteral("contains"), TODOItem::staticEntityName(), QStringLiteral("list"),
                DeleteRule::Cascade)
        .toMany(QStringLiteral("tags"), ListTag::staticEntityName(), QStringLiteral("lists"));
    return e;
}

EntityDescription reminderEntity()
{
    EntityDescription e(ItemReminder::staticEntityName(), factory<ItemReminder>());
    e.indexedAttribute(QStringLiteral("identifier"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("enabled"), AttributeType::Boolean, false)
        .attribute(QStringLiteral("notes"), AttributeType::String)
        .attribute(QStringLiteral("reminder_date"), AttributeType::Date)
        .attribute(QStringLiteral("remind_all_followers"), AttributeType::Boolean, false)
        .attribute(QStringLiteral("repeat_after"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("timestamp"), AttributeType::Integer, qint64(0))
        .attribute(QStringLiteral("edited_since"), AttributeType::Integer, qint64(0))
        .toOne(QStringLiteral("item"), TODOItem::staticEntityName(), QStringLiteral("reminder"));
    return e;
}

EntityDescription fileEntity()
{
    EntityDescription e(ItemFile::staticEntityName(), factory<ItemFile>());
    e.indexedAttribute(QStringLiteral("idd"), AttributeType::Integer)
        .attribute(QStringLiteral("filename"), AttributeType::String)
        .attribute(QStringLiteral("item_uri"), AttributeType::String)
        .attribute(QStringLiteral("owner_uri"), AttributeType::String)
        .attribute(QStringLiteral("resource_uri"), AttributeType::String)
        .attribute(QStringLiteral("size"), AttributeType::Integer)
        .attribute(QStringLiteral("timestamp"), AttributeType::Integer)
        .attribute(QStringLiteral("url"), AttributeType::String)
        .toOne(QStringLiteral("item"), TODOItem::staticEntityName(), QStringLiteral("files"));
    return e;
}

} // namespace

std::unique_ptr<store::Model> TodoModel::build()
{
    auto model = std::make_unique<store::Model>(kVersion);
    model->addEntity(itemEntity());
    model->addEntity(listEntity());
    model->addEntity(reminderEntity());
    model->addEntity(fileEntity());
    model->addEntity(EntityDescription(ItemTag::staticEntityName(), factory<ItemTag>()))
        .indexedAttribute(QStringLiteral("name"), AttributeType::String)
        .toMany(QStringLiteral("items"), TODOItem::staticEntityName(), QStringLiteral("tags"));
    model->addEntity(EntityDescription(ListTag::staticEntityName(), factory<ListTag>()))
        .indexedAttribute(QStringLiteral("name"), AttributeType::String)
        .toMany(QStringLiteral("lists"), TODOList::staticEntityName(), QStringLiteral("tags"));
    model->addEntity(EntityDescription(InstantSyncStatus::staticEntityName(), factory<InstantSyncStatus>()))
        .indexedAttribute(QStringLiteral("email"), AttributeType::String)
        .attribute(QStringLiteral("lastItemPollingDate"), AttributeType::Date)
        .attribute(QStringLiteral("lastItemPollingDateWithResults"), AttributeType::Date)
        .attribute(QStringLiteral("lastProjectPollingDate"), AttributeType::Date)
        .attribute(QStringLiteral("lastProjectPollingDateWithResults"), AttributeType::Date)
        .attribute(QStringLiteral("lastServerPollingDate"), AttributeType::Date)
        .attribute(QStringLiteral("lastInboxPollingDate"), AttributeType::Date)
        .attribute(QStringLiteral("projectsToDownload"), AttributeType::String);
    model->addEntity(EntityDescription(CurrentUser::staticEntityName(), factory<CurrentUser>()))
        .indexedAttribute(QStringLiteral("email"), AttributeType::String);
    model
        ->addEntity(
            EntityDescription(CollaborationStatus::staticEntityName(), factory<CollaborationStatus>()))
        .indexedAttribute(QStringLiteral("email"), AttributeType::String)
        .attribute(QStringLiteral("cachedMe"), AttributeType::Binary)
        .attribute(QStringLiteral("cachedOwnersByProject"), AttributeType::Binary)
        .attribute(QStringLiteral("cachedOwnersByProjectDates"), AttributeType::Binary)
        .attribute(QStringLiteral("cachedCollaboratorsByEmail"), AttributeType::Binary)
        .attribute(QStringLiteral("cachedFollowersByItem"), AttributeType::Binary)
        .attribute(QStringLiteral("cachedFollowersByItemDates"), AttributeType::Binary);
    model->addEntity(EntityDescription(Avatar::staticEntityName(), factory<Avatar>()))
        .indexedAttribute(QStringLiteral("qv_email"), AttributeType::String)
        .attribute(QStringLiteral("qv_size"), AttributeType::Integer)
        .attribute(QStringLiteral("qv_download_date"), AttributeType::Date)
        .attribute(QStringLiteral("qv_coded_image"), AttributeType::Binary);
    return model;
}

const store::Model& TodoModel::shared()
{
    static const std::unique_ptr<store::Model> model = build();
    return *model;
}

} // namespace qv
