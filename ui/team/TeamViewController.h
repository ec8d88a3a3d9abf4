#pragma once

#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "sync/ContextMenuHelper.h"
#include "sync/User.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace qv {

class SimpleCollaboratorsController;
class QVRestManager;
class TODOList;

// What the team panel asks of the comments feed it holds.
class TeamFeed {
public:
    virtual ~TeamFeed() = default;
    virtual void setRepresentedObject(TODOList* project) = 0;
    virtual void setVisible(bool visible) = 0;
    // 1: the feed of the project shown; 0: of the whole account.
    virtual void setMode(int mode) = 0;
    virtual void showCommentsForEmails(const QStringList& emails) = 0;
    virtual void reloadFeed(bool fast, bool scroll, bool force) = 0;
};

// The list of the projects other people shared with the signed-in user.
class SharedProjectsList {
public:
    virtual ~SharedProjectsList() = default;
    virtual int requestCount() const = 0;
    // loaded gets the open requests once they are in (an empty list when the download failed);
    // it is not called when a reload is already running.
    virtual void reloadAll(bool force, std::function<void(const QList<SharingRequest>&)> loaded) = 0;
};

// The popover that shows that list next to an anchor.
class SharedProjectsPopover {
public:
    virtual ~SharedProjectsPopover() = default;
    virtual bool isShown() const = 0;
    virtual void close() = 0;
    // Next to the anchor's bottom edge, when the anchor is on screen; nullptr: the window's
    // panel selector.
    virtual void showAt(QObject* anchor) = 0;
};

// The board window as the team panel uses it.
struct TeamWindow {
    // The e-mails of the people the board's owner filter holds.
    std::function<QStringList()> currentOwnerEmails;
    // The board applies its filters again.
    std::function<void()> updateFilters;
};

// The team panel of the window: the history feed and the people of the project shown, the
// mode (whole team or the project), the check for newly shared projects every minute, and the
// refresh of people and feed when the project loop reports a change of the shown project. A
// choice of people becomes a feed of their comments and a filter of the board.
class TeamViewController : public QObject {
    Q_OBJECT
public:
    static inline const QString kSelectedModeKey = QStringLiteral("teamSelectedMode");
    static inline const QString kFeedFilterByDaysKey = QStringLiteral("teamFeedFilterByDays");
    static inline const QString kShowingFeedKey = QStringLiteral("kShowingFeed");
    static constexpr qint64 kSharingCheckIntervalMs = 60'000;
    static constexpr qint64 kFirstSharingCheckMs = 2'000;

    // Starts the minute's check (the first one 2 s from now). The people list must outlive it.
    TeamViewController(const Services& services, SimpleCollaboratorsController& people,
                       QObject* parent = nullptr);
    ~TeamViewController() override;

    // Parts given by the window; each may be left out.
    void setFeed(TeamFeed* feed);
    void setSharedProjects(SharedProjectsList* list) { m_sharedList = list; }
    void setSharedProjectsPopover(SharedProjectsPopover* popover) { m_popover = popover; }
    void setWindow(TeamWindow window) { m_window = std::move(window); }
    // Whether the minute's check may ask the server now; always when not set.
    void setCheckAllowed(std::function<bool()> allowed) { m_checkAllowed = std::move(allowed); }
    // While somebody is signed in and the engine is online: signed out the server only refuses
    // (401), offline nothing answers. The engine must outlive the check.
    static std::function<bool()> whenSignedInAndOnline(const QVRestManager& engine);
    bool isCheckAllowed() const { return !m_checkAllowed || m_checkAllowed(); }

    SimpleCollaboratorsController& people() const { return m_people; }
    TODOList* representedObject() const { return m_project; }
    void setRepresentedObject(TODOList* project);
    void setVisible(bool visible);
    int selectedMode() const;
    void setSelectedMode(int mode);
    QString feedTitle() const;
    // The shown project's people from the server.
    void reloadCollaborators();

    // The minute's check: opens the list only when the number of requests changed.
    void checkForSharingRequestsForTimer();
    // Asked for (sender: the control used, nullptr from the sign-in): says so when there is
    // nothing shared.
    void checkForSharingRequests(QObject* sender);
    void showPendingRequests(QObject* sender);
    void showPendingRequests(QObject* anchor, bool reportOnlyIfNew, bool reportIfEmpty);

    // The share menu: the people to invite to the project shown.
    PeopleMenu shareMenu() const;

signals:
    // The people and the feed follow; the feed's title changed with it.
    void modeChanged(int mode);

private:
    void projectUpdaterLooped(const QVariantMap& userInfo);
    void peopleSelectionChanged();
    void applyMode(int mode);

    Services m_services;
    SimpleCollaboratorsController& m_people;
    TeamFeed* m_feed = nullptr;
    SharedProjectsList* m_sharedList = nullptr;
    SharedProjectsPopover* m_popover = nullptr;
    TeamWindow m_window;
    std::function<bool()> m_checkAllowed;
    TODOList* m_project = nullptr;
    bool m_visible = true;
    QSet<QString> m_selectedCollaborators;
    TimerId m_sharingTimer = 0;
    TimerId m_firstCheck = 0;
    // The shown project as last refreshed for the project loop.
    qint64 m_refreshedVersion = -1;
    qint64 m_refreshedTimestamp = -1;
};

} // namespace qv
