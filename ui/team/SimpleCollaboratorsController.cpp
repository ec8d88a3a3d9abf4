#include "ui/team/SimpleCollaboratorsController.h"

#include "core/model/TODOList.h"
#include "core/util/Utils.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "sync/AvatarManager.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRestManager.h"
#include "ui/board/BoardImages.h"
#include "ui/board/ItemFilterPanel.h"
#include "ui/details/DetailsNotifications.h"
#include "ui/team/TeamLogging.h"

#include <QCollator>

#include <algorithm>

namespace qv {

namespace {

const QString kPleaseTryLater = QStringLiteral("Please, try later");

User personNamed(const QString& email)
{
    User user;
    user.username = email;
    user.email = email;
    return user;
}

} // namespace

SimpleCollaboratorsController::SimpleCollaboratorsController(const Services& services,
                                                             CollaborationManager& manager,
                                                             QVRestManager& engine, AvatarManager* avatars,
                                                             QObject* parent)
    : QObject(parent), m_services(services), m_manager(manager), m_engine(engine), m_avatars(avatars)
{
    if (m_services.notifications) {
        m_services.notifications->addObserver(this, kNotificationSelectedOwnersChanged,
                                              [this](const Notification& note) {
                                                  if (note.sender != this)
                                                      selectOwners(note.object.toStringList());
                                              });
    }
    connect(&m_engine, &QVRestManager::isOnlineChanged, this, &SimpleCollaboratorsController::onlineChanged);
    // A picture that arrives redraws the rows; asking again for one the server lacks would
    // redraw them forever.
    if (m_avatars) {
        connect(m_avatars, &AvatarManager::avatarChanged, this, [this](const QString& email) {
            if (findUserWithEmail(email))
                scheduleTableReload();
        });
    }
}

SimpleCollaboratorsController::~SimpleCollaboratorsController()
{
    if (m_services.notifications)
        m_services.notifications->removeObserver(this);
    if (m_reloadTimer)
        m_services.scheduler->cancel(m_reloadTimer);
    if (m_observedContext && m_contextObserver)
        m_observedContext->removeChangeObserver(*m_contextObserver);
}

// --- What is shown

void SimpleCollaboratorsController::setProject(TODOList* project, bool force)
{
    if (!force && project == m_project)
        return;
    m_project = project;
    store::Context* context = project ? project->context() : nullptr;
    if (context != m_observedContext) {
        if (m_observedContext && m_contextObserver)
            m_observedContext->removeChangeObserver(*m_contextObserver);
        m_contextObserver.reset();
        m_observedContext = context;
        if (context)
            m_contextObserver = context->addChangeObserver(
                [this](const store::ChangeEvent& event) { contextChanged(event); });
    }
    bool forced = force;
    if (project && m_refreshNeeded.remove(project->id_()))
        forced = true;
    reloadDataForProject(project, forced);
    updateButtons();
}

void SimpleCollaboratorsController::contextChanged(const store::ChangeEvent& event)
{
    if (!m_project)
        return;
    for (const store::ManagedObject* gone : event.deleted) {
        if (gone == m_project) {
            setProject(nullptr);
            return;
        }
    }
    // The project got its server id: the panel can work on it now.
    if (event.changedKeys.value(m_project).contains(QStringLiteral("id_"))) {
        updateButtons();
        if (m_rows.isEmpty() && m_project->id_() > 0)
            reloadDataForProject(m_project, false);
    }
}

void SimpleCollaboratorsController::setMode(int mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    refreshData();
}

void SimpleCollaboratorsController::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (visible)
        refresh();
}

void SimpleCollaboratorsController::refreshProject(TODOList* project)
{
    if (!project)
        return;
    if (project == m_project)
        reloadDataForProject(project, true);
    else
        m_refreshNeeded.insert(project->id_());
}

void SimpleCollaboratorsController::refresh()
{
    reloadDataForProject(m_project, true);
}

