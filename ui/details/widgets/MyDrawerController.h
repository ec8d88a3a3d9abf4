#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSplitter;
class QStackedLayout;
class QTabWidget;

namespace qv {

class ArrayController;
class DrawerModel;
class MyDocument;
class TODOItem;
struct Services;

// The item detail drawer: the first selected item of an items controller, on a lighter form of
// the item's quadrant colour. Its top half holds two tabs, the item's details and its files; the
// bottom half is the item's feed, folded with toggleFeed(). Edits are written back when a field
// is left (or Return in the name); a blank name is refused. Must not outlive the document.
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

    // The feed pane's view (comments and history of the item shown) in place of the empty
    // place; the drawer owns it from then on, and nullptr empties the place again. The view
    // follows the item through itemChanged().
    void setFeedView(QWidget* view);
    QWidget* feedView() const { return m_feedView; }
    // The Files tab's view (the item's attachments), owned and followed the same way.
    void setFilesView(QWidget* view);
    QWidget* filesView() const { return m_filesView; }

    // Unfolds the feed pane to the lower third when it is folded (lower than 80 px or
    // absent), folds it otherwise.
    void toggleFeed();

    QTabWidget* tabs() const { return m_tabs; }
    QSplitter* splitView() const { return m_split; }
    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* notesField() const { return m_notes; }
    // Writes what is typed in the fields to the item shown.
    void commitEdits();

signals:
    void openChanged(bool open);
    // Another item is shown (nullptr: none); the feed and files views follow it.
    void itemChanged(qv::TODOItem* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildDetails();
    void refresh();
    void placeView(QWidget* place, QPointer<QWidget>& current, QWidget* view, QWidget* empty);

    DrawerModel* m_model = nullptr;
    QStackedLayout* m_pages = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QSplitter* m_split = nullptr;
    QTabWidget* m_tabs = nullptr;
    QWidget* m_filesPlace = nullptr;
    QWidget* m_filesEmpty = nullptr;
    QWidget* m_feedPlace = nullptr;
    QWidget* m_feedEmpty = nullptr;
    QPointer<QWidget> m_filesView;
    QPointer<QWidget> m_feedView;
    QLineEdit* m_name = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    TODOItem* m_shown = nullptr;
    bool m_wasOpen = false;
    bool m_refreshing = false;
};

} // namespace qv
