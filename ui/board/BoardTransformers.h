#pragma once

#include "core/util/ValueTransformerRegistry.h"

#include <memory>

namespace qv {

class Clock;

// The window's value transformers by name: the standard set, with the board's images when no
// other image source is given, and the due-date transformers the drawer binds
// ("NSDateToDayOfTheWeekTransformer": the abbreviated weekday name; "FontColorFromDueDate": dark
// red for a date before today, black otherwise), and the sign-in picture (LoginTransformers.h).
std::unique_ptr<ValueTransformerRegistry> makeBoardTransformers(const Clock& clock,
                                                                TransformerServices services = {});

} // namespace qv
