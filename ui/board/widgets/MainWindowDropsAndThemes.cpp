#include "ui/board/widgets/MainWindowDropsAndThemes.h"

#include "core/document/MyDocument.h"
#include "core/document/SyncEngine.h"
#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "platform/Clock.h"
#include "platform/store/Context.h"
#include "ui/board/BoardImages.h"
#include "ui/board/BoardTransformers.h"
#include "ui/board/CrossPosition.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"
#include "ui/board/widgets/ColorWell.h"
#include "ui/board/widgets/DraggingDestinationButton.h"
#include "ui/board/widgets/FourQuadrantView.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/QuadrantView.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace qv {

namespace {

constexpr int kThemeTagBase = 100;

struct DropButtonLook {
    DropTargets::Operation operation;
    const char* draggingImage; // while items are dragged: the button takes drops (its own image is
                               // the action's toolbar glyph)
};

// In toolbar order.
constexpr std::array<DropButtonLook, 3> kDropButtons = {{
    {DropTargets::Operation::Duplicate, "UI_Icon_mac_duplicate_selected"},
    {DropTargets::Operation::Complete, "UI_Icon_mac_done_selected"},
    {DropTargets::Operation::Trash, "UI_Icon_mac_trash_selected"},
}};

QIcon namedIcon(const char* name)
{
    return QIcon(QPixmap::fromImage(BoardImages::imageNamed(QString::fromLatin1(name))));
}

QMenu* topMenu(QMenuBar* bar, const QString& title)
{
    for (QAction* top : bar->actions()) {
        if (top->menu() && top->text().remove(u'&') == title)
            return top->menu();
    }
    return bar->addMenu(u'&' + title);
}

} // namespace

ValueTransformerRegistry& MainWindow::valueTransformers() const
{
    return *m_dropsAndThemes->transformers;
}

DraggingDestinationButton* MainWindow::dropButton(int operation) const
{
    return operation >= 0 && operation < 3 ? m_dropsAndThemes->dropButtons[size_t(operation)] : nullptr;
}

const ColorThemeProducer* MainWindow::colorThemes() const
{
    return m_dropsAndThemes->themes ? &*m_dropsAndThemes->themes : nullptr;
}

QMenu* MainWindow::colorThemeMenu() const
{
    return m_dropsAndThemes->themeMenu;
}

void MainWindow::buildDropButtons(QToolBar* toolbar)
{
    m_dropsAndThemes->toolbar = toolbar;
    const std::array<QAction*, 3> actions = {m_addItem, m_completeItems, m_deleteItems};
    for (size_t i = 0; i < kDropButtons.size(); ++i) {
        const DropButtonLook& look = kDropButtons[i];
        auto* button = new DraggingDestinationButton(*m_board, look.operation);
        button->setDefaultAction(actions[i]);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setImageMouseEntered(QString::fromLatin1(look.draggingImage));
        button->setImageMouseExited(QString::fromLatin1(look.draggingImage));
        toolbar->addWidget(button);
        m_dropsAndThemes->dropButtons[size_t(look.operation)] = button;
    }
}

void MainWindow::toolbarForDragging(bool dragging)
{
    DropsAndThemes& state = *m_dropsAndThemes;
    if (dragging == state.dragging || !state.toolbar)
        return;
    state.dragging = dragging;
    const std::array<QAction*, 3> actions = {m_addItem, m_completeItems, m_deleteItems};
    for (size_t i = 0; i < kDropButtons.size(); ++i) {
        // The actions' own images, so that an action's change does not undo them meanwhile.
        if (dragging) {
            actions[i]->setIcon(namedIcon(kDropButtons[i].draggingImage));
            actions[i]->setEnabled(true);
        }
    }
    // Back to the glyphs as the desktop's theme wants them.
    if (!dragging)
        refreshToolbarGlyphs();
    if (dragging) {
        // Everything else on the toolbar rests while the drop buttons take the items.
        for (QAction* action : state.toolbar->actions()) {
            QWidget* widget = state.toolbar->widgetForAction(action);
            if (!widget || qobject_cast<DraggingDestinationButton*>(widget) || !widget->isEnabled())
                continue;
            widget->setEnabled(false);
            state.disabledWhileDragging << widget;
        }
    } else {
        for (const QPointer<QWidget>& widget : std::as_const(state.disabledWhileDragging)) {
            if (widget)
                widget->setEnabled(true);
        }
        state.disabledWhileDragging.clear();
    }
}

