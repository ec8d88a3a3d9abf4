#include "ui/details/TagDeletion.h"

#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "platform/Alerts.h"
#include "platform/store/Context.h"

namespace qv::TagDeletion {

namespace {

bool userAgrees(Alerts& alerts, const QString& title, const QStringList& names, const QString& carriers)
{
    const QString quoted = QStringLiteral("\"") + names.join(QStringLiteral("\", \"")) + QStringLiteral("\"");
    const QString informative =
        names.size() == 1 ? QStringLiteral("The tag %1 will be removed from every %2 that carries it.")
                                .arg(quoted, carriers)
                          : QStringLiteral("The tags %1 will be removed from every %2 that carries them.")
                                .arg(quoted, carriers);
    // The tags leave every carrier at once and do not come back: "Cancel" is the default.
    return alerts.confirm(Alerts::Question::destructive(
        title, informative, {QStringLiteral("Remove"), QStringLiteral("Cancel")}, Alerts::SafeButton(1)));
}

template <class Tag> std::vector<Tag*> tagsNamed(store::Context& context, const QStringList& names)
{
    std::vector<Tag*> found;
    for (const QString& name : names) {
        for (store::ManagedObject* object :
             context.lookup(Tag::staticEntityName(), QStringLiteral("name"), name.toLower())) {
            if (Tag* tag = store::as<Tag>(object))
                found.push_back(tag);
        }
    }
    return found;
}

} // namespace

bool deleteItemTags(Alerts& alerts, TagManager* tags, store::Context& context, const QStringList& names)
{
    if (names.isEmpty() ||
        !userAgrees(alerts, QStringLiteral("Removing item tags"), names, QStringLiteral("item")))
        return false;
    for (ItemTag* tag : tagsNamed<ItemTag>(context, names)) {
        for (TODOItem* item : tag->items()) {
            if (tags)
                tags->removeTagName(tag->name(), item);
            else
                item->removeTagsObject(tag);
        }
        context.deleteObject(tag);
    }
    return true;
}

bool deleteProjectTags(Alerts& alerts, store::Context& context, const QStringList& names)
{
    if (names.isEmpty() ||
        !userAgrees(alerts, QStringLiteral("Removing project tags"), names, QStringLiteral("project")))
        return false;
    for (ListTag* tag : tagsNamed<ListTag>(context, names)) {
        for (TODOList* project : tag->lists())
            project->removeTagsObject(tag);
        context.deleteObject(tag);
    }
    return true;
}

} // namespace qv::TagDeletion
