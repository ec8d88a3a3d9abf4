#pragma once

#include <QString>

namespace qv {

class ArrayController;

// The drawer's owner choice: the person picked (by e-mail) becomes the owner of every item
// selected in the controller, not only of the one the drawer shows. Only real changes are
// written; the rows then show them. Answers how many items changed.
int changeOwner(ArrayController& controller, const QString& owner);

} // namespace qv
