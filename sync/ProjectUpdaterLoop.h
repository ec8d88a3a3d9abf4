#pragma once

#include "sync/QVRestManager.h"
#include "sync/UpdaterLoop.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

#include <functional>
#include <optional>

namespace qv {

class TODOList;

namespace store {
class Context;
}

namespace rest {
struct Error;
struct Response;
} // namespace rest

// Does for projects what the item loop does for items: a send pass uploads every locally
// edited project one by one, and a poll merges the projects changed on the server. A project's
// change flag stays set until the server has accepted its upload. A new project whose post may
// have reached the server unanswered is held and adopted as the item loop does with items; a
// project this device created is known by its creation stamp (sent with its first upload, unique
// among the device's projects) and the device identifier.
class ProjectUpdaterLoop final : public UpdaterLoop {
public:
    using ProjectSuccess = std::function<void(TODOList* returned)>;
    using ProjectFailure = std::function<void(const std::optional<rest::Error>& error)>;

    explicit ProjectUpdaterLoop(QVRestManager& manager);

    void sendModifiedProjects();
    bool sendToServer(TODOList* project, ProjectSuccess success = {}, ProjectFailure failure = {});

    void GETModifiedProjects() { poll(); }

    // The conflict rule; true when the local project is current afterwards. leftOut: the
    // attributes and relationships whose keys the reply left out, which keep their local values.
    bool update(TODOList* local, TODOList* incoming, const QStringList& leftOut = {});
    bool updateOrCreateProjectFrom(TODOList* incoming, const QStringList& leftOut = {});
    // As ItemUpdaterLoop::adoptOwnUpload, for projects.
    OwnCopy adoptOwnUpload(TODOList* incoming, store::Context& context, TODOList** adopted = nullptr,
                           const QStringList& leftOut = {});
    void noteRemoved(qint64 id) { m_removedHere.insert(id); }
    // The copy that stays of a project removed as a second copy of it; nullptr when there is none.
    TODOList* keptCopyOf(const TODOList* removed) const;

private:
    void sendModified() override { sendModifiedProjects(); }
    Merged mergePolled(const QJsonObject& object) override;
    void succeeded(TODOList* project, bool post, const rest::Response& response,
                   const ProjectSuccess& success);
    void failed(TODOList* project, bool post, const rest::Error& error, const ProjectFailure& failure);
    double nextCreationStamp();

    bool m_isSendingModifiedProjects = false;
    QSet<qint64> m_removedHere;
    std::optional<double> m_lastStamp;
};

} // namespace qv
