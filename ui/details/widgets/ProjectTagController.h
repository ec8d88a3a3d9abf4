#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace qv {

class MyDocument;
class ProjectListView;
class TODOList;
struct Services;

// The bar above the board: the project tag field, where the selected project's tags are
// edited (a project tagged "archived" leaves the list unless archived projects are shown),
// and, while the project list is hidden, a picker of the listed projects beside it.
class ProjectTagController : public QWidget {
    Q_OBJECT
public:
    ProjectTagController(MyDocument& document, const Services& services, ProjectListView& list,
                         QWidget* parent = nullptr);

    // The tag field shows that project's tags; nullptr empties and disables it.
    void setProject(TODOList* project);
    TODOList* project() const { return m_project; }
    // Shows or hides the project picker; nothing when it already is as asked.
    void showProjectQuickPopup(bool show);

    QLineEdit* tagField() const { return m_tags; }
    QComboBox* projectPicker() const { return m_picker; }

private:
    void commitTags();
    void fillPicker();

    ProjectListView& m_list;
    TODOList* m_project = nullptr;
    QComboBox* m_picker = nullptr;
    QLineEdit* m_tags = nullptr;
    bool m_filling = false;
};

} // namespace qv
