#include "app/SharingWiring.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOList.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/team/IsInitStringValueTransformer.h"
#include "ui/team/PendingSharingRequestsViewController.h"

namespace qv {

void showAcceptedProjectsInWindow(PendingSharingRequestsViewController& pending, MainWindow& window,
                                  MyDocument& document)
{
    registerSharingTransformers(window.valueTransformers());
    pending.setProjectSelector([&window, &document](qint64 projectID) {
        if (TODOList* project = TODOList::findWithID(projectID, document.context()))
            window.projectListView()->selectProject(project);
    });
}

} // namespace qv
