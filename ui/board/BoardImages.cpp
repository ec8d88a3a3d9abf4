#include "ui/board/BoardImages.h"

#include <QColor>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <functional>

namespace qv {

namespace {

// Placeholders are drawn on a 128 x 128 design grid and scaled to the image size.
using Painter = std::function<void(QPainter&)>;

struct Placeholder {
    int width = 0;
    int height = 0;
    Painter paint;
};

const QColor kOrange(0xf0, 0x8c, 0x28);
const QColor kGreen(0x3c, 0xa0, 0x50);
const QColor kRed(0xd2, 0x3c, 0x3c);
const QColor kBlue(0x32, 0x78, 0xc8);
const QColor kYellow(0xf0, 0xc8, 0x32);
const QColor kPurple(0x8c, 0x50, 0xb4);
const QColor kGrey(0x78, 0x78, 0x78);
const QColor kDark(0x2c, 0x35, 0x39);

QPen outline(const QColor& color, qreal width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void disc(QPainter& p, const QColor& color)
{
    p.setPen(outline(color.darker(130), 4));
    p.setBrush(color);
    p.drawEllipse(QRectF(10, 10, 108, 108));
}

void emptyRing(QPainter& p)
{
    p.setPen(outline(kOrange, 10));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(16, 16, 96, 96));
}

void checkmark(QPainter& p, const QColor& color)
{
    disc(p, color);
    p.setPen(outline(Qt::white, 14));
    p.drawPolyline(QPolygonF({QPointF(36, 66), QPointF(56, 86), QPointF(94, 44)}));
}

void fileCabinet(QPainter& p, const QColor& color)
{
    p.setPen(outline(color.darker(130), 4));
    p.setBrush(color);
    p.drawRoundedRect(QRectF(28, 10, 72, 108), 8, 8);
    p.setPen(outline(Qt::white, 4));
    for (int drawer = 0; drawer < 3; ++drawer) {
        const qreal top = 18 + drawer * 33;
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(36, top, 56, 26));
        p.drawLine(QPointF(56, top + 9), QPointF(72, top + 9));
    }
}

void flag(QPainter& p, const QColor& color)
{
    p.setPen(outline(kDark, 8));
    p.drawLine(QPointF(30, 14), QPointF(30, 116));
    p.setPen(outline(color.darker(130), 4));
    p.setBrush(color);
    p.drawPolygon(QPolygonF({QPointF(34, 16), QPointF(108, 38), QPointF(34, 64)}));
}

QPolygonF starPolygon(QPointF centre, qreal outer, qreal inner)
{
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = i % 2 == 0 ? outer : inner;
        const qreal angle = M_PI / 2 + i * M_PI / 5;
        star << QPointF(centre.x() + radius * std::cos(angle), centre.y() - radius * std::sin(angle));
    }
    return star;
}

void star(QPainter& p, const QColor& fill, const QColor& line)
{
    p.setPen(outline(line, 6));
    p.setBrush(fill);
    p.drawPolygon(starPolygon(QPointF(64, 68), 56, 24));
}

void bulb(QPainter& p, const QColor& color)
{
    p.setPen(outline(color.darker(140), 4));
    p.setBrush(color);
    p.drawEllipse(QRectF(28, 10, 72, 72));
    p.setBrush(kGrey);
    p.drawRect(QRectF(48, 84, 32, 28));
}

void heart(QPainter& p, const QColor& color)
{
    QPainterPath path;
    path.moveTo(64, 112);
    path.cubicTo(10, 76, 8, 40, 36, 24);
    path.cubicTo(50, 18, 60, 26, 64, 38);
    path.cubicTo(68, 26, 78, 18, 92, 24);
    path.cubicTo(120, 40, 118, 76, 64, 112);
    p.setPen(outline(color.darker(130), 4));
    p.setBrush(color);
    p.drawPath(path);
}

void clock(QPainter& p, const QColor& color)
{
    disc(p, color);
    p.setPen(outline(Qt::white, 8));
    p.drawLine(QPointF(64, 64), QPointF(64, 30));
    p.drawLine(QPointF(64, 64), QPointF(90, 76));
}

void envelope(QPainter& p, const QColor& color)
{
    p.setPen(outline(color.darker(130), 4));
    p.setBrush(color);
    p.drawRoundedRect(QRectF(10, 28, 108, 72), 6, 6);
    p.setPen(outline(Qt::white, 6));
    p.drawPolyline(QPolygonF({QPointF(14, 34), QPointF(64, 72), QPointF(114, 34)}));
}

