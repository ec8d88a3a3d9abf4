#pragma once

namespace qv {

class Preferences;

// The user's font tier, the preference "FONT_TIER" (0-8): the base font size of the board and the
// row height of the quadrant tables. A stored tier outside 0-8 is read as the nearest one.
class FontTiers {
public:
    FontTiers() = delete;

    static constexpr int kLowest = 0;
    static constexpr int kHighest = 8;
    static const char* const kKey;

    static int tier(const Preferences& preferences);
    // 10 to 18 points.
    static float fontSizeForTier(int tier);
    // 20, 24, 28, 32, 35, 38, 40, 45, 50 points.
    static float rowHeightForTier(int tier);
    static float currentFontSize(const Preferences& preferences);
    static float currentQuadrantRowHeight(const Preferences& preferences);

    // One tier up or down within 0-8, logged; false (and nothing logged) at the end of the range.
    static bool increaseFontTier(Preferences& preferences);
    static bool decreaseFontTier(Preferences& preferences);
};

} // namespace qv
