#include "ui/details/widgets/MyDrawerController.h"

#include "core/document/CalendarSync.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TagManager.h"
#include "core/util/ColorString.h"
#include "core/util/ValueTransformerRegistry.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "ui/board/ArrayController.h"
#include "ui/board/BoardImages.h"
#include "ui/board/QuadrantColors.h"
#include "ui/details/DrawerModel.h"
#include "ui/details/widgets/IconChooserWindow.h"
#include "ui/details/widgets/ReminderRow.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedLayout>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

namespace {

// A folded feed pane is one lower than this.
constexpr int kFoldedFeedHeight = 80;
const QString kDayFormat = QStringLiteral("yyyy-MM-dd");
const QString kMomentFormat = QStringLiteral("yyyy-MM-dd HH:mm");

QWidget* emptyPlace(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setEnabled(false);
    return label;
}

QWidget* placeWithLayout(QWidget* parent, const char* name)
{
    auto* place = new QWidget(parent);
    place->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    return place;
}

QDateTimeEdit* dateField(QWidget* parent)
{
    auto* field = new QDateTimeEdit(parent);
    field->setCalendarPopup(true);
    field->setTimeSpec(Qt::LocalTime);
    field->setDisplayFormat(kMomentFormat);
    return field;
}

} // namespace

MyDrawerController::MyDrawerController(MyDocument& document, const Services& services, QWidget* parent)
    : QWidget(parent), m_document(document), m_clock(services.clock),
      m_tagManager(TagManager::sharedInstance()), m_model(new DrawerModel(this))
{
    setObjectName(QStringLiteral("itemDrawer"));
    setAutoFillBackground(true);
    setMinimumWidth(200);
    m_pages = new QStackedLayout(this);

    m_emptyLabel = new QLabel(tr("No item selected"), this);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setEnabled(false);
    m_pages->addWidget(m_emptyLabel);

    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setObjectName(QStringLiteral("drawerSplitView"));
    m_tabs = new QTabWidget(m_split);
    m_tabs->setDocumentMode(true);
    auto* scroll = new QScrollArea(m_tabs);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // Frameless, it could not show the keyboard: Tab goes straight to its fields, which it
    // scrolls into sight.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(buildDetails());
    // A field takes the wheel only while it has keyboard focus; otherwise the wheel scrolls the
    // drawer, so that scrolling past a field never changes, saves and uploads its value.
    for (QWidget* field : scroll->widget()->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractSpinBox*>(field) || qobject_cast<QComboBox*>(field)) {
            field->setFocusPolicy(Qt::StrongFocus);
            field->installEventFilter(this);
        }
    }
    m_tabs->addTab(scroll, tr("Details"));
    m_filesPlace = placeWithLayout(m_tabs, "filesPlace");
    m_filesEmpty = emptyPlace(tr("Files attached to the item are listed here."), m_filesPlace);
    m_filesPlace->layout()->addWidget(m_filesEmpty);
    m_tabs->addTab(m_filesPlace, tr("Files"));
    m_feedPlace = placeWithLayout(m_split, "feedPlace");
    m_feedEmpty = emptyPlace(tr("Comments and history of the item are shown here."), m_feedPlace);
    // The splitter ignores a wrapped text's height: shown whole (at the narrowest drawer) or
    // folded away, never cut in half under the details.
    m_feedEmpty->setMinimumHeight(m_feedEmpty->heightForWidth(minimumWidth()));
    m_feedPlace->layout()->addWidget(m_feedEmpty);
    m_split->addWidget(m_tabs);
    m_split->addWidget(m_feedPlace);
    m_split->setStretchFactor(0, 2);
    m_split->setStretchFactor(1, 1);
    m_pages->addWidget(m_split);

    connectFields();
    connect(m_model, &DrawerModel::changed, this, &MyDrawerController::refresh);
    refresh();
}

MyDrawerController::~MyDrawerController()
{
    m_switching = true;
    commitEdits();
}

