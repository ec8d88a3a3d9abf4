#include "ui/details/widgets/AdvancedFilterViewController.h"

#include "core/document/MyDocument.h"
#include "core/model/ItemTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TagManager.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/Services.h"
#include "platform/store/Context.h"
#include "ui/details/AdvancedFilter.h"
#include "ui/details/TagDeletion.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace qv {

namespace {

QStringList namesIn(const QString& text)
{
    QStringList names;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty())
            names << part.trimmed();
    }
    return names;
}

} // namespace

AdvancedFilterViewController::AdvancedFilterViewController(MyDocument& document, const Services& services,
                                                           QWidget* parent)
    : QWidget(parent), m_document(document), m_alerts(services.alerts),
      m_filter(new AdvancedFilter(*services.preferences, services.notifications, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(tr("Search"));
    m_search->setClearButtonEnabled(true);
    layout->addWidget(m_search);

    auto* form = new QFormLayout;
    m_state = new QComboBox(this);
    // As the View menu's Show names them.
    m_state->addItems({tr("All Items"), tr("Open Items"), tr("Completed Items"),
                       tr("Open Items with a Due Date"), tr("Items with Attachments")});
    form->addRow(tr("Show"), m_state);

    m_datesOn = new QCheckBox(tr("Only items"), this);
    m_timeMode = new QComboBox(this);
    m_timeMode->addItems({tr("created"), tr("due"), tr("completed"), tr("modified")});
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(m_datesOn);
    dateRow->addWidget(m_timeMode, 1);
    form->addRow(tr("Dates"), dateRow);
    // The injected clock, so that the default range follows the program's notion of today.
    const QDate today = services.clock ? services.clock->now().toLocalTime().date() : QDate::currentDate();
    m_from = new QDateEdit(today.addDays(-7), this);
    m_to = new QDateEdit(today.addDays(7), this);
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(m_from, 1);
    rangeRow->addWidget(new QLabel(QStringLiteral("–"), this));
    rangeRow->addWidget(m_to, 1);
    form->addRow(QString(), rangeRow);

    m_tagMode = new QComboBox(this);
    m_tagMode->addItems({tr("Any of these tags"), tr("All of these tags")});
    form->addRow(tr("Tags"), m_tagMode);
    layout->addLayout(form);
    m_tags = new QListWidget(this);
    m_tags->setMaximumHeight(110);
    m_tags->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tags->installEventFilter(this);
    layout->addWidget(m_tags);

    auto* people = new QFormLayout;
    m_delegatedTo = new QComboBox(this);
    m_delegatedTo->setEditable(true);
    m_ownerNot = new QCheckBox(tr("not"), this);
    auto* ownerRow = new QHBoxLayout;
    ownerRow->addWidget(m_delegatedTo, 1);
    ownerRow->addWidget(m_ownerNot);
    people->addRow(tr("Delegated to"), ownerRow);
    m_createdBy = new QLineEdit(this);
    m_createdBy->setPlaceholderText(tr("anybody"));
    m_createdByNot = new QCheckBox(tr("not"), this);
    auto* createdRow = new QHBoxLayout;
    createdRow->addWidget(m_createdBy, 1);
    createdRow->addWidget(m_createdByNot);
    people->addRow(tr("Created by"), createdRow);
    m_completedBy = new QLineEdit(this);
    m_completedBy->setPlaceholderText(tr("anybody"));
    m_completedByNot = new QCheckBox(tr("not"), this);
    auto* completedRow = new QHBoxLayout;
    completedRow->addWidget(m_completedBy, 1);
    completedRow->addWidget(m_completedByNot);
    people->addRow(tr("Completed by"), completedRow);
    layout->addLayout(people);

    m_reset = new QPushButton(tr("Reset"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_reset);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_showing)
            m_filter->setSearchString(text);
    });
    connect(m_state, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_showing)
            m_filter->setFilterState(index);
    });
    connect(m_datesOn, &QCheckBox::toggled, this, [this] { applyDates(); });
    connect(m_from, &QDateEdit::dateChanged, this, [this] { applyDates(); });
    connect(m_to, &QDateEdit::dateChanged, this, [this] { applyDates(); });
    connect(m_timeMode, &QComboBox::currentIndexChanged, this, [this](int mode) {
        if (!m_showing)
            m_filter->setTimeFilterMode(mode);
    });
    connect(m_tagMode, &QComboBox::currentIndexChanged, this, [this](int state) {
        if (!m_showing)
            m_filter->setTagFilterState(state);
    });
    connect(m_tags, &QListWidget::itemChanged, this, [this] { applyTags(); });
    connect(m_delegatedTo, &QComboBox::activated, this, [this] { applyPeople(); });
    connect(m_delegatedTo->lineEdit(), &QLineEdit::editingFinished, this, [this] { applyPeople(); });
    for (QCheckBox* box : {m_ownerNot, m_createdByNot, m_completedByNot})
        connect(box, &QCheckBox::toggled, this, [this] { applyPeople(); });
    for (QLineEdit* field : {m_createdBy, m_completedBy})
        connect(field, &QLineEdit::editingFinished, this, [this] { applyPeople(); });
    connect(m_reset, &QPushButton::clicked, m_filter, &AdvancedFilter::reset);

    connect(m_filter, &AdvancedFilter::filtersChanged, this, [this] {
        showFilter();
        emit filtersChanged();
    });
    connect(services.preferences, &Preferences::changed, this, [this](const QString& key) {
        if (key == AdvancedFilter::kItemFilterState || key == AdvancedFilter::kItemTimeFilterMode ||
            key == AdvancedFilter::kItemTagFilterState)
            showFilter();
    });
    m_storeObserver = document.context().addChangeObserver(
        [this](const store::ChangeEvent& event) { watchChoices(event); });
    // The tag and people lists are read when the panel shows: hidden, they would be read for nothing.
    showFilter();
}

