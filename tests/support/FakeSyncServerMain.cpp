// Runs the fake sync server on 127.0.0.1 for trying the application against it by hand.
#include "tests/support/FakeSyncServer.h"
#include "tests/support/FakeSyncServerAvatars.h"
#include "tests/support/FakeSyncServerComments.h"
#include "tests/support/FakeSyncServerTeam.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

// An account as a user of some standing has it: projects of ordinary size, items with notes,
// in every quadrant.
void seedItems(qv::test::FakeSyncServer& server, int items, int projectCount)
{
    if (items <= 0)
        return;
    QList<qint64> projects;
    for (int p = 0; p < projectCount; ++p)
        projects.append(server.createProjectAsOtherDevice({{"name", QStringLiteral("Project %1").arg(p)}}));
    for (int i = 0; i < items; ++i) {
        server.createItemAsOtherDevice(
            {{"name", QStringLiteral("Call the supplier about order #%1").arg(i)},
             {"descriptionText",
              QStringLiteral("Ask whether the delivery can move to next week, order %1.").arg(i)},
             {"quadrant", (i / projectCount) % 4},
             {"index", qint64(i / projectCount) * 1000}},
            projects.at(i % projectCount));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("In-memory sync server on 127.0.0.1"));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one)."),
                      QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("require-login"),
                      QStringLiteral("Answer API requests only with a session from the sign-in page.")});
    parser.addOption({QStringLiteral("user"), QStringLiteral("E-mail of the account that signs in."),
                      QStringLiteral("EMAIL")});
    parser.addOption(
        {QStringLiteral("password"), QStringLiteral("Password of that account."), QStringLiteral("PW")});
    parser.addOption({QStringLiteral("other-user"),
                      QStringLiteral("E-mail of a second account, a collaborator of the first."),
                      QStringLiteral("EMAIL")});
    parser.addOption({QStringLiteral("other-password"), QStringLiteral("Password of the second account."),
                      QStringLiteral("PW")});
    parser.addOption(
        {QStringLiteral("items"),
         QStringLiteral("Start holding N items, made on another device, spread over the projects."),
         QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("projects"), QStringLiteral("Projects the --items are spread over."),
                      QStringLiteral("N"), QStringLiteral("100")});
    parser.process(app);
    if (parser.isSet(QStringLiteral("require-login")) &&
        (parser.value(QStringLiteral("user")).isEmpty() ||
         parser.value(QStringLiteral("password")).isEmpty())) {
        std::fprintf(stderr, "fake_sync_server: --require-login needs --user and --password\n");
        return 2;
    }

    bool ok = false;
    const uint port = parser.value(QStringLiteral("port")).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "fake_sync_server: bad port '%s'\n",
                     qPrintable(parser.value(QStringLiteral("port"))));
        return 2;
    }

    qv::test::FakeSyncServer server;
    server.setUseSystemClock(true);
    if (parser.isSet(QStringLiteral("user")))
        server.setAccount(parser.value(QStringLiteral("user")), parser.value(QStringLiteral("password")));
    server.setRequireLogin(parser.isSet(QStringLiteral("require-login")));
    // The signed-in user's record, for the team panels.
    qv::test::FakeTeam team(server, server.username());
    // With the upload quota, so that attachments can be tried.
    QJsonObject profile = team.me.value(QStringLiteral("user_profile")).toObject();
    const QJsonObject quota = server.userProfile();
    for (auto it = quota.begin(); it != quota.end(); ++it)
        profile.insert(it.key(), it.value());
    team.me.insert(QStringLiteral("user_profile"), profile);
    const QString other = parser.value(QStringLiteral("other-user"));
    if (!other.isEmpty()) {
        server.addAccount(other, parser.value(QStringLiteral("other-password")));
        team.collaborators.append(qv::test::FakeTeam::user(2, other));
    }
    qv::test::FakeAvatars avatars(server, team);
    seedItems(server, parser.value(QStringLiteral("items")).toInt(),
              std::max(1, parser.value(QStringLiteral("projects")).toInt()));
    qv::test::FakeComments comments(server);
    if (!server.listen(quint16(port))) {
        std::fprintf(stderr, "fake_sync_server: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("Listening on %s\n", qPrintable(server.apiUrl().toString()));
    std::fflush(stdout);
    QObject::connect(&server, &qv::test::FakeSyncServer::requestReceived,
                     [](const qv::test::HttpRequest& request) {
                         std::printf("%s %s\n", request.method.constData(), request.target.constData());
                         // A submitted sign-in form holds a password.
                         if (request.header("Content-Type").startsWith("multipart/"))
                             std::printf("(%lld bytes)\n", qint64(request.body.size()));
                         else if (!request.body.isEmpty() && request.path != "/desktoplogin/")
                             std::printf("%s\n", request.body.constData());
                         std::fflush(stdout);
                     });
    return QCoreApplication::exec();
}
