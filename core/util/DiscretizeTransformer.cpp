#include "core/util/DiscretizeTransformer.h"

#include <cmath>
#include <limits>

namespace qv {

QMetaType DiscretizeTransformer::transformedValueClass() const
{
    return QMetaType::fromType<int>();
}

QVariant DiscretizeTransformer::transformedValue(const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    const float f = floatValue(value);
    if (std::isnan(f))
        return 0;
    const float rounded = std::round(f); // halves away from zero
    if (rounded >= float(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= float(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(rounded);
}

QVariant DiscretizeTransformer::reverseTransformedValue(const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    return intValue(value);
}

} // namespace qv
