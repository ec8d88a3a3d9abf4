#pragma once

#include <QWidget>

class QCheckBox;
class QListWidget;

namespace qv {

class Alerts;
class MyDocument;
class ProjectListView;
class ProjectTagFilter;
struct Services;

// The project tag filter: the project tags to filter the project list by, and the toggle that
// shows archived projects. Made with the list it filters, it becomes that list's tag popup
// (the list's "Tags" button); it can also be placed anywhere as a plain widget.
class ProjectTagFilterViewController : public QWidget {
    Q_OBJECT
public:
    // installAsPopup: the list shows this panel from its "Tags" button.
    ProjectTagFilterViewController(MyDocument& document, const Services& services, ProjectListView& list,
                                   QWidget* parent = nullptr, bool installAsPopup = true);

    ProjectTagFilter& tagFilter() const { return m_filter; }
    QListWidget* tagList() const { return m_list; }
    QCheckBox* archivedToggle() const { return m_archived; }

    // Refreshes the tags and the toggle from the store.
    void reloadTags();
    // After the user agrees, every project drops the highlighted tags (Delete in the tag list);
    // nothing without one.
    void deleteSelectedTags();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTags();

    MyDocument& m_document;
    Alerts* m_alerts = nullptr;
    ProjectListView& m_listView;
    ProjectTagFilter& m_filter;
    QListWidget* m_list = nullptr;
    QCheckBox* m_archived = nullptr;
    bool m_showing = false;
};

} // namespace qv