QWidget* MyDrawerController::buildDetails()
{
    auto* details = new QWidget;
    details->setObjectName(QStringLiteral("detailsPlace"));
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(10, 10, 10, 10);

    auto* title = new QHBoxLayout;
    m_iconButton = new QToolButton(details);
    m_iconButton->setIconSize(QSize(32, 32));
    m_iconButton->setAutoRaise(true);
    m_iconButton->setToolTip(tr("Choose an icon"));
    m_name = new QLineEdit(details);
    m_name->setPlaceholderText(tr("Name"));
    title->addWidget(m_iconButton);
    title->addWidget(m_name, 1);
    layout->addLayout(title);

    layout->addWidget(new QLabel(tr("Notes"), details));
    m_notes = new QPlainTextEdit(details);
    m_notes->setTabChangesFocus(true);
    m_notes->setMinimumHeight(80);
    layout->addWidget(m_notes, 1);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_link = new QLineEdit(details);
    m_link->setPlaceholderText(tr("https://"));
    form->addRow(tr("Link"), m_link);

    // The date's switch is its row's label, which leaves the field its room for the weekday.
    const auto dateRow = [&](const QString& label, QCheckBox*& toggle, QDateTimeEdit*& field) {
        auto* row = new QHBoxLayout;
        toggle = new QCheckBox(label, details);
        field = dateField(details);
        row->addWidget(field, 1);
        form->addRow(toggle, row);
        return row;
    };
    dateRow(tr("Start"), m_hasStart, m_start);
    QHBoxLayout* dueRow = dateRow(tr("Due"), m_hasDue, m_due);
    m_dueWeekday = new QLabel(details);
    m_dueWeekday->setObjectName(QStringLiteral("dueWeekday"));
    m_dueWeekday->setTextFormat(Qt::PlainText);
    dueRow->addWidget(m_dueWeekday);
    m_allDay = new QCheckBox(tr("All day"), details);
    form->addRow(QString(), m_allDay);
    m_reminder = new ReminderRow(m_clock, details);
    form->addRow(tr("Reminder"), m_reminder);

    m_completion = new QSpinBox(details);
    m_completion->setRange(0, 100);
    m_completion->setSingleStep(10);
    m_completion->setSuffix(QStringLiteral(" %"));
    m_completion->setKeyboardTracking(false);
    form->addRow(tr("Completion"), m_completion);
    m_effort = new QSpinBox(details);
    m_effort->setRange(0, 9999);
    m_effort->setKeyboardTracking(false);
    form->addRow(tr("Effort"), m_effort);
    m_recurrence = new QComboBox(details);
    m_recurrence->addItems(DrawerModel::recurrenceTexts());
    form->addRow(tr("Repeat"), m_recurrence);
    m_tags = new QLineEdit(details);
    m_tags->setPlaceholderText(tr("tag, another tag"));
    form->addRow(tr("Tags"), m_tags);
    m_ownerPlace = placeWithLayout(details, "ownerPlace");
    m_ownerEmpty = new QWidget(m_ownerPlace);
    m_ownerPlace->layout()->addWidget(m_ownerEmpty);
    form->addRow(tr("Owner"), m_ownerPlace);
    layout->addLayout(form);
    return details;
}

void MyDrawerController::connectFields()
{
    // Return applies the name at once, as leaving the field does.
    connect(m_name, &QLineEdit::returnPressed, this, &MyDrawerController::commitName);
    connect(m_name, &QLineEdit::editingFinished, this, &MyDrawerController::commitName);
    m_notes->installEventFilter(this);
    connect(m_link, &QLineEdit::editingFinished, this, [this] {
        if (m_shown && !m_refreshing)
            edited([this] { DrawerModel::writeLink(m_shown, m_link->text()); });
    });
    for (bool start : {true, false}) {
        QCheckBox* toggle = start ? m_hasStart : m_hasDue;
        QDateTimeEdit* field = start ? m_start : m_due;
        connect(toggle, &QCheckBox::toggled, this, [this, start] { writeDate(start); });
        connect(field, &QDateTimeEdit::dateTimeChanged, this, [this, start] { writeDate(start); });
    }
    connect(m_allDay, &QCheckBox::toggled, this, [this](bool on) {
        if (m_shown && !m_refreshing)
            edited([this, on] {
                DrawerModel::writeAllDay(m_shown, on);
                datesChanged();
            });
    });
    connect(m_completion, &QSpinBox::valueChanged, this, [this](int value) {
        if (m_shown && !m_refreshing)
            edited([this, value] {
                DrawerModel::writeCompletion(m_document, m_shown, value, m_model->arrayController());
            });
    });
    connect(m_effort, &QSpinBox::valueChanged, this, [this](int value) {
        if (m_shown && !m_refreshing)
            edited([this, value] { DrawerModel::writeEffort(m_shown, value); });
    });
    connect(m_recurrence, &QComboBox::activated, this, [this](int index) {
        if (m_shown && !m_refreshing)
            edited([this, index] { DrawerModel::writeRecurrence(m_shown, TODOItem::Recurrence(index)); });
    });
    connect(m_tags, &QLineEdit::editingFinished, this, &MyDrawerController::commitTags);
    connect(m_iconButton, &QToolButton::clicked, this, &MyDrawerController::showImagesWindow);
}

