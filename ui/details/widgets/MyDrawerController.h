#pragma once

#include <QColor>
#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QSplitter;
class QStackedLayout;
class QTabWidget;
class QToolButton;

namespace qv {

class ArrayController;
class Clock;
class DrawerModel;
class IconChooserWindow;
class MyDocument;
class ReminderRow;
class TagManager;
class TODOItem;
class ValueTransformerRegistry;
struct Services;

// The item detail drawer: the first selected item of an items controller, on a lighter form of
// the item's quadrant colour. Its top half holds two tabs, the item's details and its files; the
// bottom half is the item's feed, folded with toggleFeed(). Each field writes its value when it
// is left, Return is pressed or a choice is made; a blank name is refused. Must not outlive the
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
    // The tag service the tag field goes through; the shared one by default.
    void setTagManager(TagManager* tags) { m_tagManager = tags; }
    // The window's value transformers: the due date's weekday and overdue colour come from them.
    void setValueTransformers(const ValueTransformerRegistry* transformers);

    // The feed pane's view (comments and history of the item shown) in place of the empty
    // place; the drawer owns it from then on, and nullptr empties the place again. The view
    // follows the item through itemChanged().
    void setFeedView(QWidget* view);
    QWidget* feedView() const { return m_feedView; }
    // The Files tab's view (the item's attachments), owned and followed the same way.
    void setFilesView(QWidget* view);
    QWidget* filesView() const { return m_filesView; }
    // The owner row's view (who the item is delegated to), owned the same way.
    void setOwnerView(QWidget* view);
    QWidget* ownerView() const { return m_ownerView; }

    // Unfolds the feed pane to the lower third when it is folded (lower than 80 px or
    // absent), folds it otherwise.
    void toggleFeed();
    // Opens the icon chooser for the item shown; nullptr without item.
    IconChooserWindow* showImagesWindow();

    QTabWidget* tabs() const { return m_tabs; }
    QSplitter* splitView() const { return m_split; }
    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* notesField() const { return m_notes; }
    QToolButton* iconButton() const { return m_iconButton; }
    QLineEdit* linkField() const { return m_link; }
    QCheckBox* startToggle() const { return m_hasStart; }
    QDateTimeEdit* startField() const { return m_start; }
    QCheckBox* dueToggle() const { return m_hasDue; }
    QDateTimeEdit* dueField() const { return m_due; }
    QLabel* dueWeekdayLabel() const { return m_dueWeekday; }
    QCheckBox* allDayToggle() const { return m_allDay; }
    QSpinBox* completionField() const { return m_completion; }
    QSpinBox* effortField() const { return m_effort; }
    QComboBox* recurrenceField() const { return m_recurrence; }
    QLineEdit* tagsField() const { return m_tags; }
    ReminderRow* reminderRow() const { return m_reminder; }
    // Writes what is typed in the text fields to the item shown.
    void commitEdits();

signals:
    void openChanged(bool open);
    // Another item is shown (nullptr: none); the feed and files views follow it.
    void itemChanged(qv::TODOItem* item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void datesChanged();
    QWidget* buildDetails();
    // The background of the item's quadrant and labels that read on it.
    void applyColors(const TODOItem* item);
    void connectFields();
    void refresh();
    // Shows the item's values; a field being typed in keeps its text unless another item came.
    void showValues(TODOItem* item, bool otherItem);
    void commitName();
    // Runs the write (if any), then lets the rows show the edited item.
    void edited(const std::function<void()>& write);
    void commitTags();
    void writeDate(bool start);
    void showDueDateHints(const QDateTime& due);
    // The due date's colour on the field and the drawer as they are now.
    void applyDueColors();
    void placeView(QWidget* place, QPointer<QWidget>& current, QWidget* view, QWidget* empty);

    MyDocument& m_document;
    const Clock* m_clock = nullptr;
    TagManager* m_tagManager = nullptr;
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
    QWidget* m_ownerPlace = nullptr;
    QWidget* m_ownerEmpty = nullptr;
    QPointer<QWidget> m_ownerView;
    QToolButton* m_iconButton = nullptr;
    QLineEdit* m_name = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QLineEdit* m_link = nullptr;
    QCheckBox* m_hasStart = nullptr;
    QDateTimeEdit* m_start = nullptr;
    QCheckBox* m_hasDue = nullptr;
    QDateTimeEdit* m_due = nullptr;
    QLabel* m_dueWeekday = nullptr;
    QColor m_dueInk; // invalid: the theme's own
    const ValueTransformerRegistry* m_transformers = nullptr;
    QCheckBox* m_allDay = nullptr;
    QSpinBox* m_completion = nullptr;
    QSpinBox* m_effort = nullptr;
    QComboBox* m_recurrence = nullptr;
    QLineEdit* m_tags = nullptr;
    ReminderRow* m_reminder = nullptr;
    TODOItem* m_shown = nullptr;
    bool m_wasOpen = false;
    bool m_refreshing = false;
    bool m_switching = false;
};

} // namespace qv
