#pragma once

#include "core/util/ValueTransformer.h"

#include <QImage>
#include <QString>

namespace qv {

// An image name as the application's image of that name.
class ImageTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override;
    // An invalid value when there is no image of that name.
    QVariant transformedValue(const QVariant& value) const override;

    // The application's images live under ":/images/".
    static QImage imageNamed(const QString& name);
};

} // namespace qv
