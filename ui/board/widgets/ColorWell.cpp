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
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    painter.setPen(QPen(m_color.darker(underMouse() ? 170 : 140), 1.0));
    painter.setBrush(m_color);
    painter.drawRoundedRect(swatch, 3, 3);
}

} // namespace qv
