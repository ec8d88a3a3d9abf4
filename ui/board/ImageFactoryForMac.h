#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>

#include <functional>

namespace qv {

class Clock;

namespace store {
class ManagedObject;
}

// Makes the icon at the left of an item row: the item's named icon at the size tier that fits
// the row, with a round due-date badge ("due", "next", 3d, 2w, 4m, 1y) painted on it. Every
// finished icon is kept under its name, badge label and completion for the program's life.
// The name is historical: this is the item icon renderer on every system.
class ImageFactoryForMac {
public:
    // Looks an image up by name; a null image when there is none.
    using ImageSource = std::function<QImage(const QString& name)>;

    static const QString kEmptyIcon;     // "empty_orange128.png": no icon chosen
    static const QString kCompletedIcon; // "green_checkmark128.png"
    static const QString kBlankImage;    // "transparent1x1"

    // The clock tells today for the badge labels. Without a source, BoardImages answers.
    explicit ImageFactoryForMac(const Clock& clock, ImageSource source = {});
    ~ImageFactoryForMac();
    ImageFactoryForMac(const ImageFactoryForMac&) = delete;
    ImageFactoryForMac& operator=(const ImageFactoryForMac&) = delete;

    // The first factory made and still alive; nullptr when there is none.
    static ImageFactoryForMac* sharedInstance();

    // The icon for an item: name (empty means no icon), due date (a date at most 0.01 s after
    // 1970, or an invalid one, is none), the row height in points, the completion 0-100, and
    // whether the name is rewritten to the tier's size prefix. A null image for the empty icon
    // of a completed item (completion above 99).
    QImage imageNamed(const QString& name, const QDateTime& date, int cellHeight, int completion,
                      bool rewritingPrefix);

    // The badge label for a date ("due", "next", "3d", "2w", "4m", "1y"); a null string for no date.
    QString dueDateLabel(const QDateTime& date) const;
    // The label for a count of whole calendar days from today.
    static QString labelForDays(qint64 days);
    static bool isDate(const QDateTime& date);

    // Size tiers: 0 = 128 px, 1 = 64, 2 = 44, 3 = 32; name prefixes "", "64", "44", "32".
    static int sizeForTier(int tier);
    static QString prefixForTier(int tier);
    // The smallest tier size that holds the height: up to 32 tier 3, 33-44 tier 2,
    // 45-64 tier 1, above tier 0.
    static int sizeTierForImageSize(int cellHeight);
    // Drops a leading "44", "64" or "128" (tried in that order; "32" stays).
    static QString erasePrefixFromImageName(const QString& name);
    static QString prefixImageName(const QString& name, int tier);
    // The name without its first run of decimal digits; the name itself when it has none.
    static QString removeNumericPrefix(const QString& name);

    // The size the badge's label is written at on an icon imageWidth pixels wide: the largest
    // of eight falling sizes at which it fits across the disc.
    static qreal badgeFontSize(const QString& label, int imageWidth, bool centered);

    int cachedImageCount() const;

private:
    QImage loadImage(const QString& name, QString* loadedName) const;
    QImage addDateToImage(const QImage& image, const QString& imageName, const QString& label, int x, int y,
                          bool centered) const;

    const Clock& m_clock;
    ImageSource m_source;
    mutable QMutex m_mutex;
    QHash<QString, QImage> m_images;
};

// Turns an item into its row icon: nothing for an item without icon (or with the empty or the
// completed icon) and without due date; otherwise the factory's icon for a 40-point row
// (tier 2), the name rewritten to its "44" form. Without the due-date badge (rows too small to
// read it), an item with no icon of its own has none.
class ImageTransformerEnhanced {
public:
    explicit ImageTransformerEnhanced(ImageFactoryForMac& factory) : m_factory(factory) {}
    QImage transformedValue(const store::ManagedObject* item, bool dueBadge = true) const;

private:
    ImageFactoryForMac& m_factory;
};

} // namespace qv
