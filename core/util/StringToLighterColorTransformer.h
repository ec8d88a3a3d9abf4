#pragma once

#include "core/util/ValueTransformer.h"

#include <QColor>

namespace qv {

// A stored colour string as the pale tint of that colour that quadrant tables and the item
// drawer use as their background; white when there is no readable colour.
class StringToLighterColorTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override;
    QVariant transformedValue(const QVariant& value) const override;

    // The same hue and alpha, a fifth of the saturation and four fifths of the way to full
    // brightness.
    static QColor lighterColor(const QColor& color);
};

} // namespace qv
