#include "ui/board/widgets/CalendarSyncViewController.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOList.h"
#include "exchange/iCalController.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

namespace {

constexpr int kUriRole = Qt::UserRole + 1;

QLabel* plainLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

CalendarSyncViewController::CalendarSyncViewController(iCalController& calendar, MyDocument& document,
                                                       Preferences& preferences, QWidget* parent)
    : QDialog(parent), m_calendar(calendar), m_document(document), m_preferences(preferences),
      m_chooseFiles([](QWidget* owner) {
          return QFileDialog::getOpenFileNames(owner, QStringLiteral("Add Calendar Files"), QDir::homePath(),
                                               QStringLiteral("iCalendar files (*.ics);;All files (*)"));
      })
{
    setObjectName(QStringLiteral("calendarSettingsWindow"));
    setWindowTitle(QStringLiteral("Calendar Sync Settings"));
    setWindowModality(Qt::WindowModal);

    m_sync = new QCheckBox(QStringLiteral("Sync items with the calendar"));
    m_sync->setObjectName(QStringLiteral("doCalSync"));
    m_autoSync = new QCheckBox(QStringLiteral("Export to the calendar every 5 minutes"));
    m_autoSync->setObjectName(QStringLiteral("doAutoCalSync"));

    auto* exportNote = plainLabel(QStringLiteral("Dated items of the ticked projects are written to %1, "
                                                 "which your calendar program can show read-only.")
                                      .arg(QDir::toNativeSeparators(m_calendar.calendarPath())));
    exportNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_projects = new QListWidget;
    m_projects->setObjectName(QStringLiteral("calendarProjects"));

    m_calendars = new QListWidget;
    m_calendars->setObjectName(QStringLiteral("calendarFiles"));
    m_calendars->setSelectionMode(QAbstractItemView::SingleSelection);
    m_add = new QPushButton(QStringLiteral("Add…"));
    m_add->setObjectName(QStringLiteral("addCalendar"));
    m_remove = new QPushButton(QStringLiteral("Remove"));
    m_remove->setObjectName(QStringLiteral("removeCalendar"));
    m_problem = plainLabel(QString());
    m_problem->setObjectName(QStringLiteral("calendarProblem"));
    m_problem->hide();

    auto* buttons = new QDialogButtonBox;
    QPushButton* done = buttons->addButton(QStringLiteral("Done"), QDialogButtonBox::AcceptRole);
    done->setObjectName(QStringLiteral("closeCalendarSettingsSheet"));
    done->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_sync);
    layout->addWidget(m_autoSync);
    layout->addSpacing(8);
    layout->addWidget(plainLabel(QStringLiteral("Export the items of these projects:")));
    layout->addWidget(m_projects, 1);
    layout->addWidget(exportNote);
    layout->addSpacing(8);
    layout->addWidget(plainLabel(QStringLiteral("Import events from today on from these calendar files:")));
    layout->addWidget(m_calendars, 1);
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(m_add);
    fileButtons->addWidget(m_remove);
    fileButtons->addStretch(1);
    layout->addLayout(fileButtons);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    resize(520, 560);

    m_sync->setChecked(m_preferences.boolValue(iCalController::syncKey()));
    m_autoSync->setChecked(m_preferences.boolValue(iCalController::autoSyncKey()));
    connect(m_sync, &QCheckBox::toggled, this, &CalendarSyncViewController::syncSwitched);
    connect(m_autoSync, &QCheckBox::toggled, this,
            [this](bool on) { m_preferences.setValue(iCalController::autoSyncKey(), on); });
    connect(m_projects, &QListWidget::itemChanged, this, [this](QListWidgetItem* row) {
        auto* project =
            store::as<TODOList>(m_document.context().objectForURI(row->data(kUriRole).toString()));
        m_calendar.setProjectExported(project, row->checkState() == Qt::Checked);
    });
    connect(m_calendars, &QListWidget::itemSelectionChanged, this,
            &CalendarSyncViewController::refreshEnabled);
    connect(m_add, &QPushButton::clicked, this, &CalendarSyncViewController::addCalendars);
    connect(m_remove, &QPushButton::clicked, this, &CalendarSyncViewController::removeCalendar);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    refreshEnabled();
}

void CalendarSyncViewController::loadProjects()
{
    const QSignalBlocker quiet(m_projects);
    m_projects->clear();
    for (TODOList* project : m_document.getAllProjects()) {
        auto* row = new QListWidgetItem(project->name(), m_projects);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        row->setData(kUriRole, project->uri());
        row->setCheckState(m_calendar.isProjectExported(project) ? Qt::Checked : Qt::Unchecked);
    }
}

void CalendarSyncViewController::loadCalendars()
{
    m_calendars->clear();
    for (const QString& path : m_calendar.importFiles()) {
        auto* row = new QListWidgetItem(QDir::toNativeSeparators(path), m_calendars);
        row->setData(kUriRole, path);
        row->setToolTip(QDir::toNativeSeparators(path));
    }
    m_problem->hide();
    refreshEnabled();
}

void CalendarSyncViewController::addCalendars()
{
    QStringList problems;
    for (const QString& path : m_chooseFiles(this)) {
        QString why;
        if (!m_calendar.addImportFile(path, &why))
            problems << why;
    }
    loadCalendars();
    m_problem->setText(problems.join(QLatin1Char('\n')));
    m_problem->setVisible(!problems.isEmpty());
}

void CalendarSyncViewController::removeCalendar()
{
    const QList<QListWidgetItem*> selected = m_calendars->selectedItems();
    if (selected.isEmpty())
        return;
    m_calendar.removeImportFile(selected.first()->data(kUriRole).toString());
    loadCalendars();
}

void CalendarSyncViewController::syncSwitched(bool on)
{
    m_preferences.setValue(iCalController::syncKey(), on);
    refreshEnabled();
}

void CalendarSyncViewController::refreshEnabled()
{
    const bool on = m_sync->isChecked();
    m_autoSync->setEnabled(on);
    m_projects->setEnabled(on);
    m_calendars->setEnabled(on);
    m_add->setEnabled(on);
    m_remove->setEnabled(on && !m_calendars->selectedItems().isEmpty());
}

} // namespace qv
