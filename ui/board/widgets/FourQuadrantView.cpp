#include "ui/board/widgets/FourQuadrantView.h"

#include "ui/board/CrossPosition.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/widgets/QuadrantView.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace qv {

namespace {

constexpr int kGap = 6;
// Between the title bar's button and its right edge, and between the button and the title.
constexpr int kHeaderButtonGap = 6;

} // namespace

QuadrantPanel::QuadrantPanel(QuadrantView* table, QWidget* parent)
    : QWidget(parent), m_table(table), m_header(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_header->setObjectName(QStringLiteral("quadrantHeader"));
    m_header->setTextFormat(Qt::PlainText);
    m_header->setContentsMargins(10, 4, 10, 4);
    layout->addWidget(m_header);
    layout->addWidget(table, 1);
    setColor(QColor::fromRgbF(0.9f, 0.9f, 0.9f));
}

void QuadrantPanel::setTitle(const QString& title)
{
    m_header->setText(title);
}

void QuadrantPanel::setColor(const QColor& color)
{
    m_color = color;
    QPalette colors = m_table->palette();
    const QColor table = QuadrantColors::tableColor(color, palette());
    colors.setColor(QPalette::Base, table);
    colors.setColor(QPalette::Window, table);
    m_table->setPalette(colors);
    applyHeaderStyle();
}

void QuadrantPanel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The desktop's theme turned dark or light: the table follows.
    if (event->type() == QEvent::PaletteChange)
        setColor(m_color);
}

void QuadrantPanel::showVisualHint(bool active)
{
    m_active = active;
    applyHeaderStyle();
}

void QuadrantPanel::setBaseFontSize(double pixels)
{
    m_fontSize = pixels;
    applyHeaderStyle();
}

void QuadrantPanel::setHeaderButton(QWidget* button)
{
    m_headerButton = button;
    button->setParent(m_header);
    button->adjustSize();
    m_header->setContentsMargins(10, 4, kHeaderButtonGap + button->width() + kHeaderButtonGap, 4);
    m_header->setMinimumHeight(button->height() + 4);
    m_header->installEventFilter(this);
    placeHeaderButton();
    button->show();
}

void QuadrantPanel::placeHeaderButton()
{
    if (!m_headerButton)
        return;
    m_headerButton->move(m_header->width() - kHeaderButtonGap - m_headerButton->width(),
                         (m_header->height() - m_headerButton->height()) / 2);
}

bool QuadrantPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_header && event->type() == QEvent::Resize)
        placeHeaderButton();
    return QWidget::eventFilter(watched, event);
}

void QuadrantPanel::applyHeaderStyle()
{
    // Titles a step above the rows; the focused quadrant's in bold, black or white as reads best,
    // the others in a softer ink that still reads on the quadrant's colour.
    const int size = int(std::lround(m_fontSize)) + (m_active ? 2 : 1);
    const QColor text =
        m_active ? QuadrantColors::contrastingTextColorOn(m_color)
                 : QuadrantColors::readableOn(QuadrantColors::textColorOn(m_color).darker(110), m_color);
    m_header->setStyleSheet(QStringLiteral("QLabel#quadrantHeader { background-color: %1; color: %2; "
                                           "font-size: %3px; font-weight: %4; border-bottom: 1px solid %5; }")
                                .arg(m_color.name(QColor::HexRgb), text.name(QColor::HexRgb))
                                .arg(size)
                                .arg(m_active ? 700 : 500)
                                .arg(m_color.darker(118).name(QColor::HexRgb)));
}

CentreCross::CentreCross(QWidget* parent) : QWidget(parent)
{
    setFixedSize(kSize, kSize);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Drag to resize the quadrants; double-click to centre"));
}

void CentreCross::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.setPen(QPen(QColor(0x7a, 0x86, 0x94), 1.2));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawEllipse(circle);
    const QPointF c = circle.center();
    const double arm = circle.width() / 2 - 3.5;
    painter.setPen(QPen(QColor(0x4a, 0x55, 0x62), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(c.x() - arm, c.y()), QPointF(c.x() + arm, c.y()));
    painter.drawLine(QPointF(c.x(), c.y() - arm), QPointF(c.x(), c.y() + arm));
}

void CentreCross::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void CentreCross::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed && parentWidget())
        emit dragged(mapToParent(event->position().toPoint()));
    event->accept();
}

void CentreCross::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressed)
        emit released();
    m_pressed = false;
    event->accept();
}

void CentreCross::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_pressed = false;
    emit doubleClicked();
    event->accept();
}

FourQuadrantView::FourQuadrantView(const std::array<QuadrantPanel*, 4>& panels, QWidget* parent)
    : QWidget(parent), m_panels(panels), m_cross(new CentreCross(this))
{
    for (QuadrantPanel* panel : m_panels)
        panel->setParent(this);
    m_cross->raise();
    connect(m_cross, &CentreCross::dragged, this, [this](const QPoint& point) {
        m_fraction = CrossPosition::fractionOfPoint(point, size());
        layoutQuadrants();
    });
    connect(m_cross, &CentreCross::released, this, [this] { emit crossMoved(m_fraction); });
    connect(m_cross, &CentreCross::doubleClicked, this, [this] {
        setCrossFraction({0.5, 0.5});
        emit crossMoved(m_fraction);
    });
}

void FourQuadrantView::setCrossFraction(const QPointF& fraction)
{
    m_fraction = fraction;
    layoutQuadrants();
}

void FourQuadrantView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutQuadrants();
}

void FourQuadrantView::layoutQuadrants()
{
    const QPointF point = CrossPosition::pointInBoard(m_fraction, size());
    const int x = int(std::lround(point.x()));
    const int y = int(std::lround(point.y()));
    const int w = width();
    const int h = height();
    const int half = kGap / 2;
    m_panels[0]->setGeometry(0, 0, x - half, y - half);
    m_panels[1]->setGeometry(x + half, 0, w - x - half, y - half);
    m_panels[2]->setGeometry(0, y + half, x - half, h - y - half);
    m_panels[3]->setGeometry(x + half, y + half, w - x - half, h - y - half);
    m_cross->move(x - CentreCross::kSize / 2, y - CentreCross::kSize / 2);
    m_cross->raise();
}

} // namespace qv
