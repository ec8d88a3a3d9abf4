#include "ui/board/ImageFactoryForMac.h"

#include "core/util/Utils.h"
#include "platform/Clock.h"
#include "platform/store/ManagedObject.h"
#include "ui/board/BoardImages.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QMutexLocker>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <atomic>

namespace qv {

namespace {

std::atomic<ImageFactoryForMac*> g_shared{nullptr};

constexpr std::array<int, 4> kTierSizes = {128, 64, 44, 32};

// 72 dots per inch, so that a font's point size equals its pixel size on the icon.
constexpr int kDotsPerMeterAt72Dpi = 2835;

} // namespace

const QString ImageFactoryForMac::kEmptyIcon = QStringLiteral("empty_orange128.png");
const QString ImageFactoryForMac::kCompletedIcon = QStringLiteral("green_checkmark128.png");
const QString ImageFactoryForMac::kBlankImage = QStringLiteral("transparent1x1");

ImageFactoryForMac::ImageFactoryForMac(const Clock& clock, ImageSource source)
    : m_clock(clock), m_source(source ? std::move(source) : ImageSource(&BoardImages::imageNamed))
{
    ImageFactoryForMac* none = nullptr;
    g_shared.compare_exchange_strong(none, this);
}

ImageFactoryForMac::~ImageFactoryForMac()
{
    ImageFactoryForMac* self = this;
    g_shared.compare_exchange_strong(self, nullptr);
}

ImageFactoryForMac* ImageFactoryForMac::sharedInstance()
{
    return g_shared.load();
}

int ImageFactoryForMac::sizeForTier(int tier)
{
    return tier >= 0 && tier < 4 ? kTierSizes[size_t(tier)] : kTierSizes[0];
}

QString ImageFactoryForMac::prefixForTier(int tier)
{
    return tier > 0 && tier < 4 ? QString::number(kTierSizes[size_t(tier)]) : QString();
}

int ImageFactoryForMac::sizeTierForImageSize(int cellHeight)
{
    for (int tier = 3; tier >= 1; --tier) {
        if (kTierSizes[size_t(tier)] >= cellHeight)
            return tier;
    }
    return 0;
}

QString ImageFactoryForMac::erasePrefixFromImageName(const QString& name)
{
    for (const char* prefix : {"44", "64", "128"}) {
        if (name.startsWith(QLatin1String(prefix)))
            return name.mid(qsizetype(qstrlen(prefix)));
    }
    return name;
}

QString ImageFactoryForMac::prefixImageName(const QString& name, int tier)
{
    return prefixForTier(tier) + erasePrefixFromImageName(name);
}

QString ImageFactoryForMac::removeNumericPrefix(const QString& name)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    const QRegularExpressionMatch match = digits.match(name);
    if (!match.hasMatch())
        return name;
    QString result = name;
    result.remove(match.capturedStart(), match.capturedLength());
    return result;
}

bool ImageFactoryForMac::isDate(const QDateTime& date)
{
    return date.isValid() && date.toMSecsSinceEpoch() > 10;
}

QString ImageFactoryForMac::labelForDays(qint64 days)
{
    if (days < 0)
        return QStringLiteral("due");
    if (days == 0)
        return QStringLiteral("next");
    if (days < 7)
        return QStringLiteral("%1d").arg(days);
    if (days < 70)
        return QStringLiteral("%1w").arg(days / 7);
    const qint64 months = days / 30;
    if (months % 12 == 0 || days >= 750) {
        // 360 to 364 days make twelve months but no whole year: shown as one year.
        return QStringLiteral("%1y").arg(std::max<qint64>(1, days / 365));
    }
    return QStringLiteral("%1m").arg(months);
}

QString ImageFactoryForMac::dueDateLabel(const QDateTime& date) const
{
    if (!isDate(date))
        return {};
    return labelForDays(Utils::daysFromDate(m_clock.now(), date));
}

int ImageFactoryForMac::cachedImageCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_images.size());
}

QImage ImageFactoryForMac::loadImage(const QString& name, QString* loadedName) const
{
    QStringList attempts{name};
    attempts << QString(name).replace(QStringLiteral(".png"), QStringLiteral("128.png"));
    const QString withoutDigits = removeNumericPrefix(name);
    if (withoutDigits != name)
        attempts << withoutDigits;
    attempts << kEmptyIcon;
    for (const QString& attempt : attempts) {
        QImage image = m_source(attempt);
        if (!image.isNull()) {
            *loadedName = attempt;
            return image;
        }
    }
    *loadedName = kEmptyIcon;
    return {};
}