void plus(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 16));
    p.drawLine(QPointF(64, 20), QPointF(64, 108));
    p.drawLine(QPointF(20, 64), QPointF(108, 64));
}

void cross(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 16));
    p.drawLine(QPointF(28, 28), QPointF(100, 100));
    p.drawLine(QPointF(100, 28), QPointF(28, 100));
}

void trash(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 8));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(20, 30), QPointF(108, 30));
    p.drawLine(QPointF(50, 18), QPointF(78, 18));
    p.drawPolygon(QPolygonF({QPointF(30, 34), QPointF(98, 34), QPointF(90, 112), QPointF(38, 112)}));
}

void duplicate(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(16, 16, 64, 64));
    p.drawRect(QRectF(48, 48, 64, 64));
}

void person(QPainter& p, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color.lighter(160));
    p.drawEllipse(QRectF(0, 0, 128, 128));
    p.setBrush(color);
    p.drawEllipse(QRectF(40, 20, 48, 48));
    p.drawChord(QRectF(20, 72, 88, 96), 0, 180 * 16);
}

void hourglass(QPainter& p, const QColor& color)
{
    p.setPen(outline(kDark, 6));
    p.setBrush(color);
    p.drawPolygon(QPolygonF({QPointF(28, 14), QPointF(100, 14), QPointF(64, 64), QPointF(100, 114),
                             QPointF(28, 114), QPointF(64, 64)}));
}

void paperclip(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 10));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(40, 10, 48, 108), 24, 24);
    p.drawLine(QPointF(64, 36), QPointF(64, 92));
}

void link(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 10));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(10, 44, 64, 40), 20, 20);
    p.drawRoundedRect(QRectF(54, 44, 64, 40), 20, 20);
}

void feed(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(12, 20, 104, 70), 12, 12);
    p.drawPolyline(QPolygonF({QPointF(40, 90), QPointF(36, 112), QPointF(62, 90)}));
}

void inbox(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 8));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({QPointF(12, 64), QPointF(34, 20), QPointF(94, 20), QPointF(116, 64),
                             QPointF(116, 108), QPointF(12, 108)}));
    p.drawPolyline(QPolygonF({QPointF(12, 64), QPointF(44, 64), QPointF(52, 80), QPointF(76, 80),
                              QPointF(84, 64), QPointF(116, 64)}));
}

void incoming(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(14, 14, 100, 100));
    p.drawLine(QPointF(64, 14), QPointF(64, 114));
    p.drawLine(QPointF(14, 64), QPointF(114, 64));
}

void sync(QPainter& p, const QColor& color)
{
    p.setPen(outline(color, 12));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(20, 20, 88, 88), 30 * 16, 150 * 16);
    p.drawArc(QRectF(20, 20, 88, 88), 210 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF({QPointF(96, 20), QPointF(110, 54), QPointF(78, 48)}));
    p.drawPolygon(QPolygonF({QPointF(32, 108), QPointF(18, 74), QPointF(50, 80)}));
}

struct ItemIcon {
    QString name;
    Painter paint;
};

const std::vector<ItemIcon>& itemIcons()
{
    static const std::vector<ItemIcon> icons = {
        {QStringLiteral("empty_orange128.png"), emptyRing},
        {QStringLiteral("green_checkmark128.png"),
         [](QPainter& p) {
             checkmark(p, kGreen);
         }},
        {QStringLiteral("green_filecabinet128.png"),
         [](QPainter& p) {
             fileCabinet(p, kGreen);
         }},
        {QStringLiteral("red_flag128.png"),
         [](QPainter& p) {
             flag(p, kRed);
         }},
        {QStringLiteral("blue_flag128.png"),
         [](QPainter& p) {
             flag(p, kBlue);
         }},
        {QStringLiteral("yellow_star128.png"),
         [](QPainter& p) {
             star(p, kYellow, kYellow.darker(140));
         }},
        {QStringLiteral("yellow_bulb128.png"),
         [](QPainter& p) {
             bulb(p, kYellow);
         }},
        {QStringLiteral("purple_heart128.png"),
         [](QPainter& p) {
             heart(p, kPurple);
         }},
        {QStringLiteral("grey_clock128.png"),
         [](QPainter& p) {
             clock(p, kGrey);
         }},
        {QStringLiteral("blue_envelope128.png"),
         [](QPainter& p) {
             envelope(p, kBlue);
         }},
        {QStringLiteral("red_circle128.png"),
         [](QPainter& p) {
             disc(p, kRed);
         }},
        {QStringLiteral("blue_circle128.png"),
         [](QPainter& p) {
             disc(p, kBlue);
         }},
    };
    return icons;
}

