#include "ui/board/widgets/ColorWell.h"

#include <QColorDialog>
#include <QPainter>

namespace qv {

ColorWell::ColorWell(QWidget* parent) : QToolButton(parent), m_color(Qt::white)
{
    setObjectName(QStringLiteral("quadrantColorWell"));
    setFixedSize(18, 18);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Choose the quadrant’s color"));
    setFocusPolicy(Qt::NoFocus);
    m_chooser = [](const QColor& current, QWidget* parentWidget) {
        return QColorDialog::getColor(current, parentWidget, QStringLiteral("Quadrant Color"));
    };
    connect(this, &QToolButton::clicked, this, &ColorWell::chooseColor);
}

void ColorWell::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void ColorWell::chooseColor()
{
    if (!m_chooser)
        return;
    const QColor chosen = m_chooser(m_color, window());
    if (!chosen.isValid())
        return;
    setColor(chosen);
    emit colorChosen(chosen);
}

void ColorWell::paintEvent(QPaintEvent*)
{
    // A bezel around the swatch: the swatch alone, in the header's own colour, read as an empty
    // check box.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bezel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(palette().color(QPalette::Shadow), 1.0));
    painter.setBrush(palette().color(underMouse() ? QPalette::Midlight : QPalette::Button));
    painter.drawRoundedRect(bezel, 3, 3);
    const QRectF swatch = bezel.adjusted(3, 3, -3, -3);
    painter.setPen(QPen(m_color.darker(160), 1.0));
    painter.setBrush(m_color);
    painter.drawRect(swatch);
}

} // namespace qv
