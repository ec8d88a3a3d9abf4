#include "ui/board/ItemRowLayout.h"

#include "core/model/TODOItem.h"
#include "core/util/FontSizeTiers.h"
#include "core/util/Utils.h"
#include "platform/Preferences.h"
#include "ui/board/ImageFactoryForMac.h"
#include "ui/board/ProjectCounters.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// Below this row height a completion bar has no room under the icon; the smallest tier's rows
// still hold a thin one.
constexpr double kCompletionMinRowHeight = 20;
// The smallest legible badge label: the badge is painted on a 44-pixel icon and scaled with it.
constexpr double kBadgeMinTextPixels = 7;
// The badge as the icon renderer paints it on its 44-pixel icon: centred and large on an icon
// that is only a badge, else small, centred 13 from the left and 11 from the top.
constexpr double kRenderedIconSide = 44;
constexpr double kSmallBadgeCentreX = 13.75;
constexpr double kSmallBadgeCentreY = 11;
constexpr double kSmallBadgeRadius = 0.75 * 0.375 * kRenderedIconSide;
constexpr double kLargeBadgeRadius = 0.375 * kRenderedIconSide;
// The marks of the gutter (star, paperclip or link) keep off the row's left edge, and are never
// drawn smaller than this: rows too short to stack two of them place them side by side.
constexpr double kMarkLeft = 4;
constexpr double kMinMarkSize = 12;
constexpr double kTagPadding = 10;
constexpr double kTagSpacing = 3;

QFont pixelFont(const QFont& base, double pixels, bool bold = false)
{
    QFont font(base);
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

double lineHeight(const QFont& font)
{
    return std::ceil(QFontMetricsF(font).height());
}

double textWidth(const QFont& font, const QString& text)
{
    return std::ceil(QFontMetricsF(font).horizontalAdvance(text));
}

const QString kWidestCompletion = QStringLiteral("100%");

} // namespace

