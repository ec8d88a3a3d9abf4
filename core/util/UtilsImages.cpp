#include "core/util/Utils.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextOption>

namespace qv {

QImage Utils::imageResize(const QImage& image, const QSizeF& newSize)
{
    if (image.isNull())
        return {};
    const QSize pixels(int(newSize.width()), int(newSize.height()));
    if (pixels.isEmpty())
        return {};
    QImage resized(pixels, QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(pixels)), image);
    return resized;
}

QImage Utils::roundCorners(const QImage& image)
{
    if (image.height() == 0)
        return image;
    const qreal w = image.width();
    const qreal h = image.height();
    QImage rounded(image.size(), QImage::Format_ARGB32_Premultiplied);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
    QPainterPath clip;
    clip.setFillRule(Qt::OddEvenFill);
    clip.addRoundedRect(QRectF(0, 0, w, h), w / 6, h / 6);
    painter.setClipPath(clip);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPointF(0, 0), image);
    return rounded;
}

QImage Utils::imageToGreyImage(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    QImage grey(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int level = qGray(in[x]);
            out[x] = qRgba(level, level, level, qAlpha(in[x]));
        }
    }
    return grey;
}

QImage Utils::nsImageToCGImageRef(const QPixmap& image)
{
    if (image.isNull())
        return {};
    return image.toImage();
}

QPixmap Utils::imageFromCGImageRef(const QImage& bitmap)
{
    if (bitmap.isNull())
        return {};
    // Its size in points is the bitmap's size in pixels.
    QPixmap pixmap = QPixmap::fromImage(bitmap);
    pixmap.setDevicePixelRatio(1.0);
    return pixmap;
}

float Utils::heightForString(const QString& text, const QFont& font, float width)
{
    if (text.isEmpty())
        return 0;
    QTextDocument document;
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setPlainText(text);
    document.setTextWidth(qreal(width));
    return float(document.size().height());
}

} // namespace qv
