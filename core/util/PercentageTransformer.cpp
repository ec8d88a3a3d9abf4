#include "core/util/PercentageTransformer.h"

#include <QString>

namespace qv {

QMetaType PercentageTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QString>();
}

QVariant PercentageTransformer::transformedValue(const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return {};
    const int percent = intValue(value);
    if (percent <= 0)
        return QStringLiteral("Progress");
    return QString::asprintf("%d%% done", percent);
}

} // namespace qv