ItemRowContent ItemRowContent::fromItem(TODOItem& item, bool hasIcon, bool hasBadgeFreeIcon,
                                        const Clock& clock)
{
    ItemRowContent content;
    content.title = item.isNull(QStringLiteral("name")) ? QStringLiteral("Empty name") : item.name();
    content.hasIcon = hasIcon;
    content.hasBadgeFreeIcon = hasBadgeFreeIcon;
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

ItemRowSettings ItemRowSettings::fromPreferences(const Preferences& preferences, const QFont& font)
{
    ItemRowSettings settings = forTier(FontSizeTiers::currentTier(preferences), font);
    settings.hidingItemIcons = preferences.boolValue(QStringLiteral("kHidingItemIcons"));
    settings.hidingExtraInfo = preferences.boolValue(QStringLiteral("kIsHidingExtraInfo"));
    settings.hidingItemTags = preferences.boolValue(QStringLiteral("kIsHidingItemTags"));
    settings.showingStar = preferences.boolValue(QStringLiteral("kIsShowingStar"));
    settings.hidingAvatars = preferences.boolValue(QStringLiteral("kHidingAvatarsInItems"));
    return settings;
}

ItemRowSettings ItemRowSettings::forTier(int tier, const QFont& font)
{
    ItemRowSettings settings;
    settings.fontSize = double(FontSizeTiers::fontSize(tier));
    settings.rowHeight = double(FontSizeTiers::rowHeight(tier));
    settings.font = font;
    settings.showingStar = true;
    return settings;
}

ItemRowLayout::ItemRowLayout(ItemRowContent content, ItemRowSettings settings)
    : m_content(std::move(content)), m_settings(std::move(settings))
{
}

// --- What shows

bool ItemRowLayout::isShowingIcon() const
{
    if (m_settings.hidingItemIcons)
        return false;
    return isShowingDueBadge() ? m_content.hasIcon : m_content.hasBadgeFreeIcon;
}

bool ItemRowLayout::isShowingDueBadge() const
{
    // The renderer paints no badge on a completed item.
    if (m_settings.hidingItemIcons || !m_content.hasIcon || m_content.dueLabel.isEmpty() ||
        int(m_content.completionPercentage) > 99)
        return false;
    const double rendered = ImageFactoryForMac::badgeFontSize(m_content.dueLabel, int(kRenderedIconSide),
                                                              !m_content.hasBadgeFreeIcon);
    return rendered * iconSide() / kRenderedIconSide >= kBadgeMinTextPixels;
}

bool ItemRowLayout::isShowingCompletionBar() const
{
    return m_content.completionPercentage > 0 && isShowingExtraItemInfo() &&
           m_settings.rowHeight >= kCompletionMinRowHeight;
}

bool ItemRowLayout::isShowingCompletionText() const
{
    return isShowingCompletionBar() &&
           iconColumnWidth() >= textWidth(completionFont(), kWidestCompletion) + 10;
}

bool ItemRowLayout::isShowingExtraItemInfo() const
{
    return !m_settings.hidingExtraInfo;
}

bool ItemRowLayout::isShowingTags() const
{
    return !m_settings.hidingItemTags && !m_content.tags.isEmpty();
}

bool ItemRowLayout::isShowingTagsBesideTitle() const
{
    return isShowingTags() && titleLineHeight() + tagLineHeight() > m_settings.rowHeight - 1;
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

bool ItemRowLayout::tellsOverdueByColour() const
{
    return usesOverdueColour() && !isShowingDueBadge();
}

QString ItemRowLayout::completionText() const
{
    return QStringLiteral("%1%").arg(int(std::clamp(m_content.completionPercentage, 0.0, 100.0)));
}

// --- Fonts

QFont ItemRowLayout::titleFont() const
{
    QFont font = pixelFont(m_settings.font, m_settings.fontSize, m_content.highlight);
    font.setStrikeOut(isTitleStruckThrough());
    return font;
}

QFont ItemRowLayout::tagFont() const
{
    return pixelFont(m_settings.font, 9);
}

QFont ItemRowLayout::notesFont() const
{
    return pixelFont(m_settings.font, smallTextSize());
}

QFont ItemRowLayout::recurrenceFont() const
{
    return pixelFont(m_settings.font, smallTextSize(), true);
}

QFont ItemRowLayout::completionFont() const
{
    return pixelFont(m_settings.font, 8);
}

// --- Places

bool ItemRowLayout::isShowingMarksSideBySide() const
{
    return std::floor((m_settings.rowHeight - 2) / 2) < kMinMarkSize;
}

double ItemRowLayout::markSize() const
{
    if (isShowingMarksSideBySide())
        return std::min(14.0, m_settings.rowHeight - 6);
    return std::min(14.0, std::floor((m_settings.rowHeight - 2) / 2));
}

double ItemRowLayout::gutterRight(const QRectF& frame) const
{
    return std::max(rectForFrequencyIn(frame).right(), rectForLinkIn(frame).right());
}

double ItemRowLayout::iconColumnWidth() const
{
    return m_settings.rowHeight - 4;
}

double ItemRowLayout::completionStripHeight() const
{
    if (!isShowingCompletionBar())
        return 0;
    const double text = lineHeight(completionFont());
    return iconColumnWidth() >= textWidth(completionFont(), kWidestCompletion) + 10 ? text : 3;
}

double ItemRowLayout::iconSide() const
{
    const double strip = completionStripHeight();
    return iconColumnWidth() - (strip > 0 ? strip + 1 : 0);
}

double ItemRowLayout::textLeft(const QRectF& frame) const
{
    const double column = gutterRight(frame) + 3;
    return isShowingIcon() || isShowingCompletionBar() ? column + iconColumnWidth() + 4 : column;
}

double ItemRowLayout::textRight(const QRectF& frame) const
{
    const QRectF avatar = rectForAvatarIn(frame);
    return avatar.isEmpty() ? frame.right() : avatar.left() - 4;
}

double ItemRowLayout::titleLineHeight() const
{
    return lineHeight(titleFont());
}

double ItemRowLayout::tagLineHeight() const
{
    return lineHeight(tagFont()) + 2;
}

double ItemRowLayout::secondLineHeight() const
{
    if (isShowingTags())
        return isShowingTagsBesideTitle() ? 0 : tagLineHeight();
    return isShowingNotes() ? lineHeight(notesFont()) : 0;
}

double ItemRowLayout::titleTop(const QRectF& frame) const
{
    return frame.y() + std::floor((m_settings.rowHeight - titleLineHeight() - secondLineHeight()) / 2);
}

QRectF ItemRowLayout::rectForStar(const QRectF& frame) const
{
    const double m = markSize();
    const double top = isShowingMarksSideBySide() ? std::floor((m_settings.rowHeight - m) / 2) : 1;
    return {frame.x() + kMarkLeft, frame.y() + top, m, m};
}

QRectF ItemRowLayout::rectForFrequencyIn(const QRectF& frame) const
{
    const QFont font = recurrenceFont();
    const double width = textWidth(font, QStringLiteral("+"));
    const double height = lineHeight(font);
    if (isShowingMarksSideBySide())
        return {rectForLinkIn(frame).right() + 1, frame.y() + std::floor((m_settings.rowHeight - height) / 2),
                width, height};
    return {rectForStar(frame).right() + 1, frame.y() + 1, width, height};
}

QRectF ItemRowLayout::rectForLinkIn(const QRectF& frame) const
{
    const double m = markSize();
    if (isShowingMarksSideBySide()) {
        const QRectF star = rectForStar(frame);
        return {star.right() + 2, star.y(), m, m};
    }
    return {frame.x() + kMarkLeft, frame.y() + m_settings.rowHeight - 1 - m, m, m};
}

QRectF ItemRowLayout::rectForIconIn(const QRectF& frame) const
{
    const double column = iconColumnWidth();
    const double side = iconSide();
    return {gutterRight(frame) + 3 + (column - side) / 2, frame.y() + 2, side, side};
}

QRectF ItemRowLayout::rectForBadgeIn(const QRectF& frame) const
{
    if (!isShowingDueBadge())
        return {};
    const QRectF icon = rectForIconIn(frame);
    const double scale = icon.width() / kRenderedIconSide;
    const bool centred = !m_content.hasBadgeFreeIcon;
    const double cx = centred ? kRenderedIconSide / 2 : kSmallBadgeCentreX;
    const double cy = centred ? kRenderedIconSide / 2 : kSmallBadgeCentreY;
    const double r = centred ? kLargeBadgeRadius : kSmallBadgeRadius;
    const QRectF disc(icon.x() + (cx - r) * scale, icon.y() + (cy - r) * scale, 2 * r * scale, 2 * r * scale);
    return disc.intersected(icon);
}

QRectF ItemRowLayout::rectForCompletionTextIn(const QRectF& frame) const
{
    if (!isShowingCompletionText())
        return {};
    const double strip = completionStripHeight();
    const QFont font = completionFont();
    return {gutterRight(frame) + 3, frame.y() + m_settings.rowHeight - 2 - strip,
            textWidth(font, kWidestCompletion), strip};
}

QRectF ItemRowLayout::rectForLevelIn(const QRectF& frame) const
{
    if (!isShowingCompletionBar())
        return {};
    const double strip = completionStripHeight();
    const double left = gutterRight(frame) + 3;
    const double top = frame.y() + m_settings.rowHeight - 2 - strip;
    const QRectF text = rectForCompletionTextIn(frame);
    if (text.isEmpty())
        return {left, top, iconColumnWidth(), strip};
    const double bar = std::min(5.0, strip);
    return {text.right() + 2, top + (strip - bar) / 2, left + iconColumnWidth() - text.right() - 2, bar};
}

QRectF ItemRowLayout::rectForTitleIn(const QRectF& frame) const
{
    const double left = textLeft(frame);
    return {left, titleTop(frame), std::max(0.0, textRight(frame) - left), titleLineHeight()};
}

QRectF ItemRowLayout::rectForTagsIn(const QRectF& frame, double titleTextWidth) const
{
    const QRectF title = rectForTitleIn(frame);
    const double height = tagLineHeight();
    if (!isShowingTagsBesideTitle())
        return {title.x(), title.bottom(), title.width(), height};
    const double left = title.x() + titleTextWidth + 6;
    const double top =
        std::clamp(title.center().y() - height / 2, frame.y(), frame.y() + m_settings.rowHeight - height);
    return {left, top, std::max(0.0, title.right() - left), height};
}

QRectF ItemRowLayout::rectForNotesIn(const QRectF& frame) const
{
    const QRectF title = rectForTitleIn(frame);
    const double left = title.x() + 10;
    return {left, title.bottom(), std::max(0.0, title.right() - left), lineHeight(notesFont())};
}

QRectF ItemRowLayout::rectForAvatarIn(const QRectF& frame) const
{
    if (!isShowingAvatar(frame))
        return {};
    const double h = m_settings.rowHeight;
    // Large tiers keep the picture modest so the title keeps its room.
    const double side = std::clamp(h - 10, 16.0, std::min(h - 4, 30.0));
    return {frame.right() + 3 - side, frame.y() + (h - side) / 2, side, side};
}

QRectF ItemRowLayout::rectForCheckBoxIn(const QRectF& column)
{
    const double side = std::min(16.0, column.height() - 4);
    QRectF box(0, 0, side, side);
    box.moveCenter(column.center());
    return box;
}

QList<ItemRowLayout::TagPill> ItemRowLayout::tagPills(const QRectF& frame, double titleTextWidth) const
{
    QList<TagPill> pills;
    if (!isShowingTags())
        return pills;
    const QRectF line = rectForTagsIn(frame, titleTextWidth);
    const QFont font = tagFont();
    double x = line.x();
    for (const QString& tag : m_content.tags) {
        const double width = textWidth(font, tag) + kTagPadding;
        if (x + width > line.right())
            break;
        pills.append({QRectF(x, line.y(), width, line.height()), tag});
        x += width + kTagSpacing;
    }
    return pills;
}

ItemRowLayout::Hit ItemRowLayout::hitTest(const QPointF& point, const QRectF& frame) const
{
    if (rectForStar(frame).adjusted(-2, -1, 1, 1).contains(point))
        return Hit::Star;
    if (isShowingIcon() && rectForIconIn(frame).contains(point))
        return Hit::Icon;
    if (isShowingAvatar(frame) && rectForAvatarIn(frame).adjusted(-4, -4, 4, 4).contains(point))
        return Hit::Avatar;
    return Hit::None;
}

} // namespace qv