void MyDrawerController::commitName()
{
    if (!m_shown || m_refreshing)
        return;
    const bool written = DrawerModel::writeName(m_shown, m_name->text());
    m_name->setModified(false);
    if (written)
        edited({});
    else
        m_name->setText(m_shown->name());
}

void MyDrawerController::edited(const std::function<void()>& write)
{
    if (write)
        write();
    // The rows show the change now, in their order, and not at the next unrelated refresh;
    // not while the drawer itself turns to another item or goes.
    ArrayController* controller = m_model->arrayController();
    if (controller && !m_switching)
        controller->rearrangeObjects();
}

void MyDrawerController::commitTags()
{
    if (!m_shown || m_refreshing || !m_tagManager)
        return;
    edited([this] {
        DrawerModel::writeTags(*m_tagManager, m_shown, DrawerModel::tagNamesFromText(m_tags->text()));
    });
    if (m_shown)
        m_tags->setText(m_shown->getTagNames().join(QStringLiteral(", ")));
}

void MyDrawerController::writeDate(bool start)
{
    if (!m_shown || m_refreshing)
        return;
    QCheckBox* toggle = start ? m_hasStart : m_hasDue;
    QDateTimeEdit* field = start ? m_start : m_due;
    field->setEnabled(toggle->isChecked());
    const QDateTime date = toggle->isChecked() ? field->dateTime() : QDateTime();
    edited([this, start, date] {
        if (start)
            DrawerModel::writeStartDate(m_shown, date);
        else
            DrawerModel::writeDueDate(m_shown, date);
        datesChanged();
    });
}

void MyDrawerController::datesChanged()
{
    // A start date can push the due date along, so either may move the item's calendar event.
    if (CalendarSyncInterface* calendar = m_document.calendarSync(); calendar && m_shown)
        calendar->updateEventForItem(m_shown, m_shown->list());
}

IconChooserWindow* MyDrawerController::showImagesWindow()
{
    if (!m_shown)
        return nullptr;
    auto* chooser = new IconChooserWindow(this);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &IconChooserWindow::iconChosen, this,
            [this](const QString& name) { edited([this, name] { DrawerModel::writeIcon(m_shown, name); }); });
    chooser->show();
    return chooser;
}

void MyDrawerController::setArrayController(ArrayController* controller)
{
    m_model->setArrayController(controller);
}

ArrayController* MyDrawerController::arrayController() const
{
    return m_model->arrayController();
}

bool MyDrawerController::isOpen() const
{
    return m_model->isOpen();
}

TODOItem* MyDrawerController::getItem() const
{
    return m_model->getItem();
}

void MyDrawerController::setFeedView(QWidget* view)
{
    placeView(m_feedPlace, m_feedView, view, m_feedEmpty);
}

void MyDrawerController::setFilesView(QWidget* view)
{
    placeView(m_filesPlace, m_filesView, view, m_filesEmpty);
}

void MyDrawerController::setOwnerView(QWidget* view)
{
    placeView(m_ownerPlace, m_ownerView, view, m_ownerEmpty);
}