bool SimpleCollaboratorsController::buttonsEnabled() const
{
    return m_project && m_project->id_() > 0;
}

void SimpleCollaboratorsController::updateButtons()
{
    emit buttonsEnabledChanged(buttonsEnabled());
}

bool SimpleCollaboratorsController::isBusy() const
{
    return m_retrievingCollaborators || m_retrievingOwners || m_retrievingRequests || m_posting ||
           !m_checking.isEmpty();
}

bool SimpleCollaboratorsController::isOnline() const
{
    return m_engine.isOnline();
}

bool SimpleCollaboratorsController::stillShows(TODOList* project) const
{
    return project && project == m_project;
}

// --- Loading

void SimpleCollaboratorsController::reloadDataForProject(TODOList* project, bool force)
{
    if (!m_visible)
        return;
    if (!project || project->id_() == 0) {
        m_owners.clear();
        m_pending.clear();
        refreshData();
        return;
    }

    m_collaborators = m_manager.getCachedCollaborators();
    if ((force || m_collaborators.isEmpty()) && !m_retrievingCollaborators) {
        m_retrievingCollaborators = true;
        QPointer<SimpleCollaboratorsController> self(this);
        m_manager.getCollaborators(
            [self](const QList<User>& users) {
                if (!self)
                    return;
                self->m_collaborators = users;
                self->askAvatars(users);
                self->m_retrievingCollaborators = false;
                self->refreshData();
            },
            [self](const std::optional<QString>&) {
                if (!self)
                    return;
                qCInfo(lcTeam, "Failed when loading collaborators");
                self->m_retrievingCollaborators = false;
                self->refreshData();
            });
    }

    QList<User> owners = m_manager.getCachedOwnersForProject(project);
    if (force || owners.isEmpty()) {
        QPointer<SimpleCollaboratorsController> self(this);
        owners = m_manager.getOwnersForProject(
            project,
            [self] {
                if (self)
                    self->m_retrievingOwners = true;
            },
            [self, project](const QList<User>& list) {
                if (!self)
                    return;
                if (self->stillShows(project)) {
                    self->m_owners = list;
                    self->askAvatars(list);
                    self->giveProjectOwners();
                    self->refreshData();
                }
                self->m_retrievingOwners = false;
                emit self->progressChanged();
            },
            [self, project](const std::optional<QString>& error) {
                if (!self)
                    return;
                if (error)
                    qCInfo(lcTeam, "Failure when retrieving collaborators for project %lld", project->id_());
                if (self->stillShows(project))
                    self->refreshData();
                self->m_retrievingOwners = false;
                emit self->progressChanged();
            },
            force);
    }
    m_owners = owners;
    askAvatars(owners);
    giveProjectOwners();

    QPointer<SimpleCollaboratorsController> self(this);
    m_pending = m_manager.getSharingRequestsForProject(
        project,
        [self] {
            if (self)
                self->m_retrievingRequests = true;
        },
        [self, project](const QList<SharingRequest>& list) {
            if (!self)
                return;
            if (self->stillShows(project)) {
                self->m_pending = list;
                self->refreshData();
            }
            self->m_retrievingRequests = false;
            emit self->progressChanged();
        },
        [self, project](const std::optional<QString>&) {
            if (!self)
                return;
            if (self->stillShows(project))
                self->refreshData();
            self->m_retrievingRequests = false;
            emit self->progressChanged();
        },
        force);
    refreshData();
}

void SimpleCollaboratorsController::giveProjectOwners()
{
    if (!m_project)
        return;
    QVariantList emails;
    for (const User& owner : m_owners)
        emails << owner.email;
    m_project->setCollaborators(emails);
}

void SimpleCollaboratorsController::askAvatars(const QList<User>& users)
{
    for (const User& user : users)
        avatarFor(user.email);
}

