#pragma once

#include "core/model/TODOItem.h"

#include <QRectF>
#include <QString>
#include <QStringList>

namespace qv {

class Clock;
class Preferences;

// What one item row shows, read from the item once per paint.
struct ItemRowContent {
    QString title; // the name; "Empty name" for an item without one
    bool hasIcon = false;
    double completionPercentage = 0;
    bool hasDueDate = false;
    bool overdue = false; // due on a calendar day before today
    bool highlight = false;
    bool hasFiles = false;
    TODOItem::Recurrence recurrence = TODOItem::Recurrence::Never;
    QString link;
    QString ownerUsername;
    bool starred = false;
    QStringList tags;
    QString notes;

    static ItemRowContent fromItem(TODOItem& item, bool hasIcon, const Clock& clock);
};

// The user's display choices that shape a row.
struct ItemRowSettings {
    double fontSize = 12; // the font tier's base size
    bool hidingItemIcons = false;
    bool hidingExtraInfo = false;
    bool hidingItemTags = false;
    bool showingStar = false;
    bool hidingAvatars = false;
    bool forceHideAvatar = false;

    // "kHidingItemIcons", "kIsHidingExtraInfo", "kIsHidingItemTags", "kIsShowingStar",
    // "kHidingAvatarsInItems" and the font tier.
    static ItemRowSettings fromPreferences(const Preferences& preferences);
};

// Where each part of an item row goes in a row frame (x, y, width w, height h; y grows
// downward) and which parts show. The star, link and avatar places are measured from the
// table's left edge (x 0) and from w, not from the frame's x.
class ItemRowLayout {
public:
    ItemRowLayout(ItemRowContent content, ItemRowSettings settings);

    const ItemRowContent& content() const { return m_content; }
    const ItemRowSettings& settings() const { return m_settings; }

    bool isShowingIcon() const;
    bool isShowingCompletionBar() const;
    bool isShowingExtraItemInfo() const;
    bool isShowingTags() const;
    // A row too short for a line of tags under the title (the two smallest tiers) shows them
    // beside the title instead, on the title's line.
    bool isShowingTagsBesideTitle(const QRectF& frame) const;
    // From font size 15 up, when the notes have a line with content.
    bool isShowingNotes() const;
    bool isShowingRecurrence() const;
    bool isShowingLink() const;
    bool isShowingStar() const;
    bool isShowingAvatar(const QRectF& frame) const;

    // The first line of the notes with content; null without one.
    QString notesLine() const;
    // The size of the notes and recurrence text: 8, or the base size less 6 when that is larger.
    int smallTextSize() const;
    // A completed item (100 % or more) has its title struck through.
    bool isTitleStruckThrough() const;
    // An overdue item not yet at 100 % draws its title and notes in the overdue colour.
    bool usesOverdueColour() const;

    QRectF rectForIconIn(const QRectF& frame) const;
    // Empty without a completion bar.
    QRectF rectForLevelIn(const QRectF& frame) const;
    QRectF rectForTagsIn(const QRectF& frame) const;
    // Beside the title: from the end of its text (titleTextWidth wide) to the avatar.
    QRectF rectForTagsBesideTitleIn(const QRectF& frame, double titleTextWidth) const;
    QRectF rectForNotesIn(const QRectF& frame) const;
    QRectF rectForFrequencyIn(const QRectF& frame) const;
    QRectF rectForLinkIn(const QRectF& frame) const;
    QRectF rectForStar(const QRectF& frame) const;
    // Empty when the avatar does not show.
    QRectF rectForAvatarIn(const QRectF& frame) const;
    QRectF rectForTitleIn(const QRectF& frame) const;

    // The part a click at point hits, tested in this order: the star (shown or not), the icon
    // (when shown), the avatar (when shown).
    enum class Hit { None, Star, Icon, Avatar };
    Hit hitTest(const QPointF& point, const QRectF& frame) const;

private:
    ItemRowContent m_content;
    ItemRowSettings m_settings;
};

} // namespace qv
