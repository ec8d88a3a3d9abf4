#pragma once

#include "core/util/ValueTransformer.h"

namespace qv {

class ValueTransformerRegistry;

// A sharing request's status as a flag: true exactly for an open one ("init"), so its answer
// buttons are enabled only while it can still be answered. No reverse transformation.
class IsInitStringValueTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override { return QMetaType::fromType<bool>(); }
    QVariant transformedValue(const QVariant& value) const override;
};

// Registers "IsInitStringValueTransformer".
void registerSharingTransformers(ValueTransformerRegistry& registry);

} // namespace qv
