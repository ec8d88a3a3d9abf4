#pragma once

#include "core/util/ValueTransformer.h"

namespace qv {

// A stored colour string as a colour; white when there is none or it cannot be read.
class StringToColorTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override;
    QVariant transformedValue(const QVariant& value) const override;
};

} // namespace qv