void MyDrawerController::placeView(QWidget* place, QPointer<QWidget>& current, QWidget* view, QWidget* empty)
{
    if (view == current)
        return;
    delete current.data();
    current = view;
    if (view) {
        view->setParent(place);
        place->layout()->addWidget(view);
        view->show();
    }
    empty->setVisible(!view);
}

void MyDrawerController::setValueTransformers(const ValueTransformerRegistry* transformers)
{
    m_transformers = transformers;
    refresh();
}

void MyDrawerController::showDueDateHints(const QDateTime& due)
{
    const ValueTransformer* weekday =
        m_transformers ? m_transformers->transformer(QStringLiteral("NSDateToDayOfTheWeekTransformer"))
                       : nullptr;
    m_dueWeekday->setText(weekday ? weekday->transformedValue(due).toString() : QString());
    const ValueTransformer* colour =
        m_transformers ? m_transformers->transformer(QStringLiteral("FontColorFromDueDate")) : nullptr;
    const QColor text = colour ? colour->transformedValue(due).value<QColor>() : QColor();
    // Black is a light window's text colour: inheriting the palette's own keeps a dark desktop
    // readable.
    m_dueInk = text.isValid() && text != QColor(Qt::black) ? text : QColor();
    applyDueColors();
}

void MyDrawerController::applyDueColors()
{
    // The overdue red, moved where it must be until it reads on the field and on the drawer. An
    // empty palette inherits everything.
    QPalette field;
    QPalette label;
    if (m_dueInk.isValid()) {
        field.setColor(QPalette::Text, QuadrantColors::readableOn(m_dueInk, palette().color(QPalette::Base)));
        label.setColor(QPalette::WindowText,
                       QuadrantColors::readableOn(m_dueInk, palette().color(QPalette::Window)));
    }
    m_due->setPalette(field);
    m_dueWeekday->setPalette(label);
}

void MyDrawerController::toggleFeed()
{
    const QList<int> sizes = m_split->sizes();
    // While no item is shown the split view is not laid out and its sizes are those it last had,
    // or none: it is to get the drawer's whole height. The divider keeps its share of that.
    const int total =
        m_split->isVisible()
            ? sizes.value(0) + sizes.value(1)
            : std::max(contentsRect().height(), m_split->minimumSizeHint().height()) - m_split->handleWidth();
    const bool folded = m_feedPlace->isHidden() || sizes.value(1) < kFoldedFeedHeight;
    if (folded) {
        const int details = total * 2 / 3;
        m_split->setSizes({details, total - details});
    } else {
        m_split->setSizes({total, 0});
    }
}

void MyDrawerController::commitEdits()
{
    if (!m_shown || m_shown->isDeleted())
        return;
    if (m_name->isModified())
        commitName();
    if (m_notes->document()->isModified()) {
        m_notes->document()->setModified(false);
        edited([this] { DrawerModel::writeNotes(m_shown, m_notes->toPlainText()); });
    }
    if (m_link->isModified()) {
        m_link->setModified(false);
        edited([this] { DrawerModel::writeLink(m_shown, m_link->text()); });
    }
    if (m_tags->isModified()) {
        commitTags();
        m_tags->setModified(false);
    }
    m_reminder->commit();
}

