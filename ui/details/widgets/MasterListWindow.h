#pragma once

#include "platform/Services.h"
#include "ui/board/widgets/MasterListSheet.h"

#include <optional>

class QLineEdit;
class QTreeWidget;

namespace qv {

class MyDocument;
class TODOItem;
class ProjectListController;

// Every open item of every project in one list, with a search field of its own. It follows the
// store: any change reloads it once the current turn of the main loop ends.
class MasterListWindow final : public MasterListSheet {
    Q_OBJECT
public:
    MasterListWindow(MyDocument& document, ProjectListController& projects, const Services& services,
                     QWidget* parent = nullptr);
    ~MasterListWindow() override;

    void reloadData() override;
    void gotoMasterFindButton() override;

    QLineEdit* searchField() const { return m_search; }
    QTreeWidget* itemList() const { return m_list; }

signals:
    // A row was double-clicked or Return pressed on it.
    void itemChosen(TODOItem* item);

private:
    void scheduleReload();

    MyDocument& m_document;
    ProjectListController& m_projects;
    Services m_services;
    QLineEdit* m_search = nullptr;
    QTreeWidget* m_list = nullptr;
    std::optional<int> m_observer;
    bool m_reloadPending = false;
};

} // namespace qv
