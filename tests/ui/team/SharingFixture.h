#pragma once

#include "sync/CollaborationManager.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "tests/sync/SyncFixture.h"
#include "ui/team/InputCollaboratorViewController.h"
#include "ui/team/PendingSharingRequestsViewController.h"

namespace qv::test {

inline const QString kAnn = QStringLiteral("ann@firm.consulting");

// A signed-in device with two collaborators, Bob and Ann, and its list of shared projects.
class Sharing : public SyncFixture, public InputCollaboratorDelegate {
protected:
    Sharing() : team(server, kUser)
    {
        team.collaborators = {FakeTeam::user(2, QStringLiteral("bob@x.com")), FakeTeam::user(3, kAnn)};
        device->open();
        manager = std::make_unique<CollaborationManager>(device->services, device->sync());
        device->sync().setCollaborators(manager.get());
        manager->reloadMe();
        pending = std::make_unique<PendingSharingRequestsViewController>(*manager, device->sync());
        pending->setProjectSelector([this](qint64 id) { selected << id; });
        settle();
    }
    // Ann's project with two items, shared with the signed-in user.
    qint64 shareProjectOfAnn()
    {
        const qint64 id = server.createProjectAsOtherDevice({{"name", "Launch"}, {"creator_username", kAnn}});
        server.createItemAsOtherDevice({{"name", "Book the hall"}}, id);
        server.createItemAsOtherDevice({{"name", "Print flyers"}}, id);
        team.inviteMe(id, team.collaborators[1]);
        return id;
    }
    QStringList loaded(bool force)
    {
        QStringList names;
        pending->reloadAll(force, [&](const QList<SharingRequest>& requests) {
            names << QStringLiteral("called");
            for (const SharingRequest& r : requests)
                names << r.projectName;
        });
        settle();
        return names;
    }
    void inputCollaborator(InputCollaboratorViewController&, const QString& email) override
    {
        entered << email;
    }

    FakeTeam team;
    std::unique_ptr<CollaborationManager> manager;
    std::unique_ptr<PendingSharingRequestsViewController> pending;
    QList<qint64> selected;
    QStringList entered;
};

} // namespace qv::test
