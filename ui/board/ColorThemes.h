#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace qv {

class TODOList;

// A named set of four quadrant colours with a 2 x 2 preview: one line of the themes file,
// "<format letter>:<numbers>:<name>" with the format "i" (12 integers 0-255), "d" (12 fractions
// 0-1) or "h" (4 hexadecimal RRGGBB colours).
class ColorTheme {
public:
    // nullopt for a line that is not a theme (the reason is logged).
    static std::optional<ColorTheme> fromString(const QString& line);

    const QString& name() const { return m_name; }
    // Top row the first and second quadrants' colours, bottom row the third and fourth.
    const QImage& image() const { return m_image; }
    // Quadrant 0-3.
    QColor colorNumber(int quadrant) const;

    // Writes the theme's colours into the project's four quadrant colours ("{%g, %g, %g, 1}",
    // whatever the user's locale).
    void applyTo(TODOList& project) const;

private:
    std::array<QColor, 4> m_colors;
    QString m_name;
    QImage m_image;
};

// The themes of a themes file, in file order. A file with any line that is not a theme gives
// no themes at all.
class ColorThemeProducer {
public:
    static const QString kResourceName; // "colorthemes"

    // The application's resource "<name>.txt"; nullopt when it cannot be read or is invalid.
    static std::optional<ColorThemeProducer> fromFileNamed(const QString& name);
    static std::optional<ColorThemeProducer> fromText(const QString& text);

    const std::vector<ColorTheme>& themes() const { return m_themes; }

private:
    std::vector<ColorTheme> m_themes;
};

} // namespace qv
