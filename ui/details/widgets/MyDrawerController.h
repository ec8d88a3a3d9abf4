#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStackedLayout;

namespace qv {

class ArrayController;
class DrawerModel;
class MyDocument;
class TODOItem;
struct Services;

// The item detail panel: the name and notes of the first selected item of an items
// controller, on a lighter form of the item's quadrant colour. Edits are written back when the
// field is left (or Return in the name); a blank name is refused. Must not outlive the
// document.
class MyDrawerController : public QWidget {
    Q_OBJECT
public:
    MyDrawerController(MyDocument& document, const Services& services, QWidget* parent = nullptr);
    ~MyDrawerController() override;

    // nullptr closes the drawer (it then shows no item).
    void setArrayController(ArrayController* controller);
    ArrayController* arrayController() const;
    bool isOpen() const;
    TODOItem* getItem() const;
    DrawerModel& model() const { return *m_model; }

    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* notesField() const { return m_notes; }
    // Writes what is typed in the fields to the item shown.
    void commitEdits();

signals:
    void openChanged(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    DrawerModel* m_model = nullptr;
    QStackedLayout* m_pages = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QLineEdit* m_name = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    TODOItem* m_shown = nullptr;
    bool m_wasOpen = false;
    bool m_refreshing = false;
};

} // namespace qv
