#include "core/util/StringToColorTransformer.h"

#include "core/util/ColorString.h"

#include <QColor>

namespace qv {

QMetaType StringToColorTransformer::transformedValueClass() const
{
    return QMetaType::fromType<QColor>();
}

QVariant StringToColorTransformer::transformedValue(const QVariant& value) const
{
    const QString text = value.toString();
    if (text.isEmpty())
        return QColor(Qt::white);
    return ColorString::colorWithString(text).value_or(QColor(Qt::white));
}

} // namespace qv
