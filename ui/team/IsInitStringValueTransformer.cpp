#include "ui/team/IsInitStringValueTransformer.h"

#include "core/util/ValueTransformerRegistry.h"
#include "sync/User.h"

namespace qv {

QVariant IsInitStringValueTransformer::transformedValue(const QVariant& value) const
{
    const bool isText = value.metaType() == QMetaType::fromType<QString>();
    return isText && value.toString() == SharingRequest::kInit;
}

void registerSharingTransformers(ValueTransformerRegistry& registry)
{
    registry.registerTransformer(QStringLiteral("IsInitStringValueTransformer"),
                                 std::make_shared<IsInitStringValueTransformer>());
}

} // namespace qv
