#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qv {

class MyDocument;
class Preferences;
class iCalController;

// The calendar settings sheet: calendar sync on or off ("doCalSync"), the automatic export
// ("doAutoCalSync"), the projects whose dated items are exported and the .ics files imported
// from. Each change is kept at once; Done ends the sheet (finished()), after which the window
// starts or stops the export timer.
class CalendarSyncViewController final : public QDialog {
    Q_OBJECT
public:
    CalendarSyncViewController(iCalController& calendar, MyDocument& document, Preferences& preferences,
                               QWidget* parent = nullptr);

    // The files Add… offers to import; a file dialog unless tests choose.
    void setFileChooser(std::function<QStringList(QWidget*)> choose) { m_chooseFiles = std::move(choose); }

    // Fill the sheet: the listed projects with their ticks, the added calendar files.
    void loadProjects();
    void loadCalendars();

    void addCalendars();
    void removeCalendar();

private:
    void syncSwitched(bool on);
    void refreshEnabled();

    iCalController& m_calendar;
    MyDocument& m_document;
    Preferences& m_preferences;
    std::function<QStringList(QWidget*)> m_chooseFiles;
    QCheckBox* m_sync = nullptr;
    QCheckBox* m_autoSync = nullptr;
    QListWidget* m_projects = nullptr;
    QListWidget* m_calendars = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace qv
