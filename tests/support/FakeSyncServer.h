#pragma once

#include "tests/support/LoopbackHttpServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QSet>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace qv::test {

// The sync server's REST API under "/api/v1", in memory, for tests and local runs.
//
// Calls (S = "?format=json&qv_platform=..&qv_version=.."; list replies are
// {"meta": {...}, "objects": [...]}):
//   GET  /api/v1/rest_config/                keep-alive record in "objects"
//   GET  /api/v1/item/?...&timestamp__gte=D  items of projects changed at or after D, paged
//   POST /api/v1/item/ + S                   one item (root) or {"objects": [...]} (bulk)
//   PUT  /api/v1/item/ + S                   bulk update {"objects": [...]}
//   GET  /api/v1/item/:id/, PUT /api/v1/item/:id/ + S
//   GET  /api/v1/me/inbox/?...               items without a project (state=, timestamp__gte=)
//   GET  /api/v1/project/?...&timestamp__gte=D, POST /api/v1/project/ + S
//   GET  /api/v1/project/:id/, PUT /api/v1/project/:id/ + S
//   GET  /api/v1/project/:id/items/          the project's items
//   POST /api/v1/tag/                        {"object": uri, "action": add|remove|set, "name"|"names"}
//   POST /api/v1/reminder/ + S, PUT /api/v1/reminder/:id/ + S
//                                            one reminder at the root, "item" its item's path; an
//                                            item has at most one (a second POST updates it)
//   GET  /api/v1/item/:id/reminder/          the item's reminder; 404 without one
//   POST /api/v1/file/                       multipart "item", ["id"], ["forceOverwriteItemURL"],
//                                            "content"; "id" replaces that attachment's content
//   GET  /api/v1/file/:id/file/              the content's bytes
//   DELETE /api/v1/file/:id/, POST /api/v1/file/:id/rename/ {"filename": name}
//   GET  /api/v1/me/                         the signed-in user, "user_profile" holding the quota
//   GET  /web/image.png, /web/page.txt       an image and a page that is none
// Reminders and attachments are listed in their item's record ("reminder", "files"); a change to
// them is a change of the item (new version and timestamp).
//
// Every accepted change gets the next "version_id", "timestamp" from the server clock and the
// signed-in username as "edited_by_username". Paging: "limit" (default pageSize(), 0 = all) and
// "offset"; "meta" holds "limit", "offset", "total_count", "server_time" (the clock),
// "requested_time" (the newest "timestamp" among all objects the query matched; the query's
// own date when none did), and "next"/"previous" (the path of the neighbouring page) only when
// such a page exists.
class FakeSyncServer : public LoopbackHttpServer {
    Q_OBJECT
public:
    static constexpr const char* kApi = "/api/v1";
    // Device identifier used by the "as another device" helpers.
    static constexpr const char* kOtherDevice = "0123456789abcdef0123456789abcdef01234567";

    explicit FakeSyncServer(QObject* parent = nullptr);

    // "http://127.0.0.1:<port>/api/v1"
    QUrl apiUrl() const;

    // The clock, seconds since 1970; 1'700'000'000 at start.
    void setNow(qint64 secondsSince1970) { m_now = secondsSince1970; }
    void setNow(const QDateTime& now) { m_now = now.toSecsSinceEpoch(); }
    void advance(qint64 seconds) { m_now += seconds; }
    // Reads the system clock instead (standalone runs).
    void setUseSystemClock(bool use) { m_systemClock = use; }
    qint64 now() const;

    // What the keep-alive reports.
    void setOnline(bool online) { m_online = online; }
    void setPollingIntervals(int itemSeconds, int projectSeconds);
    // The signed-in user, written as creator/editor of this client's changes.
    void setUsername(const QString& username) { m_username = username; }
    QString username() const { return m_username; }
    void setPageSize(int limit) { m_pageSize = limit; }
    int pageSize() const { return m_pageSize; }
    // The largest page the server gives whatever "limit" asks (0 = no bound), as a server that
    // caps its pages does.
    void setMaxPageSize(int limit) { m_maxPageSize = limit; }

    // Items the server refuses: an upload (single or bulk, POST or PUT) that holds an item
    // for which this returns true is answered 400 and changes nothing. Empty: none refused.
    void setItemRejection(std::function<bool(const QJsonObject& item)> rejects)
    {
        m_rejects = std::move(rejects);
    }

    // Identifiers the next created objects get (to try large ones).
    void setNextItemId(qint64 id) { m_nextItemId = id; }

