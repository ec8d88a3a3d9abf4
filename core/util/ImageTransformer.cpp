#include "core/util/ImageTransformer.h"

namespace qv {

QMetaType ImageTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QImage>();
}

QVariant ImageTransformer::transformedValue(const QVariant& value) const
{
    const QString name = value.toString();
    if (name.isEmpty() || !m_source)
        return {};
    const QImage image = m_source(name);
    if (image.isNull())
        return {};
    return image;
}

} // namespace qv
