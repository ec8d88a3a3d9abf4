#include "ui/board/FontTiers.h"

#include "platform/Log.h"
#include "platform/Preferences.h"

#include <algorithm>
#include <array>

namespace qv {

namespace {

constexpr std::array<float, 9> kFontSizes = {10, 11, 12, 13, 14, 15, 16, 17, 18};
constexpr std::array<float, 9> kRowHeights = {20, 24, 28, 32, 35, 38, 40, 45, 50};

int clamped(int tier)
{
    return std::clamp(tier, FontTiers::kLowest, FontTiers::kHighest);
}

} // namespace

const char* const FontTiers::kKey = "FONT_TIER";

int FontTiers::tier(const Preferences& preferences)
{
    return clamped(preferences.intValue(QLatin1String(kKey)));
}

float FontTiers::fontSizeForTier(int tier)
{
    return kFontSizes[size_t(clamped(tier))];
}

float FontTiers::rowHeightForTier(int tier)
{
    return kRowHeights[size_t(clamped(tier))];
}

float FontTiers::currentFontSize(const Preferences& preferences)
{
    return fontSizeForTier(tier(preferences));
}

float FontTiers::currentQuadrantRowHeight(const Preferences& preferences)
{
    return rowHeightForTier(tier(preferences));
}

bool FontTiers::increaseFontTier(Preferences& preferences)
{
    const int next = tier(preferences) + 1;
    if (next > kHighest)
        return false;
    preferences.setValue(QLatin1String(kKey), next);
    Log::line(
        QString::asprintf("Increased to font tier %d, base size %g", next, double(fontSizeForTier(next))));
    return true;
}

bool FontTiers::decreaseFontTier(Preferences& preferences)
{
    const int current = tier(preferences);
    if (current < 1)
        return false;
    const int next = current - 1;
    preferences.setValue(QLatin1String(kKey), next);
    Log::line(
        QString::asprintf("Decreased to font tier %d, base size %g", next, double(fontSizeForTier(next))));
    return true;
}

} // namespace qv
