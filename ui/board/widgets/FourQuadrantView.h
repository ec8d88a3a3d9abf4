#pragma once

#include <QColor>
#include <QPointF>
#include <QWidget>

#include <array>

class QLabel;

namespace qv {

class QuadrantView;

// One quadrant: its title bar in the quadrant's colour over its table.
class QuadrantPanel final : public QWidget {
    Q_OBJECT
public:
    QuadrantPanel(QuadrantView* table, QWidget* parent = nullptr);

    QuadrantView* table() const { return m_table; }
    QLabel* header() const { return m_header; }
    void setTitle(const QString& title);
    // The title bar takes the colour, the table its lighter form.
    void setColor(const QColor& color);
    // The quadrant with the keyboard focus shows a bold title.
    void showVisualHint(bool active);
    void setBaseFontSize(double pixels);
    // A control at the title bar's right end (the colour well); the title keeps clear of it,
    // however narrow the quadrant.
    void setHeaderButton(QWidget* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyHeaderStyle();
    void placeHeaderButton();

    QuadrantView* m_table;
    QLabel* m_header;
    QWidget* m_headerButton = nullptr;
    QColor m_color;
    bool m_active = false;
    double m_fontSize = 12;
};

// The centre cross where the quadrants meet; dragging it resizes them.
class CentreCross final : public QWidget {
    Q_OBJECT
public:
    explicit CentreCross(QWidget* parent = nullptr);
    static constexpr int kSize = 18;

signals:
    // A point of the parent the cross is dragged to.
    void dragged(const QPoint& parentPoint);
    void released();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

// The four quadrants around the centre cross: first top left, second top right, third bottom
// left, fourth bottom right. The cross position is a fraction of this view, y growing downward.
class FourQuadrantView final : public QWidget {
    Q_OBJECT
public:
    explicit FourQuadrantView(const std::array<QuadrantPanel*, 4>& panels, QWidget* parent = nullptr);

    QPointF crossFraction() const { return m_fraction; }
    void setCrossFraction(const QPointF& fraction);
    CentreCross* cross() const { return m_cross; }
    QuadrantPanel* panel(int quadrant) const { return m_panels[size_t(quadrant)]; }

signals:
    // The user moved the cross (drag ended, or a double click centred it).
    void crossMoved(const QPointF& fraction);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutQuadrants();

    std::array<QuadrantPanel*, 4> m_panels;
    CentreCross* m_cross;
    QPointF m_fraction{0.5, 0.5};
};

} // namespace qv
