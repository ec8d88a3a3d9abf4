#pragma once

#include <QMetaType>
#include <QVariant>

namespace qv {

// A stateless conversion of a model or settings value for display, bound by the views.
class ValueTransformer {
public:
    virtual ~ValueTransformer() = default;

    // The type of what transformedValue() gives.
    virtual QMetaType transformedValueClass() const = 0;
    virtual bool allowsReverseTransformation() const { return false; }
    virtual QVariant transformedValue(const QVariant& value) const = 0;
    // Only for transformers that allow it; the others give an invalid value.
    virtual QVariant reverseTransformedValue(const QVariant&) const { return {}; }

    // Number readings shared by the transformers: fractions are truncated toward zero,
    // texts give their leading number (0 when there is none), out-of-range values saturate.
    static int intValue(const QVariant& value);
    static float floatValue(const QVariant& value);
};

} // namespace qv
