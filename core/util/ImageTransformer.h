#pragma once

#include "core/util/ValueTransformer.h"

#include <QImage>
#include <QString>

#include <functional>

namespace qv {

// An image name as the application's image of that name, as the image factory answers it.
class ImageTransformer final : public ValueTransformer {
public:
    using ImageSource = std::function<QImage(const QString& name)>;

    explicit ImageTransformer(ImageSource source) : m_source(std::move(source)) {}

    QMetaType transformedValueClass() const override;
    // An invalid value when there is no image of that name.
    QVariant transformedValue(const QVariant& value) const override;

private:
    ImageSource m_source;
};

} // namespace qv
