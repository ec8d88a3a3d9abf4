#pragma once

#include <QColor>

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
};

} // namespace qv
