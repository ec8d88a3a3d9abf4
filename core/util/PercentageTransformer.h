#pragma once

#include "core/util/ValueTransformer.h"

namespace qv {

// A completion percentage as the progress label: "Progress" until something is done.
class PercentageTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override;
    QVariant transformedValue(const QVariant& value) const override;
};

} // namespace qv
