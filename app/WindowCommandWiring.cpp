#include "app/WindowCommandWiring.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"
#include "ui/board/Board.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/MasterListWindow.h"

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

void wireWindowCommands(MainWindow& window, MyDocument& document, const Services& services,
                        const BoardPanels& panels)
{
    WindowCommands& commands = window.commands();
    commands.setMasterListFactory([&window, &document, services](QWidget* parent) {
        auto* master =
            new MasterListWindow(document, window.projectListView()->controller(), services, parent);
        QObject::connect(
            master, &MasterListWindow::itemChosen, &window, [&window, master, services](TODOItem* item) {
                master->accept();
                if (window.projectListView()->selectProject(item->list()) == -1)
                    return;
                // The board shows the project's items once the selection has gone round.
                const qint64 objectID = item->objectID();
                services.scheduler->post(&window, [&window, objectID] {
                    auto* chosen = dynamic_cast<TODOItem*>(window.board().document().context().objectWithID(
                        TODOItem::staticEntityName(), objectID));
                    if (chosen && !chosen->isDeleted())
                        window.board().selectItem(chosen);
                });
            });
        return master;
    });

    QPointer<AdvancedFilterViewController> filter = panels.filterPanel;
    if (!filter)
        return;
    commands.setFindField([&window, filter, preferences = services.preferences](bool reveal) {
        if (!filter || (!reveal && !filter->isVisible()))
            return;
        // The panel shows beside the board unless it has a window of its own.
        if (filter->window() == &window)
            preferences->setValue(QStringLiteral("kShowingDetail"), true);
        filter->window()->activateWindow();
        filter->searchField()->setFocus(Qt::ShortcutFocusReason);
        filter->searchField()->selectAll();
    });
    commands.setAdvancedFilterWindow([&window, filter] {
        if (!filter)
            return;
        if (filter->window() != &window) {
            filter->window()->raise();
            filter->window()->activateWindow();
            return;
        }
        auto* splitter = qobject_cast<QSplitter*>(filter->parentWidget());
        const int index = splitter ? std::max(0, splitter->indexOf(filter)) : 0;
        auto* own = new QDialog(&window, Qt::Window);
        own->setObjectName(QStringLiteral("advancedFilterWindow"));
        own->setWindowTitle(QStringLiteral("Filters"));
        own->setAttribute(Qt::WA_DeleteOnClose);
        (new QVBoxLayout(own))->addWidget(filter);
        filter->show();
        // Closing the window puts the panel back beside the board.
        QObject::connect(own, &QDialog::finished, &window,
                         [filter, splitter = QPointer<QSplitter>(splitter), index] {
                             if (filter && splitter)
                                 splitter->insertWidget(index, filter);
                         });
        own->show();
    });
}

} // namespace qv
