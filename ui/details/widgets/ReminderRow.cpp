#include "ui/details/widgets/ReminderRow.h"

#include "core/model/TODOItem.h"
#include "ui/details/ReminderFields.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLineEdit>

namespace qv {

ReminderRow::ReminderRow(const Clock* clock, QWidget* parent) : QWidget(parent), m_clock(clock)
{
    setObjectName(QStringLiteral("reminderRow"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_toggle = new QCheckBox(this);
    m_toggle->setToolTip(tr("Remind me of this item"));
    m_date = new QDateTimeEdit(this);
    m_date->setCalendarPopup(true);
    m_date->setTimeSpec(Qt::LocalTime);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_notes = new QLineEdit(this);
    m_notes->setPlaceholderText(tr("Reminder notes"));
    layout->addWidget(m_toggle, 0, 0);
    layout->addWidget(m_date, 0, 1);
    layout->addWidget(m_notes, 1, 1);
    layout->setColumnStretch(1, 1);

    connect(m_toggle, &QCheckBox::toggled, this, [this](bool on) {
        if (TODOItem* item = liveItem()) {
            ReminderFields::writeEnabled(item, on, m_clock);
            showItem(item, false);
        }
    });
    connect(m_date, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& date) {
        if (TODOItem* item = liveItem())
            ReminderFields::writeDate(item, date, m_clock);
    });
    connect(m_notes, &QLineEdit::editingFinished, this, &ReminderRow::commit);
}

TODOItem* ReminderRow::liveItem() const
{
    return m_refreshing || !m_item || m_item->isDeleted() ? nullptr : m_item;
}

void ReminderRow::commit()
{
    TODOItem* item = liveItem();
    if (!item || !m_notes->isModified())
        return;
    m_notes->setModified(false);
    ReminderFields::writeNotes(item, m_notes->text(), m_clock);
}

void ReminderRow::showItem(TODOItem* item, bool otherItem)
{
    m_refreshing = true;
    m_item = item;
    const ReminderFields fields = ReminderFields::of(item, m_clock);
    m_toggle->setChecked(fields.enabled);
    m_date->setEnabled(fields.enabled);
    if (otherItem || !m_date->hasFocus())
        m_date->setDateTime(fields.date.toLocalTime());
    m_notes->setVisible(fields.enabled);
    if (otherItem || (!m_notes->hasFocus() && !m_notes->isModified())) {
        m_notes->setText(fields.notes);
        m_notes->setModified(false);
    }
    m_refreshing = false;
}

} // namespace qv