void SimpleCollaboratorsController::refreshData()
{
    // The first record of a person wins: an open invitation over an owner record.
    QList<User> wanted;
    QSet<QString> names;
    const auto want = [&](User user, bool owner, bool invited) {
        if (names.contains(user.username))
            return;
        names.insert(user.username);
        user.owner = owner;
        user.invited = invited;
        avatarFor(user.email);
        wanted << user;
    };
    for (const SharingRequest& request : m_pending)
        want(personNamed(request.targetUsername), false, true);
    for (const User& owner : m_owners)
        want(owner, true, true);
    if (m_mode == WholeTeam) {
        for (const User& collaborator : m_collaborators)
            want(collaborator, false, false);
    }

    m_observingSelection = false;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(wanted.begin(), wanted.end(), [&collator](const User& a, const User& b) {
        return collator.compare(a.email, b.email) < 0;
    });
    m_rows = wanted;
    emit rowsChanged();
    if (m_filterPanel)
        selectOwners(m_filterPanel->currentOwnerEmails());
    else
        selectOwners(QStringList(m_selected.begin(), m_selected.end()));
    m_observingSelection = true;
    emit progressChanged();
}

std::optional<User> SimpleCollaboratorsController::findUserWithEmail(const QString& email) const
{
    for (const User& row : m_rows) {
        if (row.email == email)
            return row;
    }
    return std::nullopt;
}

std::optional<SharingRequest>
SimpleCollaboratorsController::findRequestWithTargetUser(const QString& username) const
{
    for (const SharingRequest& request : m_pending) {
        if (request.targetUsername == username)
            return request;
    }
    return std::nullopt;
}

// --- Selection

QList<int> SimpleCollaboratorsController::selectionIndexes() const
{
    QList<int> indexes;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_selected.contains(m_rows[row].username))
            indexes << row;
    }
    return indexes;
}

void SimpleCollaboratorsController::setSelectionIndexes(const QList<int>& rows)
{
    QSet<QString> selected;
    for (int row : rows) {
        if (row >= 0 && row < m_rows.size())
            selected.insert(m_rows[row].username);
    }
    if (selected == m_selected)
        return;
    m_selected = selected;
    emit selectionChanged();
    if (m_observingSelection)
        announceSelection();
}

void SimpleCollaboratorsController::selectOwners(const QStringList& usernames)
{
    QSet<QString> selected;
    for (const User& row : m_rows) {
        if (usernames.contains(row.username))
            selected.insert(row.username);
    }
    // What the filter panel chose is known there already: no announcement back.
    QStringList sorted(selected.begin(), selected.end());
    sorted.sort();
    m_lastAnnounced = sorted;
    if (selected == m_selected)
        return;
    m_selected = selected;
    emit selectionChanged();
}

void SimpleCollaboratorsController::announceSelection()
{
    QStringList usernames(m_selected.begin(), m_selected.end());
    usernames.sort();
    if (usernames == m_lastAnnounced)
        return;
    m_lastAnnounced = usernames;
    postSelectedOwners(m_services.notifications, this, usernames);
}

QStringList SimpleCollaboratorsController::currentOwnerUsernames() const
{
    QStringList emails;
    for (int row : selectionIndexes())
        emails << m_rows[row].email;
    return emails;
}

// --- Invitations

SharingRequest SimpleCollaboratorsController::requestFor(const QString& email, const QString& status) const
{
    SharingRequest request;
    request.targetUsername = email;
    request.projectURI = m_project->getURI();
    request.status = status;
    return request;
}

bool SimpleCollaboratorsController::isSelfOrInvalid(const QString& email, const QString& selfMessage) const
{
    if (!Utils::validateEmail(email)) {
        Utils::reportError(*m_services.alerts, QStringLiteral("Invalid account"),
                           QStringLiteral("%1 is not a valid email address.").arg(email));
        return true;
    }
    // The address may be typed in any case; the server treats it as the same account.
    if (m_manager.isLoginEmail(email)) {
        Utils::reportError(*m_services.alerts, QStringLiteral("Invalid account"), selfMessage);
        return true;
    }
    return false;
}

