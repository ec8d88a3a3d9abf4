#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qv {

namespace store {
struct ChangeEvent;
}

class AdvancedFilter;
class Alerts;
class MyDocument;
struct Services;

// The item filter panel: search text, which items show ("kItemFilterState"), a date range on
// one item date, item tags, the person the items are delegated to, their creator and
// completer, and a reset. filter() is what the board filters with (it is the board's
// ItemFilterPanel); filtersChanged() asks the board to apply it again.
class AdvancedFilterViewController : public QWidget {
    Q_OBJECT
public:
    AdvancedFilterViewController(MyDocument& document, const Services& services, QWidget* parent = nullptr);
    ~AdvancedFilterViewController() override;

    AdvancedFilter& filter() const { return *m_filter; }
    QLineEdit* searchField() const { return m_search; }
    QPushButton* resetButton() const { return m_reset; }
    QComboBox* delegatedToField() const { return m_delegatedTo; }
    // Which items show: the filter states, in their order.
    QComboBox* stateField() const { return m_state; }

    // Reads the item tags and the known people from the store again.
    void reloadChoices();
    QListWidget* tagList() const { return m_tags; }
    // After the user agrees, every item drops the highlighted tags (Delete in the tag list);
    // nothing without one.
    void deleteSelectedTags();

signals:
    void filtersChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFilter();
    void applyDates();
    void applyTags();
    void applyPeople();
    // Tags and owners that come, go or are renamed while the panel shows reach its lists.
    void watchChoices(const store::ChangeEvent& event);

    MyDocument& m_document;
    Alerts* m_alerts = nullptr;
    AdvancedFilter* m_filter = nullptr;
    QLineEdit* m_search = nullptr;
    QComboBox* m_state = nullptr;
    QCheckBox* m_datesOn = nullptr;
    QComboBox* m_timeMode = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QListWidget* m_tags = nullptr;
    QComboBox* m_tagMode = nullptr;
    QComboBox* m_delegatedTo = nullptr;
    QCheckBox* m_ownerNot = nullptr;
    QLineEdit* m_createdBy = nullptr;
    QCheckBox* m_createdByNot = nullptr;
    QLineEdit* m_completedBy = nullptr;
    QCheckBox* m_completedByNot = nullptr;
    QPushButton* m_reset = nullptr;
    bool m_showing = false;
    int m_storeObserver = 0;
};

} // namespace qv