QImage ImageFactoryForMac::imageNamed(const QString& name, const QDateTime& date, int cellHeight,
                                      int completion, bool rewritingPrefix)
{
    const QString asked = name.isEmpty() ? kEmptyIcon : name;
    const QDateTime due = isDate(date) ? date : QDateTime();
    if (completion > 99 && asked == kEmptyIcon)
        return {};

    const int tier = sizeTierForImageSize(cellHeight);
    const QString used = rewritingPrefix ? prefixImageName(asked, tier) : asked;
    const QString label = dueDateLabel(due);
    const QString key = QStringLiteral("%1:%2:%3")
                            .arg(used, label.isNull() ? QStringLiteral("(null)") : label)
                            .arg(completion);
    {
        QMutexLocker lock(&m_mutex);
        const auto cached = m_images.constFind(key);
        if (cached != m_images.constEnd())
            return *cached;
    }

    QString loadedName;
    const QImage image = loadImage(used, &loadedName);

    const bool centered = asked == kEmptyIcon;
    int x = 0;
    int y = 0;
    if (centered) {
        x = y = image.width() / 2;
    } else {
        const int size = sizeForTier(tier);
        x = size * 40 / 128;
        y = size / 4;
    }
    const bool badge = completion <= 99 && !label.isNull();
    const QImage result = addDateToImage(image, loadedName, badge ? label : QString(), x, y, centered);

    QMutexLocker lock(&m_mutex);
    m_images.insert(key, result);
    return result;
}

qreal ImageFactoryForMac::badgeFontSize(const QString& label, int imageWidth, bool centered)
{
    // Measured on a canvas like the badge's, where a point is a pixel.
    QImage canvas(1, 1, QImage::Format_ARGB32_Premultiplied);
    canvas.setDotsPerMeterX(kDotsPerMeterAt72Dpi);
    canvas.setDotsPerMeterY(kDotsPerMeterAt72Dpi);
    const qreal base = 0.375 * imageWidth;
    const qreal radius = centered ? base : 0.75 * base;
    QFont font(QStringLiteral("Helvetica"));
    qreal size = base;
    font.setPointSizeF(size);
    for (int k = 0; k <= 7 && QFontMetricsF(font, &canvas).horizontalAdvance(label) > 2 * radius; ++k) {
        size = base * (1 - k / 10.0);
        font.setPointSizeF(size);
    }
    return size;
}

QImage ImageFactoryForMac::addDateToImage(const QImage& image, const QString& imageName, const QString& label,
                                          int x, int y, bool centered) const
{
    const int width = std::max(1, image.width());
    const int height = std::max(1, image.height());
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.setDotsPerMeterX(kDotsPerMeterAt72Dpi);
    canvas.setDotsPerMeterY(kDotsPerMeterAt72Dpi);
    canvas.fill(Qt::transparent);

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // An empty icon shows only its badge.
    const QImage drawn = imageName.contains(QLatin1String("empty_orange128")) ? m_source(kBlankImage) : image;
    if (!drawn.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRectF(0, 0, width, height), drawn);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (label.isEmpty())
        return canvas;

    QColor fill;
    if (label == QLatin1String("due"))
        fill = QColor::fromRgbF(1, 0, 0, 0.7f);
    else if (label == QLatin1String("next"))
        fill = QColor::fromRgbF(0, 0.74609375f, 1, 0.7f);
    else
        fill = QColor::fromRgbF(0.4f, 0.4f, 0.4f, 1);
    const QColor text = label == QLatin1String("next") ? Qt::black : Qt::white;

    const qreal base = 0.375 * width;
    const qreal radius = centered ? base : 0.75 * base;
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QPointF(x, y), radius, radius);

    QFont font(QStringLiteral("Helvetica"));
    font.setPointSizeF(badgeFontSize(label, width, centered));
    const QFontMetricsF metrics(font, &canvas);
    const qreal labelWidth = metrics.horizontalAdvance(label);
    const qreal labelHeight = metrics.height();
    painter.setFont(font);
    painter.setPen(text);
    painter.drawText(QPointF(x - labelWidth / 2, y + labelHeight / 3), label);
    painter.end();
    return canvas;
}

QImage ImageTransformerEnhanced::transformedValue(const store::ManagedObject* item, bool dueBadge) const
{
    if (!item)
        return {};
    const QString icon = item->value(QStringLiteral("icon")).toString();
    const QDateTime due = dueBadge ? item->value(QStringLiteral("dueDate")).toDateTime() : QDateTime();
    const int completion = item->value(QStringLiteral("completionPercentage")).toInt();
    const bool plainIcon = icon.isEmpty() || icon == ImageFactoryForMac::kEmptyIcon ||
                           icon == ImageFactoryForMac::kCompletedIcon;
    if (plainIcon && !ImageFactoryForMac::isDate(due))
        return {};
    return m_factory.imageNamed(icon, due, 40, completion, true);
}

} // namespace qv
