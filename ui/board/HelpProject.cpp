#include "ui/board/HelpProject.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "ui/board/BoardLogging.h"

namespace qv::HelpProject {

const HelpProjectDescription& shipped()
{
    static const HelpProjectDescription description{
        {QStringLiteral("Getting Started with Quadrivo"),
         {QStringLiteral("Do Now"), QStringLiteral("Do Later"), QStringLiteral("Delegate"),
          QStringLiteral("Postpone")},
         50,
         50},
        {
            {0, QStringLiteral("Welcome! Each project is a board of four quadrants"),
             QStringLiteral(
                 "Put what matters most and is due soon here, in the top left. The quadrants' titles and "
                 "colours belong to the project: click the small square at the right of a quadrant's title "
                 "to change its colour.")},
            {0, QStringLiteral("Double-click an empty place in a quadrant to add an item"),
             QStringLiteral("Or press Ctrl+N. In Manual Order, Return adds the next item right away; Escape "
                            "stops.")},
            {0, QStringLiteral("Press Ctrl+D to complete the selected item"),
             QStringLiteral("While View > Show is set to Open Items, completed items leave the board; choose "
                            "All Items or Completed Items there to see them again.")},
            {1, QStringLiteral("Drag items between quadrants as their priority changes"),
             QStringLiteral("To move them to another project, hold them over it in the list on the left, "
                            "then drop them on one of its quadrants.")},
            {1, QStringLiteral("Drag the centre of the cross to resize the quadrants"),
             QStringLiteral("Each project remembers where its cross stands.")},
            {2, QStringLiteral("Open the details to add notes, dates, tags and an icon"),
             QStringLiteral("Select an item: while View > Show Details is ticked, its details show on the "
                            "right.")},
            {2, QStringLiteral("Sort and filter from the toolbar"),
             QStringLiteral(
                 "\u201cSort & Filters\u201d orders all four quadrants the same way and chooses which items "
                 "they show.")},
            {3, QStringLiteral("Trashed items and projects can be restored"),
             QStringLiteral("Choose View > Trashed Items or Trashed Projects.")},
            {3, QStringLiteral("Delete this project when you know your way around"),
             QStringLiteral("Or keep it: it is an ordinary project.")},
        }};
    return description;
}

TODOList* build(ProjectListController& list, MyDocument& document, const HelpProjectDescription& description)
{
    TODOList* project = list.addNewProjectWithName(description.project.title, &description.project);
    if (!project)
        return nullptr;
    // The board shows the highest index on top, so the last item of a quadrant goes in first.
    for (auto item = description.items.rbegin(); item != description.items.rend(); ++item) {
        TODOItem* made = document.newItemForProject(project, item->quadrant);
        made->setName(item->name);
        made->setDescriptionText(item->notes);
    }
    qCInfo(lcBoard, "Help project made with %d items", int(description.items.size()));
    list.rearrange();
    list.cleanListCustomCells();
    return project;
}

} // namespace qv::HelpProject
