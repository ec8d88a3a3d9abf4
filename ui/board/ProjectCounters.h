#pragma once

#include "ui/board/ArrayController.h"

#include <QColor>
#include <QDateTime>
#include <QString>

#include <array>

namespace qv {

class Clock;
class TODOItem;
class TODOList;

// A date lies on a calendar day before today (local calendar). A time earlier today is not
// overdue; an invalid date never is.
bool isDateOverdue(const QDateTime& date, const Clock& clock);
// isDateOverdue() of the item's due date, whatever the item's state.
bool isItemOverdue(const TODOItem* item, const Clock& clock);

struct ProjectCounts {
    // Items per quadrant 0-3 that pass the item filter.
    std::array<int, 4> quadrants{};
    // Open items (state 0) that pass the item filter and are due at or before now.
    int overdue = 0;
};

// Counts the project's items with the board's item filter (BoardArrangement::userFilterPredicate();
// empty passes every item).
ProjectCounts countProjectItems(const TODOList& project, const ObjectPredicate& itemFilter,
                                const QDateTime& now);

// What a project row's counter view shows: four quadrant tiles with their counts, the overdue
// badge and the archived mark. Filling again with the same project, filter state, search text and
// date range keeps the earlier counts; a new model (the list drops its models) counts afresh.
class ProjectCounterModel {
public:
    explicit ProjectCounterModel(const Clock& clock) : m_clock(clock) {}

    // Answers whether the counts were made anew. A null searchString never equals the one kept.
    bool fillOutCellInfoForList(TODOList* list, int itemFilter, const QString& searchString,
                                const QDateTime& minDate, const QDateTime& maxDate,
                                const ObjectPredicate& itemFilterPredicate);

    TODOList* list() const { return m_list; }
    const ProjectCounts& counts() const { return m_counts; }
    // The count, or "" for none.
    QString quadrantLabel(int quadrant) const;
    // The project's colour string of the quadrant, its colour, and a text colour that reads on it.
    QString tileColorString(int quadrant) const;
    QColor tileColor(int quadrant) const;
    QColor labelTextColor(int quadrant) const;
    // The overdue count; the badge hides when it is 0.
    QString overdueLabel() const;
    bool isOverdueBadgeHidden() const { return m_counts.overdue == 0; }
    // The project carries the project tag "archived".
    bool showsArchivedImage() const { return m_archived; }

    static QColor overdueBadgeColor() { return QColor::fromRgbF(1.0f, 0.2f, 0.2f, 1.0f); }
    static constexpr qreal kOverdueBadgeCornerRadius = 9.0;

private:
    const Clock& m_clock;
    TODOList* m_list = nullptr;
    int m_itemFilter = 0;
    QString m_searchString;
    QDateTime m_minDate;
    QDateTime m_maxDate;
    ProjectCounts m_counts;
    std::array<QString, 4> m_colors;
    bool m_archived = false;
};

} // namespace qv
