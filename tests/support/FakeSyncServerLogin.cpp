// The sync server's sign-in: an account, session cookies, and the pages a desktop client's
// sheet walks through.
#include "tests/support/FakeSyncServer.h"

#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>

namespace qv::test {

namespace {

QByteArray htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

HttpResponse page(const QByteArray& title, const QByteArray& body, int status = 200)
{
    return HttpResponse::text("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
                                  "</title><style>body{font-family:sans-serif;margin:24px}"
                                  "label{display:block;margin:8px 0}</style></head><body>" +
                                  body + "</body></html>",
                              "text/html; charset=utf-8", status);
}

HttpResponse redirect(const QString& location, const QByteArray& setCookie = {})
{
    HttpResponse response = HttpResponse::text({}, "text/html; charset=utf-8", 302);
    response.headers.append({"Location", location.toUtf8()});
    if (!setCookie.isEmpty())
        response.headers.append({"Set-Cookie", setCookie});
    return response;
}

// Only paths of this server: a sign-in never sends anyone elsewhere.
QString safeNext(const QString& next)
{
    return next.startsWith(QLatin1Char('/')) && !next.startsWith(QStringLiteral("//")) ? next
                                                                                       : QStringLiteral("/");
}

} // namespace

void FakeSyncServer::setAccount(const QString& email, const QString& password)
{
    m_username = email;
    addAccount(email, password);
}

void FakeSyncServer::addAccount(const QString& email, const QString& password)
{
    m_accounts.insert(email.toLower(), {email, password});
}

QString FakeSyncServer::sessionAccount(const HttpRequest& request) const
{
    for (const QByteArray& part : request.header("Cookie").split(';')) {
        const QByteArray pair = part.trimmed();
        const qsizetype equals = pair.indexOf('=');
        if (equals > 0 && pair.left(equals) == kSessionCookie && m_sessions.contains(pair.mid(equals + 1)))
            return m_sessions.value(pair.mid(equals + 1));
    }
    return {};
}

HttpResponse FakeSyncServer::signInForm(const HttpRequest& request, const QString& next,
                                        const QString& error) const
{
    QByteArray body = "<h1>Sign in</h1>";
    if (!error.isEmpty())
        body += "<p id=\"error\" style=\"color:#b00\">" + htmlEscaped(error) + "</p>";
    body += "<form method=\"post\" action=\"/desktoplogin/\">"
            "<label>E-mail <input type=\"email\" name=\"username\" value=\"" +
            htmlEscaped(request.queryItem(QStringLiteral("username"))) +
            "\"></label>"
            "<label>Password <input type=\"password\" name=\"password\"></label>"
            "<input type=\"hidden\" name=\"next\" value=\"" +
            htmlEscaped(next) +
            "\"><button type=\"submit\">Sign in</button></form>"
            "<p><a href=\"/accounts/dismiss/\">Cancel</a> &middot; "
            "<a href=\"https://example.com/help\">Forgot your password?</a></p>";
    return page("Sign in", body, error.isEmpty() ? 200 : 401);
}

void FakeSyncServer::installLoginRoutes()
{
    setGate([this](const HttpRequest& request) -> std::optional<HttpResponse> {
        m_acting = sessionAccount(request);
        if (!m_requireLogin || !request.path.startsWith(QByteArray(kApi) + '/') || hasSession(request))
            return std::nullopt;
        return HttpResponse::error(401, QStringLiteral("not signed in"));
    });

    addRoute("GET", "/desktoplogin/", [this](const HttpRequest& request) {
        const QString next = safeNext(request.queryItem(QStringLiteral("next")));
        if (hasSession(request))
            return redirect(next);
        return signInForm(request, next, {});
    });
    addRoute("POST", "/desktoplogin/", [this](const HttpRequest& request) {
        const QUrlQuery form(QString::fromUtf8(request.body).replace(QLatin1Char('+'), QLatin1Char(' ')));
        const auto field = [&form](const char* name) {
            return form.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
        };
        const QString next = safeNext(field("next"));
        const auto [email, password] = m_accounts.value(field("username").toLower());
        if (password.isEmpty() || field("password") != password)
            return signInForm(request, next, QStringLiteral("That e-mail and password do not match."));
        const QByteArray session = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        m_sessions.insert(session, email);
        return redirect(next, QByteArray(kSessionCookie) + '=' + session + "; Path=/; HttpOnly");
    });
    addRoute("GET", "/", [this](const HttpRequest& request) {
        if (!hasSession(request))
            return page("Welcome", "<h1>Welcome</h1><p><a href=\"/desktoplogin/\">Sign in</a></p>");
        return page("Signed in",
                    "<h1>Signed in</h1><p>You are signed in as " + htmlEscaped(actingUsername()) + ".</p>");
    });
    addRoute("GET", "/isloggedindesktop/", [this](const HttpRequest& request) {
        if (!hasSession(request))
            return redirect(QStringLiteral("/desktoplogin/?next=/isloggedindesktop/"));
        return page("Ready",
                    "<h1>Ready to sync</h1><p>Signed in as " + htmlEscaped(actingUsername()) + ".</p>");
    });
    // The signed-in user, for a server that has no team routes attached.
    addRoute("GET", "/api/v1/me/", [this](const HttpRequest&) {
        return HttpResponse::json(QJsonObject{{"id", 1},
                                              {"username", actingUsername()},
                                              {"email", actingUsername()},
                                              {"resource_uri", "/api/v1/user/1/"}});
    });
    addRoute("GET", "/accounts/dismiss/",
             [](const HttpRequest&) { return page("Cancelled", "<h1>Sign-in cancelled</h1>"); });
    addRoute("GET", "/accounts/login/linkedin_failed",
             [](const HttpRequest&) { return page("Failed", "<h1>Sign-in failed</h1>"); });
}

} // namespace qv::test
