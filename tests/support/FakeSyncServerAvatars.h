#pragma once

#include <QByteArray>
#include <QString>

#include <map>

namespace qv::test {

class FakeTeam;
class LoopbackHttpServer;

// The avatars of the fake sync server: GET /avatar/:email/ answers a PNG drawn for each person
// the team knows (FakeTeam::known) and an HTML 404 page for anyone else.
class FakeAvatars {
public:
    FakeAvatars(LoopbackHttpServer& server, const FakeTeam& team);

    // A square of one colour derived from the text, as PNG.
    static QByteArray picture(const QString& seed);

    // Replies that replace the generated picture of an address (e.g. an empty body).
    std::map<QString, QByteArray> replies;

private:
    const FakeTeam& m_team;
};

} // namespace qv::test
