#pragma once

#include "core/model/TODOItem.h"

#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace qv {

class Clock;
class Preferences;

// What one item row shows, read from the item once per paint.
struct ItemRowContent {
    QString title;                 // the name; "Empty name" for an item without one
    bool hasIcon = false;          // the row icon exists with its due-date badge
    bool hasBadgeFreeIcon = false; // and without it (an item with only a due date has none)
    double completionPercentage = 0;
    bool hasDueDate = false;
    QString dueLabel;     // the badge's label ("due", "next", "3d"); empty without a due date
    bool overdue = false; // due on a calendar day before today
    bool highlight = false;
    bool hasFiles = false;
    TODOItem::Recurrence recurrence = TODOItem::Recurrence::Never;
    QString link;
    QString ownerUsername;
    bool starred = false;
    QStringList tags;
    QString notes;

    static ItemRowContent fromItem(TODOItem& item, bool hasIcon, bool hasBadgeFreeIcon, const Clock& clock);
};

// The user's display choices that shape a row.
struct ItemRowSettings {
    double fontSize = 12;  // the font tier's base size
    double rowHeight = 28; // the font tier's row height
    QFont font;            // the family the row's texts are drawn in
    bool hidingItemIcons = false;
    bool hidingExtraInfo = false;
    bool hidingItemTags = false;
    bool showingStar = false;
    bool hidingAvatars = false;
    bool forceHideAvatar = false;

    // "kHidingItemIcons", "kIsHidingExtraInfo", "kIsHidingItemTags", "kIsShowingStar",
    // "kHidingAvatarsInItems" and the font tier.
    static ItemRowSettings fromPreferences(const Preferences& preferences, const QFont& font = QFont());
    // The settings of a font tier with every mark shown.
    static ItemRowSettings forTier(int tier, const QFont& font = QFont());
};

// Where each mark of an item row goes in a row frame (x, y, width w, height h; y grows downward)
// and which marks show. From the left: a gutter with the star at its top, the recurrence "+"
// beside it and the paperclip or link mark at its bottom (on short rows the star, the paperclip
// or link and the "+" in a line); the icon with the completion under it;
// the title over the tags or the notes line; the owner's picture at the right end. The check box
// has a column of its own. No two marks share a pixel and every text fits its place at every
// font tier; what a small tier cannot show legibly (the due-date badge, the completion's
// percentage) is left out there, and an overdue item then says so by its title's colour.
class ItemRowLayout {
public:
    ItemRowLayout(ItemRowContent content, ItemRowSettings settings);

    const ItemRowContent& content() const { return m_content; }
    const ItemRowSettings& settings() const { return m_settings; }

    bool isShowingIcon() const;
    // The icon carries its due-date badge only where the badge can be read.
    bool isShowingDueBadge() const;
    bool isShowingCompletionBar() const;
    // The percentage beside the bar, at the tiers with room for it.
    bool isShowingCompletionText() const;
    bool isShowingExtraItemInfo() const;
    bool isShowingTags() const;
    // A row too short for a line of tags under the title shows them beside the title instead.
    bool isShowingTagsBesideTitle() const;
    // From font size 15 up, when the notes have a line with content.
    bool isShowingNotes() const;
    bool isShowingRecurrence() const;
    bool isShowingLink() const;
    bool isShowingStar() const;
    bool isShowingAvatar(const QRectF& frame) const;
    // Rows too short for the star over the paperclip or link show them side by side.
    bool isShowingMarksSideBySide() const;

    // The first line of the notes with content; null without one.
    QString notesLine() const;
    // The size of the notes and recurrence text: 8, or the base size less 6 when that is larger.
    int smallTextSize() const;
    // A completed item (100 % or more) has its title struck through.
    bool isTitleStruckThrough() const;
    // An overdue item not yet at 100 % draws its title and notes in the overdue colour.
    bool usesOverdueColour() const;
    // Where the badge does not show (icons hidden, or a tier too small to read it), the
    // overdue colour is a red that tells the item apart by itself.
    bool tellsOverdueByColour() const;
    // "40%": the completion as a whole percentage.
    QString completionText() const;

    QFont titleFont() const;
    QFont tagFont() const;
    QFont notesFont() const;
    QFont recurrenceFont() const;
    QFont completionFont() const;

    QRectF rectForStar(const QRectF& frame) const;
    QRectF rectForFrequencyIn(const QRectF& frame) const;
    QRectF rectForLinkIn(const QRectF& frame) const;
    QRectF rectForIconIn(const QRectF& frame) const;
    // Where the badge's disc lands inside the icon; empty without a badge.
    QRectF rectForBadgeIn(const QRectF& frame) const;
    // The completion: the text and the bar; both empty without a completion bar.
    QRectF rectForCompletionTextIn(const QRectF& frame) const;
    QRectF rectForLevelIn(const QRectF& frame) const;
    QRectF rectForTitleIn(const QRectF& frame) const;
    // The line under the title, or beside its text (titleTextWidth wide) on short rows.
    QRectF rectForTagsIn(const QRectF& frame, double titleTextWidth = 0) const;
    QRectF rectForNotesIn(const QRectF& frame) const;
    // The owner's picture as drawn; empty when it does not show.
    QRectF rectForAvatarIn(const QRectF& frame) const;
    // The completion check box in its own column.
    static QRectF rectForCheckBoxIn(const QRectF& column);

    // One tag as drawn: its pill and its name.
    struct TagPill {
        QRectF rect;
        QString name;
    };
    // The tags that fit their line, in order; those that do not fit are left out.
    QList<TagPill> tagPills(const QRectF& frame, double titleTextWidth) const;

    // The part a click at point hits, tested in this order: the star (shown or not), the icon
    // (when shown), the avatar (when shown).
    enum class Hit { None, Star, Icon, Avatar };
    Hit hitTest(const QPointF& point, const QRectF& frame) const;

private:
    double markSize() const;
    double gutterRight(const QRectF& frame) const;
    double iconColumnWidth() const;
    double completionStripHeight() const;
    double iconSide() const;
    double textLeft(const QRectF& frame) const;
    double textRight(const QRectF& frame) const;
    double titleLineHeight() const;
    double tagLineHeight() const;
    // The top of the title and the height of the line under it (0 without one).
    double titleTop(const QRectF& frame) const;
    double secondLineHeight() const;

    ItemRowContent m_content;
    ItemRowSettings m_settings;
};

} // namespace qv
