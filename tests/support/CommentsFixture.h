#pragma once

#include "sync/CommentsManager.h"
#include "tests/support/FakeSyncServerComments.h"
#include "tests/sync/SyncFixture.h"

namespace qv::test {

// A started device with a project and two items the server knows, the server's comments and a
// comments manager over the device's engine.
class CommentsFixture : public SyncFixture {
protected:
    CommentsFixture() : serverComments(server) {}
    ~CommentsFixture() override { comments.reset(); }

    void startWithItems()
    {
        project = startWithProject();
        const std::vector<TODOItem*> made = newItems(project, "I", 2);
        tick(5'000);
        item = made[0];
        otherItem = made[1];
        EXPECT_TRUE(item->isValidUniID() && otherItem->isValidUniID());
        comments = std::make_unique<CommentsManager>(device->services, device->sync());
        server.clearRequests();
    }
    QString itemUri(const TODOItem* of) const { return FakeSyncServer::itemUri(of->serverID()); }
    // The targets of the comment pages asked for.
    QStringList pageRequests() const
    {
        QStringList targets;
        for (const HttpRequest& request : server.requests())
            if (request.path.endsWith("html/"))
                targets << QString::fromLatin1(request.target);
        return targets;
    }

    FakeComments serverComments;
    std::unique_ptr<CommentsManager> comments;
    TODOList* project = nullptr;
    TODOItem* item = nullptr;
    TODOItem* otherItem = nullptr;
};

} // namespace qv::test