bool MyDrawerController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_notes && event->type() == QEvent::FocusOut)
        commitEdits();
    if (event->type() == QEvent::Wheel && watched->isWidgetType() &&
        !static_cast<QWidget*>(watched)->hasFocus()) {
        event->ignore(); // passed on to the scroll area
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MyDrawerController::showValues(TODOItem* item, bool otherItem)
{
    m_refreshing = true;
    const auto untouched = [otherItem](QWidget* field) {
        return otherItem || !field->hasFocus();
    };
    if (otherItem || (!m_name->isModified() && m_name->text() != item->name())) {
        m_name->setText(item->name());
        m_name->setModified(false);
    }
    if (otherItem ||
        (!m_notes->document()->isModified() && m_notes->toPlainText() != item->descriptionText())) {
        m_notes->setPlainText(item->descriptionText());
        m_notes->document()->setModified(false);
    }
    if (untouched(m_link) && (otherItem || !m_link->isModified())) {
        m_link->setText(item->macResourceURL());
        m_link->setModified(false);
    }
    const QString icon = item->icon().isEmpty() ? QStringLiteral("empty_orange128.png") : item->icon();
    m_iconButton->setIcon(QIcon(QPixmap::fromImage(BoardImages::imageNamed(QStringLiteral("44") + icon))));

    const bool allDay = item->allDay();
    m_allDay->setChecked(allDay);
    const QDateTime now = m_clock ? m_clock->now() : QDateTime::currentDateTimeUtc();
    for (bool start : {true, false}) {
        QCheckBox* toggle = start ? m_hasStart : m_hasDue;
        QDateTimeEdit* field = start ? m_start : m_due;
        const QDateTime date = start ? item->startDate() : item->dueDate();
        // A date turned on starts at now, or at the other date when now is on its wrong side
        // (else turning it on would move the other one).
        const QDateTime other = start ? item->dueDate() : item->startDate();
        const bool wrongSide = other.isValid() && (start ? other < now : other > now);
        const QDateTime fallback = (wrongSide ? other : now).toLocalTime();
        // Setting the format again puts the field back on its year, so an arrow key pressed on the
        // day would move the year at its second press.
        if (const QString format = allDay ? kDayFormat : kMomentFormat; field->displayFormat() != format)
            field->setDisplayFormat(format);
        toggle->setChecked(date.isValid());
        field->setEnabled(date.isValid());
        if (untouched(field))
            field->setDateTime(date.isValid() ? date.toLocalTime() : fallback);
    }
    showDueDateHints(item->dueDate());
    if (untouched(m_completion))
        m_completion->setValue(int(item->completionPercentage()));
    if (untouched(m_effort))
        m_effort->setValue(int(item->effort()));
    const auto recurrence = qsizetype(item->recurrence());
    m_recurrence->setCurrentIndex(recurrence < m_recurrence->count() ? int(recurrence) : -1);
    if (untouched(m_tags) && (otherItem || !m_tags->isModified())) {
        m_tags->setText(item->getTagNames().join(QStringLiteral(", ")));
        m_tags->setModified(false);
    }
    m_tags->setEnabled(m_tagManager != nullptr);
    m_reminder->showItem(item, otherItem);
    m_refreshing = false;
}

void MyDrawerController::applyColors(const TODOItem* item)
{
    // The item's quadrant in the drawer: its lighter colour, or under a dark desktop theme the
    // dark form the quadrant's table has; the labels in whichever of the theme's text and the
    // board's dark grey reads on it.
    const QPalette desktop = parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
    QColor background = m_model->backgroundColor();
    if (QuadrantColors::isDark(desktop)) {
        const std::optional<QColor> quadrant =
            ColorString::colorWithString(DrawerModel::quadrantColorString(item));
        background = quadrant && quadrant->isValid() ? QuadrantColors::tableColor(*quadrant, desktop)
                                                     : desktop.color(QPalette::Window);
    }
    const QColor text = QuadrantColors::readableOn(desktop.color(QPalette::WindowText), background);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, background);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        colors.setColor(group, QPalette::WindowText, text);
    // The greyed texts (what an empty place holds) half way to the background, but readable.
    colors.setColor(QPalette::Disabled, QPalette::WindowText,
                    QuadrantColors::readableOn(QuadrantColors::mixed(text, background, 0.5), background));
    if (colors != palette())
        setPalette(colors);
    applyDueColors();
}

void MyDrawerController::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The desktop's theme turned dark or light.
    if (event->type() == QEvent::PaletteChange)
        applyColors(m_model->getItem());
}

void MyDrawerController::refresh()
{
    TODOItem* item = m_model->getItem();
    const bool otherItem = item != m_shown;
    if (otherItem) {
        // What was typed belongs to the item it was typed for.
        m_switching = true;
        commitEdits();
        m_switching = false;
        m_shown = item;
    }
    if (item)
        showValues(item, otherItem);
    m_pages->setCurrentIndex(item ? 1 : 0);
    applyColors(item);
    const bool open = m_model->isOpen();
    if (open != m_wasOpen) {
        m_wasOpen = open;
        emit openChanged(open);
    }
    if (otherItem)
        emit itemChanged(item);
}

} // namespace qv
