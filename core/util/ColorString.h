#pragma once

#include <QColor>
#include <QString>

#include <optional>

namespace qv {

// The colour text that projects store and the server relays to other clients:
// "{red, green, blue, alpha}", numbers nominally 0-1. Always written and read with "." as
// the decimal separator, whatever the user's locale.
class ColorString {
public:
    ColorString() = delete;

    // "{%0.3f, %0.3f, %0.3f, %0.3f}".
    static QString stringFromColor(const QColor& color);
    // "{%g, %g, %g, 1}": the form a colour theme writes.
    static QString stringFromColorForTheme(const QColor& color);
    // "{%f, %f, %f, %f}": the form of a new project's defaults.
    static QString stringFromColorForNewProject(const QColor& color);

    // One to four numbers between braces, whitespace allowed between the tokens. Missing
    // components read as 0, a missing alpha as 1; colour values are not clamped (alpha is held
    // within 0-1). nullopt for
    // anything else (a fifth number, a missing comma, text after the closing brace...).
    static std::optional<QColor> colorWithString(const QString& text);

    // RRGGBB as one hexadecimal integer ("0x" allowed); scanning stops at the first
    // non-hexadecimal character; nothing readable gives black. Bits above 23 are ignored.
    static QColor colorWithHexColorString(const QString& text);

    // Black over a background brighter than the threshold, light grey (0.9) otherwise.
    static QColor textColorForBackground(const QColor& background, double threshold = 0.6);
};

} // namespace qv
