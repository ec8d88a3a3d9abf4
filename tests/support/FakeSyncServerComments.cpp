#include "tests/support/FakeSyncServerComments.h"

#include "tests/support/FakeSyncServer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QRegularExpression>

namespace qv::test {

namespace {

const char* const kScript = R"(<script>
function showCommentsForEmails(emails) {
  var shown = 0;
  document.querySelectorAll('.comment').forEach(function (c) {
    var on = emails.length === 0 || emails.indexOf(c.dataset.email) >= 0;
    c.style.display = on ? '' : 'none';
    if (on) shown++;
  });
  return shown;
}
</script>)";

const char* const kStyle = R"(<style>
body { font: 13px sans-serif; margin: 6px; color: #222; }
.more { color: #777; font-size: 11px; margin-bottom: 6px; }
.comment { display: flex; gap: 6px; margin: 6px 0; }
.comment img { width: 24px; height: 24px; border-radius: 4px; }
.who { font-weight: bold; } .when { color: #888; font-size: 11px; }
</style>)";

// The route's object: ("item", 5) from "/api/v1/item/5/"; ("", 0) when it is neither.
std::pair<QString, qint64> objectOf(const QString& uri)
{
    static const QRegularExpression form(QStringLiteral("^/api/v1/(item|project)/(\\d+)/$"));
    const QRegularExpressionMatch match = form.match(uri);
    if (!match.hasMatch())
        return {};
    return {match.captured(1), match.captured(2).toLongLong()};
}

QString escapedKeepingBreaks(const QString& text)
{
    return text.toHtmlEscaped().replace(QStringLiteral("&lt;br/&gt;"), QStringLiteral("<br/>"));
}

} // namespace

FakeComments::FakeComments(FakeSyncServer& server) : m_server(server)
{
    const auto pageRoute = [this](const QString& kind) {
        return [this, kind](const HttpRequest& request) {
            const qint64 id = request.args.value(QStringLiteral("id")).toLongLong();
            const int days = request.queryItem(QStringLiteral("days")).toInt();
            const int limit = request.queryItem(QStringLiteral("limit")).toInt();
            const Page page = render(kind, id, days > 0 ? 0 : limit, days);
            HttpResponse response = HttpResponse::text(page.html, "text/html; charset=utf-8");
            response.headers.append({"Timestamp", QByteArray::number(page.timestamp)});
            response.headers.append({"NumComments", QByteArray::number(page.count)});
            return response;
        };
    };
    server.addRoute("GET", "/api/v1/item/:id/comments.html/", pageRoute(QStringLiteral("item")));
    server.addRoute("GET", "/api/v1/project/:id/comments.html/", pageRoute(QStringLiteral("project")));
    server.addRoute("GET", "/api/v1/comment/html/", pageRoute(QString()));

    const auto post = [this](const HttpRequest& request, const QString& author) {
        const QJsonObject body = request.json().object();
        const QString uri = body.value(body.contains("item") ? "item" : "project").toString();
        const QString text = body.value("text").toString();
        if (text.isEmpty())
            return HttpResponse::error(400, QStringLiteral("no text"));
        if (!commentAs(author, uri, text))
            return HttpResponse::error(404, QStringLiteral("no such object"));
        const auto [kind, id] = objectOf(uri);
        const int days = body.value("days").toInt();
        const Page page = render(kind, id, days > 0 ? 0 : body.value("num_comments").toInt(), days);
        return HttpResponse::json(QJsonObject{{"html", QString::fromUtf8(page.html)},
                                              {"timestamp", page.timestamp},
                                              {"num_comments", page.count}},
                                  201);
    };
    server.addRoute("POST", "/api/v1/comment/", [this, post](const HttpRequest& request) {
        return post(request, m_server.actingUsername());
    });
    server.addRoute("POST", "/fake/comment/", [post](const HttpRequest& request) {
        return post(request, request.json().object().value("as").toString());
    });
}

bool FakeComments::commentAs(const QString& email, const QString& objectUri, const QString& text)
{
    const auto [kind, id] = objectOf(objectUri);
    Comment comment{email, text, m_server.now(), 0, 0};
    if (kind == u"item") {
        comment.itemId = id;
        const QString project = m_server.item(id).value("projects").toArray().first().toString();
        comment.projectId = objectOf(project).second;
    } else if (kind == u"project") {
        comment.projectId = id;
    } else {
        return false;
    }
    comments.append(comment);
    return true;
}

bool FakeComments::belongs(const Comment& comment, const QString& kind, qint64 id) const
{
    if (kind == u"item")
        return comment.itemId == id;
    if (kind == u"project")
        return comment.projectId == id;
    return true;
}

FakeComments::Page FakeComments::render(const QString& kind, qint64 id, int limit, int days) const
{
    QList<const Comment*> matched;
    for (const Comment& comment : comments)
        if (belongs(comment, kind, id) && (days <= 0 || comment.time >= m_server.now() - days * 86400LL))
            matched.append(&comment);
    const int total = int(matched.size());
    if (days <= 0)
        matched = matched.mid(std::max(0, total - (limit > 0 ? limit : 20)));

    const QString self = kind.isEmpty() ? QStringLiteral("/api/v1/comment/html/")
                                        : QStringLiteral("/api/v1/%1/%2/comments.html/").arg(kind).arg(id);
    QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">%1%2</head><body>")
                       .arg(QLatin1String(kStyle), QLatin1String(kScript));
    html +=
        QStringLiteral("<div class=\"more\">%1 of %2 comments &middot; show ").arg(matched.size()).arg(total);
    for (const int more : {20, 50, 100})
        html += QStringLiteral("<a href=\"%1?limit=%2\">%2</a> ").arg(self).arg(more);
    html += QStringLiteral("</div>");
    Page page;
    for (const Comment* comment : matched) {
        const QString when = QDateTime::fromSecsSinceEpoch(comment->time, Qt::UTC).toString("d MMM, HH:mm");
        html += QStringLiteral("<div class=\"comment\" data-email=\"%1\"><img src=\"/avatar/%2/\">"
                               "<div><span class=\"who\">%1</span> <span class=\"when\">%3</span>"
                               "<div class=\"text\">%4</div></div></div>")
                    .arg(comment->author.toHtmlEscaped(),
                         QString::fromLatin1(QUrl::toPercentEncoding(comment->author)), when,
                         escapedKeepingBreaks(comment->text));
        page.timestamp = std::max(page.timestamp, comment->time);
    }
    if (paddingBytes > 0)
        html += QStringLiteral("<div hidden>%1</div>").arg(QString(paddingBytes, u'x'));
    html += QStringLiteral("</body></html>");
    page.html = html.toUtf8();
    page.count = int(matched.size());
    return page;
}

} // namespace qv::test
