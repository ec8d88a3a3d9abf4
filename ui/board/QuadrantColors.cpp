#include "ui/board/QuadrantColors.h"

#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "core/util/StringToLighterColorTransformer.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace qv {

QColor QuadrantColors::quadrantColor(const TODOList* project, int quadrant)
{
    const QColor none = QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1.0f);
    if (!project)
        return none;
    QString text;
    switch (quadrant) {
    case 0:
        text = project->colorFirstQuadrant();
        break;
    case 1:
        text = project->colorSecondQuadrant();
        break;
    case 2:
        text = project->colorThirdQuadrant();
        break;
    case 3:
        text = project->colorFourthQuadrant();
        break;
    default:
        return none;
    }
    const std::optional<QColor> color = ColorString::colorWithString(text);
    return color && color->isValid() ? *color : none;
}

QColor QuadrantColors::lighterColor(const QColor& color)
{
    return StringToLighterColorTransformer::lighterColor(color);
}

QColor QuadrantColors::textColorOn(const QColor& background)
{
    return ColorString::textColorForBackground(background);
}

namespace {

double relativeLuminance(const QColor& color)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

double QuadrantColors::contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor QuadrantColors::contrastingTextColorOn(const QColor& background)
{
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, black) >= contrastRatio(background, white) ? black : white;
}

QColor QuadrantColors::readableOn(const QColor& ink, const QColor& background)
{
    constexpr double kReadable = 4.5;
    if (contrastRatio(ink, background) >= kReadable)
        return ink;
    const QColor target = contrastingTextColorOn(background);
    const QColor from = ink.toRgb();
    for (int step = 1; step <= 10; ++step) {
        const double t = step / 10.0;
        // Judged as it is drawn and written out: eight bits a channel.
        const QColor mixed(QColor::fromRgbF(float(from.redF() + (target.redF() - from.redF()) * t),
                                            float(from.greenF() + (target.greenF() - from.greenF()) * t),
                                            float(from.blueF() + (target.blueF() - from.blueF()) * t))
                               .rgb());
        if (contrastRatio(mixed, background) >= kReadable)
            return mixed;
    }
    return target;
}

QColor QuadrantColors::mixed(const QColor& from, const QColor& to, double share)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

bool QuadrantColors::isDark(const QPalette& desktop)
{
    return desktop.color(QPalette::Window).lightnessF() < 0.5;
}

QColor QuadrantColors::tableColor(const QColor& quadrant, const QPalette& desktop)
{
    if (!isDark(desktop))
        return lighterColor(quadrant);
    // A quarter of the quadrant's colour over the theme's own background.
    constexpr float kShare = 0.25f;
    const QColor base = desktop.color(QPalette::Base).toRgb();
    const QColor tint = quadrant.toRgb();
    return QColor::fromRgbF(base.redF() + (tint.redF() - base.redF()) * kShare,
                            base.greenF() + (tint.greenF() - base.greenF()) * kShare,
                            base.blueF() + (tint.blueF() - base.blueF()) * kShare);
}

} // namespace qv