QString SimpleCollaboratorsController::checkKey(const TODOList* project, const QString& email)
{
    return QStringLiteral("%1 %2").arg(project->id_()).arg(email.toLower());
}

void SimpleCollaboratorsController::addOwner(const QString& email, const Success& success,
                                             const Failure& failure)
{
    if (email.isEmpty() || !m_project)
        return;
    if (!m_project->isValidUniID()) {
        Utils::reportError(
            *m_services.alerts, QStringLiteral("Sync project first"),
            QStringLiteral("Sync '%1' before sharing with new team members.").arg(m_project->name()));
        return;
    }
    if (isSelfOrInvalid(
            email,
            QStringLiteral("You cannot invite yourself to a project. Please choose another collaborator.")))
        return;
    if (m_checking.contains(checkKey(m_project, email))) {
        Utils::reportError(*m_services.alerts, QStringLiteral("Still checking the invitation"),
                           QStringLiteral("Wait until it is known whether %1 was invited.").arg(email));
        return;
    }

    TODOList* project = m_project;
    m_posting = true;
    QPointer<SimpleCollaboratorsController> self(this);
    m_manager.postSharingRequest(
        requestFor(email, SharingRequest::kInit),
        [self, project, email, success, failure](const SharingRequest& reply) {
            if (!self)
                return;
            if (reply.status == SharingRequest::kRejected) {
                Utils::reportError(*self->m_services.alerts,
                                   QStringLiteral("We couldn't invite this collaborator"),
                                   reply.message.isEmpty() ? kPleaseTryLater : reply.message);
                self->m_posting = false;
                if (failure)
                    failure(std::nullopt);
            } else {
                self->m_posting = false;
                self->invited(project, email, reply);
                if (success)
                    success();
            }
            emit self->progressChanged();
        },
        [self, project, email, success, failure](const SendFailure& ended) {
            if (!self)
                return;
            self->m_posting = false;
            if (ended.mayHaveArrived) {
                self->lookForInvitation(project, email, success, failure, ended.error);
                return;
            }
            Utils::reportError(*self->m_services.alerts,
                               QStringLiteral("Failure while inviting account. Please try later"),
                               QStringLiteral("%1 couldn't be invited at this moment").arg(email));
            qCInfo(lcTeam, "Failed when posting sharing request");
            self->refreshData();
            if (failure)
                failure(ended.error);
        });
    refreshData();
}

void SimpleCollaboratorsController::invited(TODOList* project, const QString& email,
                                            const SharingRequest& request)
{
    if (!findUserWithEmail(email)) {
        m_collaborators << personNamed(email);
        avatarFor(email);
    }
    if (stillShows(project)) {
        // Looked for after a lost answer, it is among the open requests already.
        if (!m_pending.contains(request))
            m_pending << request;
        refreshData();
    }
}

