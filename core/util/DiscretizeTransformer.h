#pragma once

#include "core/util/ValueTransformer.h"

namespace qv {

// A slider's continuous value as a whole number (halves away from zero), and back.
class DiscretizeTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override;
    bool allowsReverseTransformation() const override { return true; }
    QVariant transformedValue(const QVariant& value) const override;
    QVariant reverseTransformedValue(const QVariant& value) const override;
};

} // namespace qv