AdvancedFilterViewController::~AdvancedFilterViewController()
{
    m_document.context().removeChangeObserver(m_storeObserver);
}

void AdvancedFilterViewController::showEvent(QShowEvent* event)
{
    reloadChoices();
    QWidget::showEvent(event);
}

void AdvancedFilterViewController::reloadChoices()
{
    store::Context& context = m_document.context();
    QStringList tagNames;
    for (const store::ManagedObject* object : context.objects(ItemTag::staticEntityName())) {
        const QString name = object->stringValue(QStringLiteral("name"));
        if (!name.isEmpty() && !tagNames.contains(name))
            tagNames << name;
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(tagNames.begin(), tagNames.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    std::set<QString> people;
    for (const QString& owner :
         context.distinctTexts(TODOItem::staticEntityName(), QStringLiteral("ownerUsername")))
        people.insert(owner);
    for (const QString& owner : m_filter->selectedOwners())
        people.insert(owner);
    QStringList personRows{tr("Anybody")};
    personRows.append(QStringList(people.begin(), people.end()));

    QStringList shownTags;
    for (int row = 0; row < m_tags->count(); ++row)
        shownTags << m_tags->item(row)->text();
    QStringList shownPeople;
    for (int row = 0; row < m_delegatedTo->count(); ++row)
        shownPeople << m_delegatedTo->itemText(row);
    // Lists left as they are keep their highlight, their scrolling and what is being typed.
    if (shownTags == tagNames && shownPeople == personRows)
        return;

    m_showing = true;
    if (shownTags != tagNames) {
        const QSignalBlocker blocker(m_tags);
        m_tags->clear();
        for (const QString& name : tagNames) {
            auto* row = new QListWidgetItem(name, m_tags);
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            row->setCheckState(m_filter->selectedTags().contains(name) ? Qt::Checked : Qt::Unchecked);
        }
    }
    if (shownPeople != personRows) {
        const QSignalBlocker blocker(m_delegatedTo);
        m_delegatedTo->clear();
        m_delegatedTo->addItems(personRows);
    }
    m_showing = false;
    showFilter();
}

void AdvancedFilterViewController::watchChoices(const store::ChangeEvent& event)
{
    // Hidden, the lists are read again when the panel shows.
    if (!isVisible())
        return;
    const auto touchesChoices = [&event](const store::ManagedObject* object, bool updated) {
        if (store::as<ItemTag>(object))
            return true;
        if (!store::as<TODOItem>(object))
            return false;
        return !updated || event.changedKeys.value(object).contains(QStringLiteral("ownerUsername"));
    };
    const bool touched =
        std::any_of(event.inserted.begin(), event.inserted.end(),
                    [&](const store::ManagedObject* object) { return touchesChoices(object, false); }) ||
        std::any_of(event.deleted.begin(), event.deleted.end(),
                    [&](const store::ManagedObject* object) { return touchesChoices(object, false); }) ||
        std::any_of(event.updated.begin(), event.updated.end(),
                    [&](const store::ManagedObject* object) { return touchesChoices(object, true); });
    if (touched)
        reloadChoices();
}

void AdvancedFilterViewController::showFilter()
{
    const bool was = m_showing;
    m_showing = true;
    if (m_search->text() != m_filter->searchString())
        m_search->setText(m_filter->searchString());
    m_state->setCurrentIndex(std::clamp(m_filter->filterState(), 0, m_state->count() - 1));
    m_timeMode->setCurrentIndex(std::clamp(m_filter->timeFilterMode(), 0, m_timeMode->count() - 1));
    m_tagMode->setCurrentIndex(std::clamp(m_filter->tagFilterState(), 0, m_tagMode->count() - 1));
    const bool dated = !m_filter->isWholeTimeLine();
    {
        const QSignalBlocker b1(m_datesOn), b2(m_from), b3(m_to);
        m_datesOn->setChecked(dated);
        m_from->setEnabled(dated);
        m_to->setEnabled(dated);
        if (dated) {
            const QTimeZone zone = m_document.timeZone();
            if (m_filter->getMinSelectedDate().isValid())
                m_from->setDate(m_filter->getMinSelectedDate().toTimeZone(zone).date());
            if (m_filter->getMaxSelectedDate().isValid())
                m_to->setDate(m_filter->getMaxSelectedDate().toTimeZone(zone).date().addDays(-1));
        }
    }
    {
        const QSignalBlocker blocker(m_tags);
        for (int row = 0; row < m_tags->count(); ++row) {
            QListWidgetItem* item = m_tags->item(row);
            item->setCheckState(m_filter->selectedTags().contains(item->text()) ? Qt::Checked
                                                                                : Qt::Unchecked);
        }
    }
    {
        const QSignalBlocker blocker(m_delegatedTo);
        const QString owner = m_filter->delegatedTo();
        if (owner.isEmpty()) {
            m_delegatedTo->setCurrentIndex(0);
        } else {
            if (m_delegatedTo->findText(owner) < 0)
                m_delegatedTo->addItem(owner);
            m_delegatedTo->setCurrentIndex(m_delegatedTo->findText(owner));
        }
        // Several owners chosen on the team panel: none of them is "the" delegate.
        if (m_filter->selectedOwners().size() > 1)
            m_delegatedTo->setEditText(m_filter->selectedOwners().join(QStringLiteral(", ")));
    }
    {
        const QSignalBlocker b1(m_ownerNot), b2(m_createdByNot), b3(m_completedByNot);
        m_ownerNot->setChecked(m_filter->ownersNegated());
        m_createdByNot->setChecked(m_filter->createdByNegated());
        m_completedByNot->setChecked(m_filter->completedByNegated());
    }
    if (!m_createdBy->hasFocus())
        m_createdBy->setText(m_filter->createdBy().join(QStringLiteral(", ")));
    if (!m_completedBy->hasFocus())
        m_completedBy->setText(m_filter->completedBy().join(QStringLiteral(", ")));
    m_showing = was;
}

void AdvancedFilterViewController::applyDates()
{
    if (m_showing)
        return;
    const bool on = m_datesOn->isChecked();
    m_from->setEnabled(on);
    m_to->setEnabled(on);
    if (!on) {
        m_filter->setDateRange({}, {});
        return;
    }
    const QTimeZone zone = m_document.timeZone();
    QDate from = m_from->date();
    QDate to = m_to->date();
    if (to < from)
        std::swap(from, to);
    // Whole days: the upper bound is the start of the day after the last one.
    m_filter->setDateRange(from.startOfDay(zone), to.addDays(1).startOfDay(zone));
}

void AdvancedFilterViewController::deleteSelectedTags()
{
    QStringList names;
    for (const QListWidgetItem* row : m_tags->selectedItems())
        names << row->text();
    if (names.isEmpty() || !m_alerts ||
        !TagDeletion::deleteItemTags(*m_alerts, TagManager::sharedInstance(), m_document.context(), names))
        return;
    reloadChoices();
    applyTags(); // a removed tag filters no more
}

bool AdvancedFilterViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tags && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            deleteSelectedTags();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AdvancedFilterViewController::applyTags()
{
    if (m_showing)
        return;
    QStringList names;
    for (int row = 0; row < m_tags->count(); ++row) {
        if (m_tags->item(row)->checkState() == Qt::Checked)
            names << m_tags->item(row)->text();
    }
    m_filter->setSelectedTags(names);
}

void AdvancedFilterViewController::applyPeople()
{
    if (m_showing)
        return;
    const QString text = m_delegatedTo->currentText().trimmed();
    const bool anybody = text.isEmpty() || text == m_delegatedTo->itemText(0);
    // A list typed or shown for several team-panel owners is not a single delegate.
    if (!text.contains(u','))
        m_filter->setDelegatedTo(anybody ? QString() : text);
    m_filter->setOwnersNegated(m_ownerNot->isChecked());
    m_filter->setCreatedBy(namesIn(m_createdBy->text()), m_createdByNot->isChecked());
    m_filter->setCompletedBy(namesIn(m_completedBy->text()), m_completedByNot->isChecked());
}

} // namespace qv
