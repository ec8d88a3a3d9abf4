#include "core/util/StringToLighterColorTransformer.h"

#include "core/util/ColorString.h"

namespace qv {

QMetaType StringToLighterColorTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QColor>();
}

QVariant StringToLighterColorTransformer::transformedValue(const QVariant& value) const
{
    const std::optional<QColor> color = ColorString::colorWithString(value.toString());
    if (!color || !color->isValid())
        return QColor(Qt::white);
    return lighterColor(*color);
}

QColor StringToLighterColorTransformer::lighterColor(const QColor& color)
{
    float hue = 0;
    float saturation = 0;
    float brightness = 0;
    float alpha = 1;
    color.toHsv().getHsvF(&hue, &saturation, &brightness, &alpha);
    if (hue < 0)
        hue = 0; // achromatic
    return QColor::fromHsvF(hue, saturation / 5.0f, (brightness + 4.0f) / 5.0f, alpha);
}

} // namespace qv