    // Stored records as the server would send them (without "requested_time").
    QJsonObject item(qint64 id) const;
    QJsonObject project(qint64 id) const;
    QList<QJsonObject> items() const;
    QList<QJsonObject> projects() const;
    int itemCount() const { return int(m_items.size()); }
    int projectCount() const { return int(m_projects.size()); }

    // Changes as another client made them: new version and timestamp, "editedByDevice"
    // kOtherDevice and "edited_by_username" the signed-in user unless fields name others.
    // projectId 0 puts the item into the inbox. Deleting sets "state" 3 (removed).
    qint64 createItemAsOtherDevice(const QJsonObject& fields, qint64 projectId = 0);
    bool modifyItemAsOtherDevice(qint64 id, const QJsonObject& changes);
    qint64 createProjectAsOtherDevice(const QJsonObject& fields);
    bool modifyProjectAsOtherDevice(qint64 id, const QJsonObject& changes);
    bool deleteProjectAsOtherDevice(qint64 id);
    // Leaves keys out of the item's record from now on, as a server that does not send them.
    void omitItemFields(qint64 id, const QStringList& keys);
    void omitProjectFields(qint64 id, const QStringList& keys);

    // --- Sessions and the sign-in pages (FakeSyncServerLogin.cpp) ---
    //   GET  /desktoplogin/         the sign-in form ("username", "password", "next"); with a
    //                               session, a redirect to "next" or the landing page
    //   POST /desktoplogin/         a session cookie and that redirect, or the form with an error
    //   GET  /                      the landing page
    //   GET  /isloggedindesktop/    the signed-in page; without a session, to the form and back
    //   GET  /accounts/dismiss/, /accounts/login/linkedin_failed   the give-up pages
    //   GET  /api/v1/me/            the signed-in user (team routes attached later take its place)
    static constexpr const char* kSessionCookie = "sessionid";
    // The main account; its e-mail is the signed-in username.
    void setAccount(const QString& email, const QString& password);
    // Another person who can sign in; their requests act as them.
    void addAccount(const QString& email, const QString& password);
    // Whom the request being answered acts for: the account of its session, else the
    // signed-in username.
    QString actingUsername() const { return m_acting.isEmpty() ? m_username : m_acting; }
    // Off unless set: with it, every API request without a session is answered 401.
    void setRequireLogin(bool require) { m_requireLogin = require; }
    bool requiresLogin() const { return m_requireLogin; }
    // Whether the request carries a session of the server's.
    bool hasSession(const HttpRequest& request) const { return !sessionAccount(request).isEmpty(); }
    // The account of the request's session; empty without one.
    QString sessionAccount(const HttpRequest& request) const;

    // Who may see a project and its items; everybody sees everything unless set.
    using ProjectAccess = std::function<bool(qint64 projectId, const QString& username)>;
    void setProjectAccess(ProjectAccess access)
    {
        m_access = std::move(access);
        ++m_changes;
    }
    // The account that created the project (for a project made as another device: its body's
    // "creator_username", else the signed-in username).
    QString projectCreator(qint64 id) const { return m_creators.count(id) ? m_creators.at(id) : m_username; }
    int sessionCount() const { return int(m_sessions.size()); }
    // Every session ends, as when they expire: their cookies are no longer signed in.
    void endSessions() { m_sessions.clear(); }
    // --- Reminders and attachments (FakeSyncServerFiles.cpp) ---
    QJsonObject reminder(qint64 id) const;
    int reminderCount() const { return int(m_reminders.size()); }
    QJsonObject file(qint64 id) const;
    QByteArray fileContent(qint64 id) const;
    int fileCount() const { return int(m_files.size()); }
    // "max_upload_size", "total_upload_size" and "used_upload_size" in bytes (10 MB, 100 MB, 0 at
    // start); a key set to null is left out. Uploads and deletes move the used size.
    QJsonObject userProfile() const { return m_userProfile; }
    void setUserProfile(const QJsonObject& profile) { m_userProfile = profile; }
    struct FormPart {
        QString name;
        QString fileName;
        QByteArray body;
    };
    // The parts of a multipart form request, in the order they were sent.
    static QList<FormPart> formParts(const HttpRequest& request);

    // The path of another page of the list the request asked for: its query with "offset" and
    // "limit" replaced.
    static QString pagePath(const HttpRequest& request, int offset, int limit);
    // A page of objects as the request's "limit" (pageSize() when absent; 0 = all) and "offset"
    // ask, with "meta" holding "limit", "offset", "total_count" and "next"/"previous" when such
    // a page exists.
    HttpResponse pagedList(const HttpRequest& request, const QList<QJsonObject>& objects) const;
    // The page size a request gets.
    int pageLimit(const HttpRequest& request) const;

