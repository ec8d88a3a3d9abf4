#pragma once

#include <QString>

#include <vector>

namespace qv {

namespace store {
class Context;
}

class TODOList;

// The project list as the document sees it. The window's list (ui/board) implements it; without
// a window the document answers from the store (StoreProjectList).
class ProjectList {
public:
    virtual ~ProjectList() = default;

    // The one selected project; nullptr with none or several.
    virtual TODOList* getSelectedProject() const = 0;
    // Live projects (state neither 2 nor 3) in the list's order.
    virtual std::vector<TODOList*> getAllProjects() const = 0;
    virtual int numProjects() const = 0;
    // A fresh project to receive a clone, already listed.
    virtual TODOList* newProjectForCloning() = 0;
    virtual TODOList* addNewProjectWithName(const QString& name) = 0;
    // Renumbers the projects' indices; re-sorts and re-filters the list.
    virtual void adjustIndices() = 0;
    virtual void rearrange() = 0;
};

// Answers from the store: live projects, higher index first; no selection.
class StoreProjectList final : public ProjectList {
public:
    explicit StoreProjectList(store::Context& context) : m_context(context) {}

    TODOList* getSelectedProject() const override { return nullptr; }
    std::vector<TODOList*> getAllProjects() const override;
    int numProjects() const override { return int(getAllProjects().size()); }
    TODOList* newProjectForCloning() override;
    TODOList* addNewProjectWithName(const QString& name) override;
    void adjustIndices() override {}
    void rearrange() override {}

private:
    store::Context& m_context;
};

} // namespace qv
