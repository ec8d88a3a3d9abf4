#include "core/util/FontSizeTiers.h"

#include "core/util/UtilLogging.h"
#include "platform/Preferences.h"

#include <algorithm>
#include <array>

namespace qv {

namespace {

constexpr std::array<float, 9> kFontSizes = {10, 11, 12, 13, 14, 15, 16, 17, 18};
// Not even steps: 35, 38, 40, 45 after 32.
constexpr std::array<float, 9> kRowHeights = {20, 24, 28, 32, 35, 38, 40, 45, 50};

int clamped(int tier)
{
    return std::clamp(tier, FontSizeTiers::kMinTier, FontSizeTiers::kMaxTier);
}

} // namespace

int FontSizeTiers::currentTier(const Preferences& preferences)
{
    // A stored value beyond int (or text) must not index past the tables either.
    const qint64 stored = preferences.int64Value(key());
    return int(std::clamp<qint64>(stored, kMinTier, kMaxTier));
}

float FontSizeTiers::fontSize(int tier)
{
    return kFontSizes[std::size_t(clamped(tier))];
}

float FontSizeTiers::rowHeight(int tier)
{
    return kRowHeights[std::size_t(clamped(tier))];
}

float FontSizeTiers::currentFontSize(const Preferences& preferences)
{
    return fontSize(currentTier(preferences));
}

float FontSizeTiers::currentQuadrantRowHeight(const Preferences& preferences)
{
    return rowHeight(currentTier(preferences));
}

void FontSizeTiers::increaseFontTier(Preferences& preferences)
{
    const int tier = currentTier(preferences) + 1;
    if (tier > kMaxTier)
        return;
    preferences.setValue(key(), tier);
    qCDebug(lcUtil, "Increased to font tier %d, base size %g", tier, double(fontSize(tier)));
}

void FontSizeTiers::decreaseFontTier(Preferences& preferences)
{
    const int tier = currentTier(preferences);
    if (tier < 1)
        return;
    preferences.setValue(key(), tier - 1);
    qCDebug(lcUtil, "Decreased to font tier %d, base size %g", tier - 1, double(fontSize(tier - 1)));
}

} // namespace qv
