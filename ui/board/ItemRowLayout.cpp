#include "ui/board/ItemRowLayout.h"

#include "core/model/TODOItem.h"
#include "core/util/FontSizeTiers.h"
#include "core/util/Utils.h"
#include "platform/Preferences.h"
#include "ui/board/ProjectCounters.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// The height a line of tags takes under the title.
constexpr double kTagsLineHeight = 14;

} // namespace

ItemRowContent ItemRowContent::fromItem(TODOItem& item, bool hasIcon, const Clock& clock)
{
    ItemRowContent content;
    content.title = item.isNull(QStringLiteral("name")) ? QStringLiteral("Empty name") : item.name();
    content.hasIcon = hasIcon;
    content.completionPercentage = double(item.completionPercentage());
    content.hasDueDate = item.dueDate().isValid();
    content.overdue = isItemOverdue(&item, clock);
    content.highlight = item.highlight() != 0;
    content.hasFiles = !item.files().empty();
    content.recurrence = item.recurrence();
    content.link = item.macResourceURL();
    content.ownerUsername = item.ownerUsername();
    content.starred = item.getStarred();
    content.tags = item.getTagNames();
    content.notes = item.descriptionText();
    return content;
}

ItemRowSettings ItemRowSettings::fromPreferences(const Preferences& preferences)
{
    ItemRowSettings settings;
    settings.fontSize = double(FontSizeTiers::currentFontSize(preferences));
    settings.hidingItemIcons = preferences.boolValue(QStringLiteral("kHidingItemIcons"));
    settings.hidingExtraInfo = preferences.boolValue(QStringLiteral("kIsHidingExtraInfo"));
    settings.hidingItemTags = preferences.boolValue(QStringLiteral("kIsHidingItemTags"));
    settings.showingStar = preferences.boolValue(QStringLiteral("kIsShowingStar"));
    settings.hidingAvatars = preferences.boolValue(QStringLiteral("kHidingAvatarsInItems"));
    return settings;
}

ItemRowLayout::ItemRowLayout(ItemRowContent content, ItemRowSettings settings)
    : m_content(std::move(content)), m_settings(settings)
{
}

bool ItemRowLayout::isShowingIcon() const
{
    return !m_settings.hidingItemIcons && m_content.hasIcon;
}

bool ItemRowLayout::isShowingCompletionBar() const
{
    return m_content.completionPercentage > 0;
}

bool ItemRowLayout::isShowingExtraItemInfo() const
{
    return !m_settings.hidingExtraInfo;
}

bool ItemRowLayout::isShowingTags() const
{
    return !m_settings.hidingItemTags && !m_content.tags.isEmpty();
}

bool ItemRowLayout::isShowingTagsBesideTitle(const QRectF& frame) const
{
    return isShowingTags() && frame.height() - m_settings.fontSize < kTagsLineHeight;
}

bool ItemRowLayout::isShowingNotes() const
{
    return !notesLine().isNull() && std::trunc(m_settings.fontSize - 6) >= 9;
}

bool ItemRowLayout::isShowingRecurrence() const
{
    return m_content.hasDueDate && m_content.recurrence != TODOItem::Recurrence::Never;
}

bool ItemRowLayout::isShowingLink() const
{
    return !m_content.link.isEmpty();
}

bool ItemRowLayout::isShowingStar() const
{
    return m_settings.showingStar;
}

bool ItemRowLayout::isShowingAvatar(const QRectF& frame) const
{
    return !m_settings.hidingAvatars && frame.width() >= 100 && !m_settings.forceHideAvatar;
}

QString ItemRowLayout::notesLine() const
{
    return Utils::firstLineWithContent(m_content.notes);
}

int ItemRowLayout::smallTextSize() const
{
    const double size = m_settings.fontSize - 6;
    return size < 8 ? 8 : int(std::trunc(size));
}

bool ItemRowLayout::isTitleStruckThrough() const
{
    return int(m_content.completionPercentage) >= 100;
}

bool ItemRowLayout::usesOverdueColour() const
{
    return m_content.overdue && int(m_content.completionPercentage) <= 99;
}

QRectF ItemRowLayout::rectForIconIn(const QRectF& frame) const
{
    const double h = frame.height();
    return {frame.x() + 8, frame.y(), h - 4, h - 4};
}

QRectF ItemRowLayout::rectForLevelIn(const QRectF& frame) const
{
    if (!isShowingCompletionBar())
        return {};
    const double h = frame.height();
    return {frame.x() + 1, frame.y() + h - 6, h - 1, 5};
}

QRectF ItemRowLayout::rectForTagsIn(const QRectF& frame) const
{
    const double h = frame.height();
    const double left = isShowingIcon() || isShowingCompletionBar() ? h + 5 : 12;
    const double avatar = isShowingAvatar(frame) ? h : 0;
    return {frame.x() + left, frame.y() + h - m_settings.fontSize - 3, frame.width() - left - avatar, 16};
}

QRectF ItemRowLayout::rectForTagsBesideTitleIn(const QRectF& frame, double titleTextWidth) const
{
    const QRectF title = rectForTitleIn(frame);
    const double left = title.x() + titleTextWidth + 6;
    const double height = std::min(16.0, frame.height() - 2);
    const double top = title.y() + 2 + (m_settings.fontSize * 1.2 - height) / 2;
    return {left, std::max(frame.y() + 1, top), std::max(0.0, title.right() - left), height};
}

QRectF ItemRowLayout::rectForNotesIn(const QRectF& frame) const
{
    const double h = frame.height();
    const double left = isShowingIcon() ? h + 15 : 25;
    const double avatar = isShowingAvatar(frame) ? h : 0;
    const double barGap = isShowingCompletionBar() ? 1 : 0;
    return {frame.x() + left, frame.y() + h - m_settings.fontSize / 2 - barGap, frame.width() - left - avatar,
            h};
}

QRectF ItemRowLayout::rectForFrequencyIn(const QRectF& frame) const
{
    return {frame.x() + 2, frame.y() + 2, 16, 16};
}

QRectF ItemRowLayout::rectForLinkIn(const QRectF& frame) const
{
    const double h = frame.height();
    return {0, frame.y() + h / 2, h / 3, h / 3};
}

QRectF ItemRowLayout::rectForStar(const QRectF& frame) const
{
    const double h = frame.height();
    return {0, frame.y() + 0.25, h / 3, h / 3};
}

QRectF ItemRowLayout::rectForAvatarIn(const QRectF& frame) const
{
    if (!isShowingAvatar(frame))
        return {};
    const double h = frame.height();
    return {frame.width() - h + 8, frame.y(), h, h};
}

QRectF ItemRowLayout::rectForTitleIn(const QRectF& frame) const
{
    const double h = frame.height();
    const double left = isShowingIcon() ? h + 5 : 15;
    double width = frame.width() - left;
    if (isShowingAvatar(frame))
        width -= h;
    if (!isShowingNotes() && (!isShowingTags() || isShowingTagsBesideTitle(frame))) {
        const double d = std::trunc((h - m_settings.fontSize) / 2 - 3);
        return {frame.x() + left, frame.y() + d, width, h - d};
    }
    return {frame.x() + left, frame.y(), width, h};
}

ItemRowLayout::Hit ItemRowLayout::hitTest(const QPointF& point, const QRectF& frame) const
{
    if (rectForStar(frame).contains(point))
        return Hit::Star;
    if (isShowingIcon() && rectForIconIn(frame).contains(point))
        return Hit::Icon;
    if (isShowingAvatar(frame) && rectForAvatarIn(frame).contains(point))
        return Hit::Avatar;
    return Hit::None;
}

} // namespace qv
