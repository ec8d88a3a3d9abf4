#pragma once

#include "sync/UpdaterLoop.h"

#include <QJsonObject>

#include <functional>
#include <optional>

namespace qv {

class QVRestManager;
class TODOList;

namespace rest {
struct Error;
struct Response;
} // namespace rest

// Does for projects what the item loop does for items: a send pass uploads every locally
// edited project one by one, and a poll merges the projects changed on the server. A project's
// change flag stays set until the server has accepted its upload.
class ProjectUpdaterLoop final : public UpdaterLoop {
public:
    using ProjectSuccess = std::function<void(TODOList* returned)>;
    using ProjectFailure = std::function<void(const std::optional<rest::Error>& error)>;

    explicit ProjectUpdaterLoop(QVRestManager& manager);

    void sendModifiedProjects();
    bool sendToServer(TODOList* project, ProjectSuccess success = {}, ProjectFailure failure = {});

    void GETModifiedProjects() { poll(); }

    // The conflict rule; true when the local project is current afterwards.
    bool update(TODOList* local, TODOList* incoming);
    bool updateOrCreateProjectFrom(TODOList* incoming);

    void rescanEditedProjects() { rescanEdited(); }

private:
    void sendModified() override { sendModifiedProjects(); }
    Merged mergePolled(const QJsonObject& object) override;
    void succeeded(TODOList* project, bool post, const rest::Response& response,
                   const ProjectSuccess& success);
    void failed(TODOList* project, bool post, const rest::Error& error, const ProjectFailure& failure);

    bool m_isSendingModifiedProjects = false;
};

} // namespace qv
