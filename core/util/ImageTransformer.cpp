#include "core/util/ImageTransformer.h"

namespace qv {

QMetaType ImageTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QImage>();
}

QVariant ImageTransformer::transformedValue(const QVariant& value) const
{
    const QImage image = imageNamed(value.toString());
    if (image.isNull())
        return {};
    return image;
}

QImage ImageTransformer::imageNamed(const QString& name)
{
    if (name.isEmpty() || name.contains(u'/'))
        return {};
    return QImage(QStringLiteral(":/images/") + name);
}

} // namespace qv
