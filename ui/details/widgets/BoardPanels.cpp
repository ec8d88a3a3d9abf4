#include "ui/details/widgets/BoardPanels.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "ui/board/ArrayController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/SimpleSplitViewController.h"
#include "ui/details/AdvancedFilter.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/InboxTableView.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/PanelsControl.h"
#include "ui/details/widgets/ProjectTagController.h"
#include "ui/details/widgets/ProjectTagFilterViewController.h"

#include <QToolBar>

namespace qv {

BoardPanels BoardPanels::attach(MainWindow& window, MyDocument& document, const Services& services)
{
    BoardPanels panels;
    auto* side = new PlainSplitter(Qt::Vertical);
    panels.filterPanel = new AdvancedFilterViewController(document, services, side);
    panels.drawer = new MyDrawerController(document, services, side);
    panels.drawer->setValueTransformers(&window.valueTransformers());
    side->addWidget(panels.filterPanel);
    side->addWidget(panels.drawer);
    window.setRightPanel(side);
    window.setKeyboardPanel(panels.drawer);
    window.setFilterPanel(&panels.filterPanel->filter());
    QObject::connect(panels.filterPanel, &AdvancedFilterViewController::filtersChanged, &window,
                     &MainWindow::updateFilters);
    QObject::connect(&window, &MainWindow::activeControllerChanged, panels.drawer,
                     &MyDrawerController::setArrayController);
    // A click on a row's icon opens the chooser for that row's item, which the drawer shows.
    QObject::connect(&window, &MainWindow::iconsRequested, panels.drawer,
                     &MyDrawerController::showImagesWindow);

    panels.inbox = new InboxTableView(document, services);
    window.setInboxPanel(panels.inbox);
    QObject::connect(&window, &MainWindow::inboxItemWasAdded, panels.inbox, &InboxTableView::itemAdded);
    // The drawer shows what was chosen last: an inbox item, or a quadrant's item.
    MyDrawerController* drawer = panels.drawer;
    InboxTableView* inbox = panels.inbox;
    QObject::connect(inbox, &InboxTableView::activated, drawer,
                     [drawer, inbox] { drawer->setArrayController(&inbox->itemsArrayController()); });
    QObject::connect(inbox, &InboxTableView::openRequested, drawer, [preferences = services.preferences] {
        preferences->setValue(QStringLiteral("kShowingDetail"), true);
    });
    for (int q = 0; q < 4; ++q) {
        ArrayController* quadrant = &window.board().controller(q);
        QObject::connect(quadrant, &ArrayController::selectionChanged, drawer, [drawer, quadrant] {
            if (!quadrant->selectionIndexes().isEmpty())
                drawer->setArrayController(quadrant);
        });
    }

    if (ProjectListView* list = window.projectListView()) {
        new ProjectTagFilterViewController(document, services, *list);
        ProjectTagController* tags = panels.projectTags = new ProjectTagController(document, services, *list);
        window.setBoardHeader(tags);
        // While the list is hidden, a picker above the board chooses the project.
        Preferences* preferences = services.preferences;
        const QString hideProjects = QStringLiteral("kHideProjects");
        tags->showProjectQuickPopup(preferences->boolValue(hideProjects));
        QObject::connect(preferences, &Preferences::changed, tags,
                         [tags, preferences, hideProjects](const QString& key) {
                             if (key == hideProjects)
                                 tags->showProjectQuickPopup(preferences->boolValue(hideProjects));
                         });
    }
    if (auto* toolbar = window.findChild<QToolBar*>()) {
        panels.panelsControl =
            new PanelsControl(*services.preferences, &panels.inbox->itemsArrayController(), toolbar);
        toolbar->addSeparator();
        toolbar->addActions(panels.panelsControl->segments());
    }
    return panels;
}

} // namespace qv
