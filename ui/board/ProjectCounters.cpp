#include "ui/board/ProjectCounters.h"

#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "core/util/StringToColorTransformer.h"
#include "core/util/Utils.h"
#include "platform/Clock.h"
#include "platform/store/ManagedObject.h"
#include "ui/board/QuadrantColors.h"

#include <optional>

namespace qv {

bool isDateOverdue(const QDateTime& date, const Clock& clock)
{
    if (!date.isValid())
        return false;
    return Utils::daysFromDate(clock.now(), date) < 0;
}

bool isItemOverdue(const TODOItem* item, const Clock& clock)
{
    return item && !item->isNull(QStringLiteral("dueDate")) && isDateOverdue(item->dueDate(), clock);
}

ProjectCounts countProjectItems(const TODOList& project, const ObjectPredicate& itemFilter,
                                const QDateTime& now)
{
    ProjectCounts counts;
    // Every row of the project list counts all its project's items: read from the store's columns.
    store::IntegerReader quadrantOf(QStringLiteral("quadrant"));
    store::IntegerReader dueOf(QStringLiteral("dueDate"));
    store::IntegerReader stateOf(QStringLiteral("state"));
    const qint64 nowMs = now.toMSecsSinceEpoch();
    for (TODOItem* item : project.items()) {
        if (itemFilter && !itemFilter(item))
            continue;
        const qint64 quadrant = quadrantOf(*item).value_or(0);
        if (quadrant >= 0 && quadrant < 4)
            ++counts.quadrants[size_t(quadrant)];
        const std::optional<qint64> due = dueOf(*item);
        if (due && *due <= nowMs && toObjectState(stateOf(*item).value_or(0)) == ObjectState::Open)
            ++counts.overdue;
    }
    return counts;
}

bool ProjectCounterModel::fillOutCellInfoForList(TODOList* list, int itemFilter, const QString& searchString,
                                                 const QDateTime& minDate, const QDateTime& maxDate,
                                                 const ObjectPredicate& itemFilterPredicate)
{
    if (m_list && list == m_list && itemFilter == m_itemFilter && !searchString.isNull() &&
        searchString == m_searchString && minDate == m_minDate && maxDate == m_maxDate)
        return false;
    m_list = list;
    m_itemFilter = itemFilter;
    m_searchString = searchString;
    m_minDate = minDate;
    m_maxDate = maxDate;
    if (!list) {
        m_counts = {};
        m_colors = {};
        m_archived = false;
        return true;
    }
    m_counts = countProjectItems(*list, itemFilterPredicate, m_clock.now());
    m_colors = {list->colorFirstQuadrant(), list->colorSecondQuadrant(), list->colorThirdQuadrant(),
                list->colorFourthQuadrant()};
    m_archived = false;
    for (const ListTag* tag : list->tags()) {
        if (tag->name() == QLatin1String("archived"))
            m_archived = true;
    }
    return true;
}

QString ProjectCounterModel::quadrantLabel(int quadrant) const
{
    if (quadrant < 0 || quadrant > 3)
        return {};
    const int count = m_counts.quadrants[size_t(quadrant)];
    return count == 0 ? QString(QLatin1String("")) : QString::number(count);
}

QString ProjectCounterModel::tileColorString(int quadrant) const
{
    return quadrant >= 0 && quadrant < 4 ? m_colors[size_t(quadrant)] : QString();
}

QColor ProjectCounterModel::tileColor(int quadrant) const
{
    return StringToColorTransformer().transformedValue(tileColorString(quadrant)).value<QColor>();
}

QColor ProjectCounterModel::labelTextColor(int quadrant) const
{
    const QColor tile = tileColor(quadrant);
    return QuadrantColors::readableOn(ColorString::textColorForBackground(tile), tile);
}

QString ProjectCounterModel::overdueLabel() const
{
    return m_counts.overdue > 0 ? QString::number(m_counts.overdue) : QString(QLatin1String(""));
}

} // namespace qv
