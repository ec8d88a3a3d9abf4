#pragma once

#include <QColor>
#include <QToolButton>

#include <functional>

namespace qv {

// A small swatch of a quadrant's colour in its title bar; a click lets the user choose another.
class ColorWell final : public QToolButton {
    Q_OBJECT
public:
    // Asks the user for a colour starting from the current one; an invalid colour for none.
    using Chooser = std::function<QColor(const QColor& current, QWidget* parent)>;

    explicit ColorWell(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    // Shows the colour without announcing it.
    void setColor(const QColor& color);
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    // Opens the chooser; a chosen colour is shown and announced.
    void chooseColor();

signals:
    void colorChosen(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    Chooser m_chooser;
};

} // namespace qv
