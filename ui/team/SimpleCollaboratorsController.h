#pragma once

#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"
#include "sync/ContextMenuHelper.h"
#include "sync/User.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace qv {

class AvatarManager;
class CollaborationManager;
class ItemFilterPanel;
class QVRestManager;
class TODOList;

// The people of the team panel for the project shown: its owners, the people with an open
// invitation to it and, in whole-team mode, everybody the signed-in user works with; one row
// per person, sorted by e-mail. Invitations and their withdrawal go through sharing requests.
// The selection is the board's owner filter, kept in step with the item filter panel through
// kNotificationSelectedOwnersChanged. Main thread only.
class SimpleCollaboratorsController : public QObject {
    Q_OBJECT
public:
    enum Mode { WholeTeam = 0, ProjectOnly = 1 };
    static inline const QString kNewTeamMember = QStringLiteral("New Team Member");
    static constexpr qint64 kRedrawDelayMs = 2'000;
    static constexpr qint64 kInvitationSpacingMs = 1'000;

    using Success = std::function<void()>;
    using Failure = std::function<void(const std::optional<QString>& error)>;

    // The manager, the engine and the avatars (optional) must outlive the controller.
    SimpleCollaboratorsController(const Services& services, CollaborationManager& manager,
                                  QVRestManager& engine, AvatarManager* avatars, QObject* parent = nullptr);
    ~SimpleCollaboratorsController() override;

    // --- What is shown ---
    TODOList* project() const { return m_project; }
    void setProject(TODOList* project, bool force = false);
    int mode() const { return m_mode; }
    void setMode(int mode);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    // A team change of that project: reloaded now when shown, else when it is next shown.
    void refreshProject(TODOList* project);
    // Reloads the shown project from the server.
    void refresh();
    // Whether adding, removing and refreshing make sense: the project has a server id.
    bool buttonsEnabled() const;
    bool isBusy() const;
    bool isOnline() const;

    const QList<User>& rows() const { return m_rows; }
    std::optional<User> findUserWithEmail(const QString& email) const;
    std::optional<SharingRequest> findRequestWithTargetUser(const QString& username) const;

    // --- Selection: the board's owner filter ---
    QList<int> selectionIndexes() const;
    // The user's choice; announced when it differs from the one last announced.
    void setSelectionIndexes(const QList<int>& rows);
    // The e-mails of the selected rows, in row order.
    QStringList currentOwnerUsernames() const;
    // Where the owner filter is read when the rows are rebuilt.
    void setFilterPanel(const ItemFilterPanel* panel) { m_filterPanel = panel; }

    // --- Invitations ---
    // An invitation whose answer is lost is looked for among the project's open requests, and
    // the address cannot be invited again until they have answered: found, it counts as sent.
    void addOwner(const QString& email, const Success& success = {}, const Failure& failure = {});
    void removeOwner(const QString& email);
    // The check box of a row: withdraws the open invitation, or invites the person.
    void inviteUninviteCollaborator(int row);
    // After asking, one invitation (or removal) per selected person, a second apart.
    void inviteCollaborators();
    void removeCollaborators();
    // An address entered in the add input (adding) or the remove input; done runs after a
    // successful invitation.
    void inputCollaborator(bool adding, const QString& email, const Success& done = {});
    // "New Team Member" asks for the add input; any other entry invites its e-mail.
    void addOwnerForMenu(const QString& title);
    // The people to invite to the shown project: the signed-in user's team and other users,
    // the owners left out.
    PeopleMenu invitingMenu() const;

    // --- Mail ---
    void emailAllTeam();
    void emailSelectedTeam();
    void setMailOpener(std::function<void(const QUrl&)> opener) { m_openMail = std::move(opener); }

    // The person's picture (the no-assignee image without an address); the rows redraw 2 s
    // after a picture arrived.
    QImage avatarFor(const QString& email);

signals:
    void rowsChanged();
    void selectionChanged();
    void progressChanged();
    void buttonsEnabledChanged(bool enabled);
    void onlineChanged(bool online);
    // The add input should open (or close when open); the remove input likewise.
    void addInputRequested();
    void removeInputRequested();
    void removeInputCloseRequested();

private:
    void reloadDataForProject(TODOList* project, bool force);
    void refreshData();
    void selectOwners(const QStringList& usernames);
    void announceSelection();
    void askAvatars(const QList<User>& users);
    void giveProjectOwners();
    bool stillShows(TODOList* project) const;
    void updateButtons();
    void scheduleTableReload();
    SharingRequest requestFor(const QString& email, const QString& status) const;
    static QString checkKey(const TODOList* project, const QString& email);
    void lookForInvitation(TODOList* project, const QString& email, const Success& success,
                           const Failure& failure, const std::optional<QString>& error);
    void invited(TODOList* project, const QString& email, const SharingRequest& request);
    bool isSelfOrInvalid(const QString& email, const QString& selfMessage) const;
    void askAndSchedule(bool inviting);
    void mailTo(QStringList addresses);
    void contextChanged(const store::ChangeEvent& event);

    Services m_services;
    CollaborationManager& m_manager;
    QVRestManager& m_engine;
    QPointer<AvatarManager> m_avatars;
    const ItemFilterPanel* m_filterPanel = nullptr;
    std::function<void(const QUrl&)> m_openMail;

    TODOList* m_project = nullptr;
    store::Context* m_observedContext = nullptr;
    std::optional<store::Context::ObserverId> m_contextObserver;
    int m_mode = ProjectOnly;
    bool m_visible = true;
    QList<User> m_collaborators;
    QList<User> m_owners;
    QList<SharingRequest> m_pending;
    bool m_retrievingCollaborators = false;
    bool m_retrievingOwners = false;
    bool m_retrievingRequests = false;
    bool m_posting = false;
    // Invitations whose answer was lost, being looked for: project id and address.
    QSet<QString> m_checking;
    QSet<qint64> m_refreshNeeded;

    QList<User> m_rows;
    QSet<QString> m_selected;    // usernames
    QStringList m_lastAnnounced; // usernames, sorted
    bool m_observingSelection = true;
    TimerId m_reloadTimer = 0;
};

} // namespace qv