const QHash<QString, Placeholder>& placeholders()
{
    static const QHash<QString, Placeholder> table = [] {
        QHash<QString, Placeholder> t;
        for (const ItemIcon& icon : itemIcons()) {
            t.insert(icon.name, {128, 128, icon.paint});
            for (int size : {32, 44, 64})
                t.insert(QString::number(size) + icon.name, {size, size, icon.paint});
        }
        const auto add = [&t](const char* name, int size, Painter paint) {
            t.insert(QString::fromLatin1(name), {size, size, std::move(paint)});
        };
        add("transparent1x1", 1, [](QPainter&) {});
        add("UI_Icon_mac_add", 32, [](QPainter& p) { plus(p, kDark); });
        add("UI_Icon_mac_done", 32, [](QPainter& p) { checkmark(p, kGrey); });
        add("UI_Icon_mac_delete", 32, [](QPainter& p) { cross(p, kDark); });
        add("UI_Icon_mac_duplicate_selected", 32, [](QPainter& p) { duplicate(p, kBlue); });
        add("UI_Icon_mac_done_selected", 32, [](QPainter& p) { checkmark(p, kGreen); });
        add("UI_Icon_mac_trash_selected", 32, [](QPainter& p) { trash(p, kRed); });
        add("UI_icon_mac_paperclip", 16, [](QPainter& p) { paperclip(p, kDark); });
        add("UI_icon_mac_link", 16, [](QPainter& p) { link(p, kDark); });
        add("star_on", 16, [](QPainter& p) { star(p, kYellow, kYellow.darker(140)); });
        add("star_off.png", 16, [](QPainter& p) { star(p, Qt::transparent, kGrey); });
        add("UI_Icon_all_no_assignee_80", 80, [](QPainter& p) { person(p, kGrey); });
        add("UI_Icon_all_no_assignee_40", 40, [](QPainter& p) { person(p, kGrey); });
        add("sand-clock.png", 80, [](QPainter& p) { hourglass(p, kYellow); });
        add("UI_Icon_mac_feed.png", 24, [](QPainter& p) { feed(p, kDark); });
        add("UI_Icon_mac_feed_red.png", 24, [](QPainter& p) { feed(p, kRed); });
        add("UI_Icon_mac_inbox.png", 24, [](QPainter& p) { inbox(p, kDark); });
        add("UI_Icon_mac_inbox_red.png", 24, [](QPainter& p) { inbox(p, kRed); });
        add("UI_Icon_mac_incoming_project.png", 24, [](QPainter& p) { incoming(p, kDark); });
        add("UI_Icon_mac_incoming_project_red.png", 24, [](QPainter& p) { incoming(p, kRed); });
        add("UI_icon_mac_sync_green.png", 24, [](QPainter& p) { sync(p, kGreen); });
        add("UI_icon_mac_sync_red.png", 24, [](QPainter& p) { sync(p, kRed); });
        add("mac_sync_offline", 24, [](QPainter& p) { person(p, kGrey); });
        return t;
    }();
    return table;
}

QImage render(const Placeholder& placeholder)
{
    QImage image(placeholder.width, placeholder.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(placeholder.width / 128.0, placeholder.height / 128.0);
    placeholder.paint(painter);
    painter.end();
    return image;
}

} // namespace

QImage BoardImages::imageNamed(const QString& name)
{
    if (name.isEmpty() || name.contains(u'/'))
        return {};
    const QString shipped = QStringLiteral(":/images/") + name;
    if (QFile::exists(shipped)) {
        QImage image(shipped);
        if (!image.isNull())
            return image;
    }
    const auto found = placeholders().constFind(name);
    if (found == placeholders().constEnd())
        return {};

    // Drawn once per name; the pictures never change while the program runs.
    static QMutex mutex;
    static QHash<QString, QImage> drawn;
    QMutexLocker lock(&mutex);
    auto cached = drawn.constFind(name);
    if (cached != drawn.constEnd())
        return *cached;
    const QImage image = render(*found);
    drawn.insert(name, image);
    return image;
}

QStringList BoardImages::itemIconNames()
{
    QStringList names;
    for (const ItemIcon& icon : itemIcons())
        names << icon.name;
    return names;
}

QStringList BoardImages::placeholderNames()
{
    QStringList names = placeholders().keys();
    names.sort();
    return names;
}

} // namespace qv
