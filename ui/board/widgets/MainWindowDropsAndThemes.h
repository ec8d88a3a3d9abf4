#pragma once

// The window's drop buttons, colour themes, quadrant colour wells and value transformers; only
// MainWindow's own sources include this.

#include "core/util/ValueTransformerRegistry.h"
#include "ui/board/ColorThemes.h"
#include "ui/board/widgets/MainWindow.h"

#include <QList>
#include <QPointer>

#include <array>
#include <memory>
#include <optional>

namespace qv {

class ColorWell;

struct MainWindow::DropsAndThemes {
    std::unique_ptr<ValueTransformerRegistry> transformers;
    std::optional<ColorThemeProducer> themes;
    QMenu* themeMenu = nullptr;
    QToolBar* toolbar = nullptr;
    // By DropTargets::Operation: complete, trash, duplicate.
    std::array<DraggingDestinationButton*, 3> dropButtons{};
    std::array<ColorWell*, 4> wells{};
    // Toolbar controls turned off while items are dragged, to be turned on again.
    QList<QPointer<QWidget>> disabledWhileDragging;
    bool dragging = false;
};

} // namespace qv