void MainWindow::loadColorThemes()
{
    DropsAndThemes& state = *m_dropsAndThemes;
    if (!state.themes)
        state.themes = ColorThemeProducer::fromFileNamed(ColorThemeProducer::kResourceName);
    if (!state.themeMenu)
        state.themeMenu = topMenu(menuBar(), QStringLiteral("View"))->addMenu(QStringLiteral("Color Theme"));
    state.themeMenu->clear();
    state.themeMenu->setEnabled(state.themes && !state.themes->themes().empty());
    if (!state.themes)
        return;
    const std::vector<ColorTheme>& themes = state.themes->themes();
    for (size_t i = 0; i < themes.size(); ++i) {
        const QImage preview =
            themes[i].image().scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QAction* action = state.themeMenu->addAction(QIcon(QPixmap::fromImage(preview)), themes[i].name());
        action->setData(kThemeTagBase + int(i));
        connect(action, &QAction::triggered, this, [this, i] { changeColorTheme(int(i)); });
    }
}

void MainWindow::changeColorTheme(int themeIndex)
{
    const ColorThemeProducer* producer = colorThemes();
    TODOList* project = m_board->selectedProject();
    if (!producer || !project || themeIndex < 0 || themeIndex >= int(producer->themes().size()))
        return;
    qCDebug(lcBoardWidgets, "Applying colour theme %d to project %lld", themeIndex, qint64(project->id_()));
    producer->themes()[size_t(themeIndex)].applyTo(*project);
    for (int q = 0; q < 4; ++q) {
        const QColor color = QuadrantColors::quadrantColor(project, q);
        m_panels[size_t(q)]->setColor(color);
        m_dropsAndThemes->wells[size_t(q)]->setColor(color);
    }
    cleanListCustomCells();
}

void MainWindow::changeQuadrantColor(int quadrant, const QColor& color)
{
    TODOList* project = m_board->selectedProject();
    if (!project || quadrant < 0 || quadrant > 3 || !color.isValid())
        return;
    const QString text = ColorString::stringFromColor(color);
    switch (quadrant) {
    case 0:
        project->setColorFirstQuadrant(text);
        break;
    case 1:
        project->setColorSecondQuadrant(text);
        break;
    case 2:
        project->setColorThirdQuadrant(text);
        break;
    default:
        project->setColorFourthQuadrant(text);
        break;
    }
    m_panels[size_t(quadrant)]->setColor(QuadrantColors::quadrantColor(project, quadrant));
    m_dropsAndThemes->wells[size_t(quadrant)]->setColor(color);
    cleanListCustomCells();
}

void MainWindow::maximizeQuadrant(int quadrant)
{
    // A glance at one quadrant: the project keeps the position the user dragged the cross to.
    m_fourQuadrants->setCrossFraction(CrossPosition::maximizing(quadrant));
}

void MainWindow::buildQuadrantControls()
{
    QMenu* maximize =
        topMenu(menuBar(), QStringLiteral("View"))->addMenu(QStringLiteral("Maximize Quadrant"));
    const char* names[] = {"Top Left", "Top Right", "Bottom Left", "Bottom Right"};
    for (int q = 0; q < 4; ++q) {
        QAction* action = maximize->addAction(QString::fromLatin1(names[q]));
        connect(action, &QAction::triggered, this, [this, q] { maximizeQuadrant(q); });

        auto* well = new ColorWell;
        m_panels[size_t(q)]->setHeaderButton(well);
        m_dropsAndThemes->wells[size_t(q)] = well;
        connect(well, &ColorWell::colorChosen, this,
                [this, q](const QColor& color) { changeQuadrantColor(q, color); });
        connect(m_views[size_t(q)], &QuadrantView::addedByDoubleClick, this,
                &MainWindow::quadrantDoubleClicked);
    }
}

void MainWindow::showChangedQuadrantColors(const store::ChangeEvent& event)
{
    static const QStringList kColorKeys = {
        QStringLiteral("colorFirstQuadrant"), QStringLiteral("colorSecondQuadrant"),
        QStringLiteral("colorThirdQuadrant"), QStringLiteral("colorFourthQuadrant")};
    TODOList* project = m_board->selectedProject();
    const auto changed = event.changedKeys.constFind(project);
    if (!project || changed == event.changedKeys.constEnd())
        return;
    for (int q = 0; q < 4; ++q) {
        if (!changed->contains(kColorKeys[q]))
            continue;
        const QColor color = QuadrantColors::quadrantColor(project, q);
        m_panels[size_t(q)]->setColor(color);
        if (ColorWell* well = m_dropsAndThemes->wells[size_t(q)])
            well->setColor(color);
    }
}

void MainWindow::syncOnlineChanged()
{
    redisplayLoginStatusButton();
    if (SyncEngineInterface* engine = m_document.syncEngine())
        emit onlineStateChanged(engine->isOnline());
}

} // namespace qv
