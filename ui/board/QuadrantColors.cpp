#include "ui/board/QuadrantColors.h"

#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "core/util/StringToLighterColorTransformer.h"

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

} // namespace qv
