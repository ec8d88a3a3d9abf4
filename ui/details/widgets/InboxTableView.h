#pragma once

#include <QWidget>

class QLineEdit;
class QListView;

namespace qv {

class ArrayController;
class InboxModel;
class MyDocument;
class TODOItem;
struct Services;

// The inbox: the items without a project, newest on top, with a field that adds one. Items are
// dragged from here onto a quadrant, and Delete (or the context menu) trashes them. Its
// itemsArrayController() is what the drawer follows while the inbox is active.
class InboxTableView : public QWidget {
    Q_OBJECT
public:
    InboxTableView(MyDocument& document, const Services& services, QWidget* parent = nullptr);
    ~InboxTableView() override;

    InboxModel& model() const { return *m_model; }
    ArrayController& itemsArrayController() const;
    QListView* tableView() const { return m_view; }
    QLineEdit* addField() const { return m_field; }

    // The new inbox item (sent to the server), or nullptr for a title that is blank.
    TODOItem* addItemWithTitle(const QString& title, const QString& notes = {});
    // An inbox item made elsewhere (DocumentWindow::inboxItemAdded): listed and scrolled to.
    void itemAdded(TODOItem* item);
    // The selected items to the trash.
    void trashSelectedItems();

signals:
    // The user turned to the inbox (its list took the focus or the selection changed): the
    // drawer should follow the inbox's controller.
    void activated();
    // An item was double-clicked: the drawer should be shown.
    void openRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncSelectionToView();
    void syncSelectionFromView();

    InboxModel* m_model = nullptr;
    QListView* m_view = nullptr;
    QLineEdit* m_field = nullptr;
    bool m_syncing = false;
};

} // namespace qv
