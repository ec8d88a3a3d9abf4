#include "ui/board/QuadrantColors.h"

#include "core/model/TODOList.h"
#include "core/util/ColorString.h"

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
    float hue = 0;
    float saturation = 0;
    float brightness = 0;
    float alpha = 0;
    color.toHsv().getHsvF(&hue, &saturation, &brightness, &alpha);
    if (hue < 0)
        hue = 0; // achromatic
    return QColor::fromHsvF(hue, saturation / 5.0f, (brightness + 4.0f) / 5.0f, alpha);
}

QColor QuadrantColors::textColorOn(const QColor& background)
{
    return ColorString::textColorForBackground(background);
}

} // namespace qv
