#pragma once

#include "core/util/Predicate.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace qv {

// What the board asks of the item filter panel (search text, dates, tags, owners). The panel
// implements it; without one the board filters by the filter state alone.
class ItemFilterPanel {
public:
    virtual ~ItemFilterPanel() = default;
    virtual bool getIsFiltering() const = 0;
    // Clears the panel and sets "kItemFilterState" to 1.
    virtual void reset() = 0;
    // The e-mail addresses of the owners the filter is restricted to.
    virtual QStringList currentOwnerEmails() const = 0;
    virtual Predicate userFilterPredicate() const = 0;
    // What the project list's counters are filled with; none by default.
    virtual QString searchString() const { return QStringLiteral(""); }
    virtual QDateTime getMinSelectedDate() const { return {}; }
    virtual QDateTime getMaxSelectedDate() const { return {}; }
};

} // namespace qv
