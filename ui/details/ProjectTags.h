#pragma once

#include <QStringList>

namespace qv {

class TODOList;

// The tags of a project as the project tag field edits them.
namespace ProjectTags {

// The project's tag names, sorted.
QStringList names(const TODOList* project);
// Makes the project carry exactly these tags: names trimmed and lowercased, blanks and repeats
// dropped, missing tags made in the project's context. Whether anything changed.
bool writeTags(TODOList* project, const QStringList& names);

} // namespace ProjectTags
} // namespace qv
