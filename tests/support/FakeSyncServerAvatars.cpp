#include "tests/support/FakeSyncServerAvatars.h"

#include "tests/support/FakeSyncServerTeam.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QBuffer>
#include <QColor>
#include <QHash>
#include <QImage>

namespace qv::test {

QByteArray FakeAvatars::picture(const QString& seed)
{
    QImage image(96, 96, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv(int(qHash(seed) % 360), 160, 220));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

FakeAvatars::FakeAvatars(LoopbackHttpServer& server, const FakeTeam& team) : m_team(team)
{
    server.addRoute("GET", "/avatar/:email/", [this](const HttpRequest& request) {
        const QString email = request.args.value(QStringLiteral("email"));
        if (const auto reply = replies.find(email); reply != replies.end())
            return HttpResponse::text(reply->second, "image/png");
        if (m_team.known(email).isEmpty())
            return HttpResponse::text("<html><body><h1>Not Found</h1></body></html>", "text/html", 404);
        return HttpResponse::text(picture(email), "image/png");
    });
}

} // namespace qv::test