void SimpleCollaboratorsController::lookForInvitation(TODOList* project, const QString& email,
                                                      const Success& success, const Failure& failure,
                                                      const std::optional<QString>& error)
{
    qCInfo(lcTeam, "The answer to a sharing request was lost");
    // Only the project shown is known to be still there.
    if (!stillShows(project)) {
        Utils::reportError(
            *m_services.alerts, QStringLiteral("The server's answer was lost"),
            QStringLiteral("%1 may have been invited. Look at the project's team before inviting them again.")
                .arg(email));
        refreshData();
        if (failure)
            failure(error);
        return;
    }
    const QString key = checkKey(project, email);
    m_checking.insert(key);
    emit progressChanged();
    QPointer<SimpleCollaboratorsController> self(this);
    m_manager.getSharingRequestsForProject(
        project, {},
        [self, project, email, key, success, failure, error](const QList<SharingRequest>& open) {
            if (!self)
                return;
            self->m_checking.remove(key);
            const auto sent = std::find_if(open.begin(), open.end(), [&email](const SharingRequest& request) {
                return request.targetUsername.compare(email, Qt::CaseInsensitive) == 0;
            });
            if (self->stillShows(project))
                self->m_pending = open;
            if (sent != open.end()) {
                qCInfo(lcTeam, "The sharing request had arrived");
                self->invited(project, email, *sent);
                if (success)
                    success();
            } else {
                Utils::reportError(
                    *self->m_services.alerts, QStringLiteral("The invitation did not arrive"),
                    QStringLiteral("%1 was not invited. You can invite them again.").arg(email));
                self->refreshData();
                if (failure)
                    failure(error);
            }
            emit self->progressChanged();
        },
        [self, email, key, failure, error](const std::optional<QString>&) {
            if (!self)
                return;
            self->m_checking.remove(key);
            Utils::reportError(
                *self->m_services.alerts, QStringLiteral("Could not check the invitation"),
                QStringLiteral("%1 may have been invited. Refresh the team before inviting them again.")
                    .arg(email));
            self->refreshData();
            if (failure)
                failure(error);
            emit self->progressChanged();
        },
        true);
    // Told while the open requests load: the answer may take a while.
    if (m_checking.contains(key))
        Utils::reportError(
            *m_services.alerts, QStringLiteral("The server's answer was lost"),
            QStringLiteral("Checking whether %1 was invited. Wait a moment before inviting them "
                           "again.")
                .arg(email));
}

void SimpleCollaboratorsController::removeOwner(const QString& email)
{
    if (email.isEmpty() || !m_project)
        return;
    if (isSelfOrInvalid(
            email, QStringLiteral("You cannot remove yourself from a project. Just delete that project.")))
        return;

    TODOList* project = m_project;
    m_posting = true;
    QPointer<SimpleCollaboratorsController> self(this);
    m_manager.postSharingRequest(
        requestFor(email, SharingRequest::kRemove),
        [self, project](const SharingRequest& reply) {
            if (!self)
                return;
            if (reply.status == SharingRequest::kRejected)
                Utils::reportError(*self->m_services.alerts,
                                   QStringLiteral("We couldn't remove this collaborator"),
                                   reply.message.isEmpty() ? kPleaseTryLater : reply.message);
            else if (self->stillShows(project))
                self->reloadDataForProject(project, true);
            self->m_posting = false;
            emit self->progressChanged();
        },
        [self, email](const SendFailure&) {
            if (!self)
                return;
            Utils::reportError(*self->m_services.alerts,
                               QStringLiteral("Failure while removing collaborator. Please try later"),
                               QStringLiteral("%1 couldn't be removed at this moment").arg(email));
            qCInfo(lcTeam, "Failed when posting sharing request");
            self->m_posting = false;
            self->refreshData();
        });
    refreshData();
    emit removeInputCloseRequested();
}

void SimpleCollaboratorsController::inviteUninviteCollaborator(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const User person = m_rows[row];
    if (person.invited) {
        std::optional<SharingRequest> request = findRequestWithTargetUser(person.email);
        // Owners have no open request to withdraw.
        if (request && request->status == SharingRequest::kInit) {
            request->status = SharingRequest::kRejected;
            m_posting = true;
            TODOList* project = m_project;
            QPointer<SimpleCollaboratorsController> self(this);
            m_manager.putSharingRequest(
                *request,
                [self, project, withdrawn = *request](const SharingRequest&) {
                    if (!self)
                        return;
                    self->m_posting = false;
                    if (self->stillShows(project)) {
                        self->m_pending.removeAll(withdrawn);
                        self->refreshData();
                    }
                    emit self->progressChanged();
                },
                [self, email = person.email](const std::optional<QString>&) {
                    if (!self)
                        return;
                    Utils::reportError(*self->m_services.alerts,
                                       QStringLiteral("Failure while uninviting account. Please try later"),
                                       QStringLiteral("%1 cannot be uninvited at this moment").arg(email));
                    qCInfo(lcTeam, "Failed when posting sharing request");
                    self->m_posting = false;
                    self->refreshData();
                });
        }
    } else {
        addOwner(person.email);
    }
    setSelectionIndexes({});
    refreshData();
}

