#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace qv {

// The images the board asks for by name. An image shipped as ":/images/<name>" wins;
// otherwise a plain placeholder is drawn here.
//
// Item icons exist at four sizes: "<name>" at 128 pixels and "32<name>", "44<name>",
// "64<name>" at 32, 44 and 64 pixels, where <name> is one of itemIconNames().
class BoardImages {
public:
    BoardImages() = delete;

    // A null image for an unknown name.
    static QImage imageNamed(const QString& name);
    // Item icon names at 128 pixels, the reserved "empty_orange128.png" and
    // "green_checkmark128.png" among them.
    static QStringList itemIconNames();
    // Every name imageNamed() answers with a placeholder.
    static QStringList placeholderNames();
};

} // namespace qv
