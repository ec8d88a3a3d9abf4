#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qv::test {

class FakeSyncServer;

// The comments of the fake sync server, rendered as the real one does: HTML pages with the
// headers "Timestamp" (the newest comment's time, 0 without any) and "NumComments" (how many the
// page holds), newest last, with links that ask for more ("?limit=N") and the script function
// showCommentsForEmails(emails), which shows only those people's comments (all for an empty
// list) and answers how many it shows.
//   GET  /api/v1/item/:id/comments.html/?limit=N|days=D      the item's comments
//   GET  /api/v1/project/:id/comments.html/?limit=N|days=D   the project's and its items'
//   GET  /api/v1/comment/html/?limit=N|days=D                all of them
//   POST /api/v1/comment/     {"item"|"project": uri, "text", "num_comments", ["days"]}
//                             as the account of the session (FakeSyncServer::actingUsername);
//                             answers {"html", "timestamp", "num_comments"}
//   POST /fake/comment/       {"as": e-mail, "item"|"project": uri, "text"}: as someone else,
//                             for runs by hand
// Comment texts are HTML as sent; all but "<br/>" is escaped on the page.
class FakeComments {
public:
    explicit FakeComments(FakeSyncServer& server);

    struct Comment {
        QString author;
        QString text;
        qint64 time = 0;
        qint64 itemId = 0;    // 0: a comment of the project
        qint64 projectId = 0; // the item's project, or the project commented on
    };

    // Adds a comment by that person to "/api/v1/item/N/" or "/api/v1/project/N/" (objects the
    // server does not hold too, so that pages can be tried without them); false for anything else.
    bool commentAs(const QString& email, const QString& objectUri, const QString& text);

    QList<Comment> comments;
    // Hidden bytes each page carries besides its comments (to try very large pages).
    int paddingBytes = 0;

private:
    struct Page {
        QByteArray html;
        qint64 timestamp = 0;
        int count = 0;
    };
    // kind: "item", "project" or "" (all); limit <= 0 with days > 0 asks for days.
    Page render(const QString& kind, qint64 id, int limit, int days) const;
    bool belongs(const Comment& comment, const QString& kind, qint64 id) const;

    FakeSyncServer& m_server;
};

} // namespace qv::test