    static QString itemUri(qint64 id);
    static QString projectUri(qint64 id);

    // Parses a query date such as "2013-05-01 10:00:00.000000-00:00" (already decoded) into
    // milliseconds since 1970; nullopt when it does not have that form.
    static std::optional<qint64> parseQueryDate(const QString& text);

private:
    enum class Origin { ThisClient, OtherDevice };

    void installRoutes();
    void installLoginRoutes();
    HttpResponse signInForm(const HttpRequest& request, const QString& next, const QString& error) const;
    void installFileRoutes();
    HttpResponse postReminder(const HttpRequest& request, qint64 id);
    HttpResponse postFile(const HttpRequest& request);
    void touchItem(qint64 itemId);
    QJsonObject withRequestTime(QJsonObject object) const;
    bool mayRead(const QJsonObject& object, bool isItem) const;
    // The objects of a list (all of source that listed() takes) a "changed since" query matches,
    // oldest change first, and the newest change among them.
    struct Matches {
        std::vector<qint64> ids;
        qint64 lastModification = 0;
    };
    using Listed = std::function<bool(const QJsonObject&)>;
    // Kept until an item or project changes, so that paging through a large account costs each
    // page its own length, not the account's.
    // "among": the only objects of source that may be listed (nullptr: any).
    const Matches& changedSince(const QString& list, const std::map<qint64, QJsonObject>& source,
                                const std::vector<qint64>* among, const Listed& listed,
                                std::optional<qint64> sinceMs, std::optional<int> state) const;
    // The page of the list's objects changed since "timestamp__gte" (and in "state", when asked).
    HttpResponse listChangedSince(const QString& list, const std::map<qint64, QJsonObject>& source,
                                  const Listed& listed, const HttpRequest& request,
                                  const std::vector<qint64>* among = nullptr) const;
    // Drops what was kept once an item or project has changed.
    void forgetKeptLists() const;
    // The items that name the project, in one pass over all items for all projects.
    const std::vector<qint64>& itemsOfProject(const QString& uri) const;

    qint64 createItem(const QJsonObject& body, Origin origin);
    qint64 createProject(const QJsonObject& body, Origin origin);
    bool updateObject(std::map<qint64, QJsonObject>& objects, qint64 id, const QJsonObject& body,
                      Origin origin, bool isItem);
    void stamp(QJsonObject& object, const QJsonObject& body, Origin origin, bool isItem) const;
    static QJsonObject clientFields(const QJsonObject& body, bool project);

    bool rejected(const QJsonObject& body) const;
    HttpResponse postItems(const HttpRequest& request);
    HttpResponse putItems(const HttpRequest& request);
    HttpResponse tag(const HttpRequest& request);
    HttpResponse getOne(const std::map<qint64, QJsonObject>& objects, const HttpRequest& request,
                        const char* kind) const;
    HttpResponse putOne(std::map<qint64, QJsonObject>& objects, const HttpRequest& request, bool isItem);

    std::map<qint64, QJsonObject> m_items;
    std::map<qint64, QJsonObject> m_projects;
    // Counts the changes to items and projects; a kept match is good for one count only.
    mutable quint64 m_changes = 0;
    mutable quint64 m_matchesAt = 0;
    mutable std::map<QString, Matches> m_matches;
    mutable std::map<QString, std::vector<qint64>> m_projectItems;
    qint64 m_now = 1'700'000'000;
    bool m_systemClock = false;
    bool m_online = true;
    int m_itemPollingInterval = 5;
    int m_projectPollingInterval = 5;
    QString m_username = QStringLiteral("user@example.com");
    int m_pageSize = 20;
    int m_maxPageSize = 0;
    qint64 m_nextItemId = 1;
    qint64 m_nextProjectId = 1;
    std::function<bool(const QJsonObject&)> m_rejects;
    QHash<QString, QPair<QString, QString>> m_accounts; // lower-cased e-mail -> e-mail, password
    bool m_requireLogin = false;
    QHash<QByteArray, QString> m_sessions; // session -> e-mail
    QString m_acting;
    ProjectAccess m_access;
    std::map<qint64, QString> m_creators;
    std::map<qint64, QJsonObject> m_reminders;
    std::map<qint64, QJsonObject> m_files;
    std::map<qint64, QByteArray> m_fileBytes;
    qint64 m_nextReminderId = 1;
    qint64 m_nextFileId = 1;
    QJsonObject m_userProfile;
};

} // namespace qv::test
