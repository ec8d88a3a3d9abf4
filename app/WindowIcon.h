#pragma once

#include <QIcon>
#include <QList>
#include <QString>

#include <utility>

namespace qv {

// An icon over square PNG files of known sides, each read only when a pixmap near its side is
// first asked for. QIcon::addFile() decodes every file it is given at once, with a size or
// without: at every start that was the 256 px window icon too, for a window that never shows
// it at that size.
QIcon lazyIcon(const QList<std::pair<int, QString>>& sidesAndFiles);

// The application's icon from its own files (the desktop's icon theme may have a better one).
QIcon applicationIcon();

} // namespace qv
