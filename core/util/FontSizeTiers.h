#pragma once

#include <QString>

namespace qv {

class Preferences;

// The board's font-size tiers, kept in the preference "FONT_TIER" (0 to 8).
class FontSizeTiers {
public:
    FontSizeTiers() = delete;

    static constexpr int kMinTier = 0;
    static constexpr int kMaxTier = 8;
    static QString key() { return QStringLiteral("FONT_TIER"); }

    // The stored tier; a value set by hand outside 0..8 reads as the nearest end.
    static int currentTier(const Preferences& preferences);
    // Base font size and quadrant row height of a tier (clamped to 0..8), in points.
    static float fontSize(int tier);
    static float rowHeight(int tier);
    static float currentFontSize(const Preferences& preferences);
    static float currentQuadrantRowHeight(const Preferences& preferences);

    // One tier up or down; nothing (and no log line) at the ends.
    static void increaseFontTier(Preferences& preferences);
    static void decreaseFontTier(Preferences& preferences);
};

} // namespace qv
