#pragma once

#include <QColor>

class QPalette;

namespace qv {

class TODOList;

// The colours a project gives its quadrants (stored as colour strings).
class QuadrantColors {
public:
    QuadrantColors() = delete;

    // The quadrant's colour; light grey (0.9) without a project or a readable colour.
    static QColor quadrantColor(const TODOList* project, int quadrant);
    // The same hue and alpha, a fifth of the saturation and four fifths of the way to full
    // brightness: the background of the quadrant's table.
    static QColor lighterColor(const QColor& color);
    // Black or light grey, whichever reads on the background.
    static QColor textColorOn(const QColor& background);
    // Black or white, whichever stands out more against the background: at least 4.5:1 on any
    // opaque colour, so the active quadrant's title reads on the dark colours too.
    static QColor contrastingTextColorOn(const QColor& background);
    // The contrast ratio of two opaque colours by their relative luminance, 1 to 21.
    static double contrastRatio(const QColor& a, const QColor& b);
    // The ink itself where it reads on the background (4.5:1), else the ink moved towards black
    // or white until it does.
    static QColor readableOn(const QColor& ink, const QColor& background);
    // Opaque: from, moved by share (0 to 1) of the way to to.
    static QColor mixed(const QColor& from, const QColor& to, double share);

    // A dark desktop theme: its window is darker than mid grey.
    static bool isDark(const QPalette& desktop);
    // The background of a quadrant's table (and of the drawer of its items): the lighter form of
    // the quadrant's colour, or under a dark desktop theme a dark form of it, so that the theme's
    // own light texts read on it.
    static QColor tableColor(const QColor& quadrant, const QPalette& desktop);
};

} // namespace qv
