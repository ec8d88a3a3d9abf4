#pragma once

#include "ui/board/ProjectListController.h"

#include <QString>

#include <vector>

namespace qv {

class MyDocument;
class TODOList;

// The project that shows a new user around the board: a template with a few items in each
// quadrant that explain it. It ships with the program.
struct HelpProjectDescription {
    struct Item {
        int quadrant = 0;
        QString name;
        QString notes;
    };
    ProjectTemplate project;
    std::vector<Item> items; // in the order a quadrant shows them, top first
};

namespace HelpProject {

const HelpProjectDescription& shipped();
// Made as a project from a template is, then filled; the items keep their order in each
// quadrant.
TODOList* build(ProjectListController& list, MyDocument& document,
                const HelpProjectDescription& description = shipped());

} // namespace HelpProject

} // namespace qv