void SimpleCollaboratorsController::inviteCollaborators()
{
    askAndSchedule(true);
}

void SimpleCollaboratorsController::removeCollaborators()
{
    askAndSchedule(false);
}

void SimpleCollaboratorsController::askAndSchedule(bool inviting)
{
    const QStringList emails = currentOwnerUsernames();
    if (emails.isEmpty()) {
        if (!inviting)
            emit removeInputRequested();
        return;
    }
    QString names = emails.front();
    if (emails.size() == 2)
        names += QStringLiteral(" and %1").arg(emails[1]);
    else if (emails.size() > 2)
        names += QStringLiteral(", %1 and %2 more").arg(emails[1]).arg(emails.size() - 2);
    const QString title =
        inviting ? QStringLiteral("Invite Collaborators") : QStringLiteral("Remove Collaborators");
    const QString text = inviting ? QStringLiteral("Do you want to invite %1 to project?").arg(names)
                                  : QStringLiteral("Do you want to remove %1 from project?").arg(names);
    const bool ok = m_services.alerts->confirm(
        Alerts::Question(title, text, {QStringLiteral("OK"), QStringLiteral("Cancel")},
                         Alerts::DefaultButton(0), Alerts::SafeButton(1)));
    if (!ok)
        return;
    // One request a second, so the server is not asked for all of them at once.
    for (qsizetype n = 0; n < emails.size(); ++n) {
        m_services.scheduler->after(n * kInvitationSpacingMs, this, [this, inviting, email = emails[n]] {
            if (inviting)
                addOwner(email);
            else
                removeOwner(email);
        });
    }
    setSelectionIndexes({});
}

void SimpleCollaboratorsController::inputCollaborator(bool adding, const QString& email, const Success& done)
{
    if (adding)
        addOwner(email, done);
    else
        removeOwner(email);
}

void SimpleCollaboratorsController::addOwnerForMenu(const QString& title)
{
    if (title == kNewTeamMember)
        emit addInputRequested();
    else
        addOwner(title);
}

PeopleMenu SimpleCollaboratorsController::invitingMenu() const
{
    return ContextMenuHelper::forInvitingToProject(ContextMenuHelper::sourceForProject(m_manager, m_project));
}

// --- Mail

void SimpleCollaboratorsController::emailAllTeam()
{
    QStringList all;
    for (const User& owner : m_owners) {
        if (!all.contains(owner.username))
            all << owner.username;
    }
    for (const SharingRequest& request : m_pending) {
        if (!all.contains(request.targetUsername))
            all << request.targetUsername;
    }
    if (all.size() >= 2 && m_manager.me())
        all.removeAll(m_manager.me()->username);
    mailTo(all);
}

void SimpleCollaboratorsController::emailSelectedTeam()
{
    mailTo(currentOwnerUsernames());
}

void SimpleCollaboratorsController::mailTo(QStringList addresses)
{
    addresses.removeAll(QString());
    if (addresses.isEmpty() || !m_openMail)
        return;
    m_openMail(QUrl(QStringLiteral("mailto:") + addresses.join(QLatin1Char(','))));
}

// --- Avatars

QImage SimpleCollaboratorsController::avatarFor(const QString& email)
{
    if (email.isEmpty() || !m_avatars)
        return BoardImages::imageNamed(QStringLiteral("UI_Icon_all_no_assignee_80"));
    const AvatarImage* avatar = m_avatars->avatarForEmail(email);
    return avatar ? avatar->image() : BoardImages::imageNamed(QStringLiteral("UI_Icon_all_no_assignee_80"));
}

void SimpleCollaboratorsController::scheduleTableReload()
{
    if (m_reloadTimer || !m_engine.isOnline())
        return;
    m_reloadTimer = m_services.scheduler->after(kRedrawDelayMs, this, [this] {
        m_reloadTimer = 0;
        emit rowsChanged();
    });
}

} // namespace qv
