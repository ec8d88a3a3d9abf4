#include "ui/team/TeamViewController.h"

#include "core/model/TODOList.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "sync/QVRestManager.h"
#include "sync/SyncNotifications.h"
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamLogging.h"

namespace qv {

TeamViewController::TeamViewController(const Services& services, SimpleCollaboratorsController& people,
                                       QObject* parent)
    : QObject(parent), m_services(services), m_people(people)
{
    m_people.setVisible(true);
    m_people.setMode(selectedMode());
    connect(&m_people, &SimpleCollaboratorsController::selectionChanged, this,
            &TeamViewController::peopleSelectionChanged);
    if (m_services.notifications) {
        m_services.notifications->addObserver(
            this, kNotificationProjectUpdaterLooped,
            [this](const Notification& note) { projectUpdaterLooped(note.userInfo); });
    }
    m_sharingTimer = m_services.scheduler->every(kSharingCheckIntervalMs, this,
                                                 [this] { checkForSharingRequestsForTimer(); });
    m_firstCheck = m_services.scheduler->after(kFirstSharingCheckMs, this, [this] {
        m_firstCheck = 0;
        checkForSharingRequestsForTimer();
    });
}

TeamViewController::~TeamViewController()
{
    if (m_services.notifications)
        m_services.notifications->removeObserver(this);
    m_services.scheduler->cancel(m_sharingTimer);
    if (m_firstCheck)
        m_services.scheduler->cancel(m_firstCheck);
}

void TeamViewController::setFeed(TeamFeed* feed)
{
    m_feed = feed;
    if (!m_feed)
        return;
    m_feed->setVisible(m_visible);
    m_feed->setMode(selectedMode());
    m_feed->setRepresentedObject(m_project);
}

void TeamViewController::setRepresentedObject(TODOList* project)
{
    if (project == m_project)
        return;
    m_project = project;
    m_people.setProject(project);
    if (m_feed)
        m_feed->setRepresentedObject(project);
}

void TeamViewController::setVisible(bool visible)
{
    m_visible = visible;
    if (m_feed)
        m_feed->setVisible(visible);
    m_people.setVisible(visible);
}

int TeamViewController::selectedMode() const
{
    const QVariant stored =
        m_services.preferences ? m_services.preferences->value(kSelectedModeKey) : QVariant();
    return stored.isValid() ? stored.toInt() : SimpleCollaboratorsController::ProjectOnly;
}

void TeamViewController::setSelectedMode(int mode)
{
    if (mode == selectedMode())
        return;
    if (m_services.preferences)
        m_services.preferences->setValue(kSelectedModeKey, mode);
    applyMode(mode);
}

void TeamViewController::applyMode(int mode)
{
    m_people.setMode(mode);
    if (m_feed)
        m_feed->setMode(mode);
    emit modeChanged(mode);
}

QString TeamViewController::feedTitle() const
{
    return selectedMode() == SimpleCollaboratorsController::ProjectOnly
               ? QStringLiteral("History for selected project")
               : QStringLiteral("History");
}

void TeamViewController::reloadCollaborators()
{
    m_people.setProject(m_project, true);
}

// --- Projects shared with the user

void TeamViewController::checkForSharingRequestsForTimer()
{
    // Signed out or offline the server can only refuse or not answer.
    if (!isCheckAllowed())
        return;
    showPendingRequests(nullptr, true, false);
}

std::function<bool()> TeamViewController::whenSignedInAndOnline(const QVRestManager& engine)
{
    return [&engine] {
        return engine.isOnline() && !engine.getCurrentUserEmail().isEmpty();
    };
}

void TeamViewController::checkForSharingRequests(QObject* sender)
{
    showPendingRequests(sender, false, sender != nullptr);
}

void TeamViewController::showPendingRequests(QObject* sender)
{
    showPendingRequests(sender, false, false);
}

void TeamViewController::showPendingRequests(QObject* anchor, bool reportOnlyIfNew, bool reportIfEmpty)
{
    if (!m_sharedList)
        return;
    // Asked for, the list opens afresh; the minute's check leaves an open one alone (its rows
    // follow the list when the check brings news).
    if (m_popover && m_popover->isShown() && !reportOnlyIfNew)
        m_popover->close();
    const int before = m_sharedList->requestCount();
    QPointer<QObject> anchorAlive(anchor);
    const bool hadAnchor = anchor != nullptr;
    QPointer<TeamViewController> self(this);
    m_sharedList->reloadAll(true, [self, before, anchorAlive, hadAnchor, reportOnlyIfNew,
                                   reportIfEmpty](const QList<SharingRequest>& requests) {
        if (!self)
            return;
        if (!requests.isEmpty()) {
            if (reportOnlyIfNew &&
                (requests.size() == before || (self->m_popover && self->m_popover->isShown())))
                return;
            // An anchor gone meanwhile has no place to show the list at.
            if (self->m_popover && (!hadAnchor || anchorAlive))
                self->m_popover->showAt(anchorAlive.data());
        } else if (reportIfEmpty && self->m_services.alerts) {
            self->m_services.alerts->alert(QStringLiteral("No new projects are currently shared with you"),
                                           {}, QStringLiteral("OK"), Alerts::Style::Warning);
        }
    });
}

PeopleMenu TeamViewController::shareMenu() const
{
    return m_people.invitingMenu();
}

// --- The project changed on the server

void TeamViewController::projectUpdaterLooped(const QVariantMap& userInfo)
{
    const auto ids = userInfo.find(QStringLiteral("updatedProjects"));
    if (ids == userInfo.end() || !m_project || !m_project->context())
        return;
    if (!m_services.preferences || !m_services.preferences->boolValue(kShowingFeedKey))
        return;
    for (const QVariant& id : ids->toList()) {
        TODOList* project = TODOList::findWithID(id.toLongLong(), *m_project->context());
        if (!project || project != m_project)
            continue;
        const qint64 version = project->versionID();
        const qint64 timestamp = project->timestamp();
        if (version == m_refreshedVersion && timestamp <= m_refreshedTimestamp)
            continue;
        qCDebug(lcTeam, "refreshing the team of project %lld", project->id_());
        m_people.refreshProject(project);
        if (m_feed)
            m_feed->reloadFeed(false, true, true);
        m_refreshedVersion = version;
        m_refreshedTimestamp = timestamp;
    }
}

// --- People chosen

void TeamViewController::peopleSelectionChanged()
{
    // After the filter panel has taken the announcement.
    m_services.scheduler->post(this, [this] {
        const QStringList emails =
            m_window.currentOwnerEmails ? m_window.currentOwnerEmails() : QStringList();
        const QSet<QString> chosen(emails.begin(), emails.end());
        if (chosen == m_selectedCollaborators)
            return;
        if (m_window.updateFilters)
            m_window.updateFilters();
        if (m_feed)
            m_feed->showCommentsForEmails(emails);
        m_selectedCollaborators = chosen;
    });
}

} // namespace qv
