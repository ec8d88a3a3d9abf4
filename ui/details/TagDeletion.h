#pragma once

#include <QStringList>

namespace qv {

class Alerts;
class TagManager;

namespace store {
class Context;
}

// Removing tags from the filter panels, after the user agrees: each tag leaves every object
// carrying it, then is deleted.
namespace TagDeletion {

// Asks "Removing item tags"; on yes every item drops the tags through the tag service (so the
// server drops them too). Nothing is asked without names. Whether the tags were removed.
bool deleteItemTags(Alerts& alerts, TagManager* tags, store::Context& context, const QStringList& names);
// Asks "Removing project tags"; on yes the projects drop the tags (their change is uploaded
// with them). Nothing is asked without names.
bool deleteProjectTags(Alerts& alerts, store::Context& context, const QStringList& names);

} // namespace TagDeletion
} // namespace qv
