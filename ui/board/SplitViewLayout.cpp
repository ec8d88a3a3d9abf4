#include "ui/board/SplitViewLayout.h"

#include "platform/Preferences.h"

#include <QVariantList>

#include <algorithm>

namespace qv {

const QString SplitViewLayout::kWidthsKey = QStringLiteral("mainSplitViewWidths");

int SplitViewLayout::rememberedWidth(PanelColumn column) const
{
    return m_remembered[size_t(column)];
}

void SplitViewLayout::rememberWidth(PanelColumn column, int width)
{
    m_remembered[size_t(column)] = width;
}

int SplitViewLayout::dividerLimit(qsizetype divider, const std::vector<PanelColumn>& columns,
                                  bool detailVisible)
{
    const bool last = divider + 2 == qsizetype(columns.size());
    return last && columns.back() == PanelColumn::Detail && detailVisible ? kDetailDividerLimit
                                                                          : kDividerLimit;
}

std::pair<int, int> SplitViewLayout::constrainedRange(qsizetype divider,
                                                      const std::vector<PanelColumn>& columns,
                                                      bool detailVisible, int proposedMin, int proposedMax)
{
    const int limit = dividerLimit(divider, columns, detailVisible);
    return {proposedMin + limit, proposedMax - limit};
}

void SplitViewLayout::saveWidths(Preferences& preferences, const QList<int>& widths)
{
    QVariantList stored;
    for (int width : widths)
        stored << width;
    preferences.setValue(kWidthsKey, stored);
}

std::optional<QList<int>> SplitViewLayout::savedWidths(const Preferences& preferences, qsizetype columnCount)
{
    const QVariantList stored = preferences.value(kWidthsKey).toList();
    if (stored.isEmpty() || stored.size() != columnCount)
        return std::nullopt;
    QList<int> widths;
    for (const QVariant& value : stored) {
        bool ok = false;
        const int width = value.toInt(&ok);
        if (!ok || width < 0)
            return std::nullopt;
        widths << width;
    }
    return widths;
}

QList<int> SplitViewLayout::fitted(const QList<int>& widths, const std::vector<PanelColumn>& columns,
                                   int total)
{
    QList<int> result = widths;
    const auto boardAt = std::find(columns.begin(), columns.end(), PanelColumn::Board);
    if (boardAt == columns.end() || result.size() != qsizetype(columns.size()))
        return result;
    const qsizetype board = boardAt - columns.begin();
    int sides = 0;
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (i != board)
            sides += result[i];
    }
    result[board] = total - sides;
    const int wanted = total / 2;
    while (result[board] < wanted) {
        // Even shares from the columns still above their limits.
        std::vector<qsizetype> giving;
        for (qsizetype i = 0; i < result.size(); ++i) {
            const int limit = columns[size_t(i)] == PanelColumn::Detail ? kDetailDividerLimit : kDividerLimit;
            if (i != board && result[i] > limit)
                giving.push_back(i);
        }
        if (giving.empty())
            break;
        const int share = std::max(1, (wanted - result[board]) / int(giving.size()));
        for (qsizetype i : giving) {
            const int limit = columns[size_t(i)] == PanelColumn::Detail ? kDetailDividerLimit : kDividerLimit;
            const int given = std::min({share, result[i] - limit, wanted - result[board]});
            result[i] -= given;
            result[board] += given;
        }
    }
    return result;
}

} // namespace qv
