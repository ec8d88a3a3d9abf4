#pragma once

#include <QWidget>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;

namespace qv {

class Clock;
class TODOItem;

// The drawer's reminder row: a check box turning the item's reminder on and off, its date and,
// while it is on, a line for its notes. Writes go through ReminderFields.
class ReminderRow : public QWidget {
    Q_OBJECT
public:
    explicit ReminderRow(const Clock* clock, QWidget* parent = nullptr);

    // Shows the item's reminder; a field being typed in keeps its text unless another item came.
    void showItem(TODOItem* item, bool otherItem);
    // Writes the notes typed and not yet written.
    void commit();

    QCheckBox* toggle() const { return m_toggle; }
    QDateTimeEdit* dateField() const { return m_date; }
    QLineEdit* notesField() const { return m_notes; }

private:
    TODOItem* liveItem() const;

    const Clock* m_clock;
    TODOItem* m_item = nullptr;
    QCheckBox* m_toggle = nullptr;
    QDateTimeEdit* m_date = nullptr;
    QLineEdit* m_notes = nullptr;
    bool m_refreshing = false;
};

} // namespace qv
