#include "app/WindowIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <memory>

namespace qv {

namespace {

// Every mode and state draws the same pixmaps: a window icon is never shown disabled.
class SizedFilesIconEngine final : public QIconEngine {
public:
    explicit SizedFilesIconEngine(const QList<std::pair<int, QString>>& sidesAndFiles)
    {
        for (const auto& [side, path] : sidesAndFiles)
            m_files.push_back({side, path, std::make_shared<QPixmap>()});
        std::sort(m_files.begin(), m_files.end(),
                  [](const File& a, const File& b) { return a.side < b.side; });
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        if (m_files.isEmpty() || size.isEmpty())
            return {};
        const QPixmap& whole = read(fileFor(size));
        // Never larger than asked, as QIcon's own pixmaps.
        if (whole.isNull() || (whole.width() <= size.width() && whole.height() <= size.height()))
            return whole;
        return whole.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        if (!drawn.isNull())
            painter->drawPixmap(rect, drawn);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        if (m_files.isEmpty())
            return {};
        const int side = std::min({fileFor(size).side, size.width(), size.height()});
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const File& file : m_files)
            sizes << QSize(file.side, file.side);
        return sizes;
    }

    QIconEngine* clone() const override { return new SizedFilesIconEngine(*this); }
    QString key() const override { return QStringLiteral("SizedFilesIconEngine"); }

private:
    struct File {
        int side = 0;
        QString path;
        // Shared with clones: whichever reads it first reads it for all.
        std::shared_ptr<QPixmap> pixmap;
    };

    // The smallest file at least as large as asked, else the largest.
    const File& fileFor(const QSize& size) const
    {
        const int wanted = std::max(size.width(), size.height());
        for (const File& file : m_files) {
            if (file.side >= wanted)
                return file;
        }
        return m_files.last();
    }

    static const QPixmap& read(const File& file)
    {
        if (file.pixmap->isNull())
            file.pixmap->load(file.path);
        return *file.pixmap;
    }

    QList<File> m_files;
};

} // namespace

QIcon lazyIcon(const QList<std::pair<int, QString>>& sidesAndFiles)
{
    return QIcon(new SizedFilesIconEngine(sidesAndFiles));
}

QIcon applicationIcon()
{
    QList<std::pair<int, QString>> files;
    for (const int side : {16, 48, 256})
        files.append({side, QStringLiteral(":/icons/quadrivo-%1.png").arg(side)});
    return lazyIcon(files);
}

} // namespace qv
