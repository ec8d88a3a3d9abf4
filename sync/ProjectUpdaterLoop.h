#pragma once

#include "platform/Scheduler.h"
#include "sync/InFlightSet.h"
#include "sync/RestRecords.h"

#include <QJsonObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv {

class QVRestManager;
class TODOList;

namespace rest {
class RequestQueue;
struct Error;
struct Response;
} // namespace rest

namespace store {
class ManagedObject;
}

// Does for projects what the item loop does for items: a send pass uploads every locally
// edited project one by one, and a poll merges the projects changed on the server. A project's
// change flag stays set until the server has accepted its upload.
class ProjectUpdaterLoop {
public:
    static constexpr qint64 kDefaultIntervalSeconds = 5;

    using ProjectSuccess = std::function<void(TODOList* returned)>;
    using ProjectFailure = std::function<void(const std::optional<rest::Error>& error)>;

    explicit ProjectUpdaterLoop(QVRestManager& manager);
    ~ProjectUpdaterLoop();
    ProjectUpdaterLoop(const ProjectUpdaterLoop&) = delete;
    ProjectUpdaterLoop& operator=(const ProjectUpdaterLoop&) = delete;

    void startLoop();
    void stopLoop();
    void fireSend();
    bool isRunning() const { return m_timerGET != 0; }
    bool isEnding() const { return m_isEnding; }
    qint64 currentInterval() const { return m_currentInterval; }

    void sendModifiedProjects();
    bool sendToServer(TODOList* project, ProjectSuccess success = {}, ProjectFailure failure = {});

    void GETModifiedProjects();
    void objectLoaderDidLoadObjects(const QJsonObject& reply);
    void objectLoaderDidFailWithError(const rest::Error& error);
    QString getURL() const;

    // The conflict rule; true when the local project is current afterwards.
    bool update(TODOList* local, TODOList* incoming);
    bool updateOrCreateProjectFrom(TODOList* incoming);

    InFlightSet& objectsBeingSent() { return m_objectsBeingSent; }
    bool isInFlight(const TODOList* project) const;
    int queuedRequestCount() const;
    void noteChanged(store::ManagedObject* object, const QSet<QString>& keys);
    void rescanEditedProjects();

private:
    void cancelTimers();
    void succeeded(TODOList* project, bool post, const rest::Response& response,
                   const ProjectSuccess& success);
    void failed(TODOList* project, bool post, const rest::Error& error, const ProjectFailure& failure);
    void announce(const QSet<qint64>& ids);

    QVRestManager& m_manager;
    std::unique_ptr<rest::RequestQueue> m_queue;
    MetaPaginator m_paginator;
    qint64 m_currentInterval = kDefaultIntervalSeconds;
    TimerId m_timerGET = 0;
    TimerId m_timerPOST = 0;
    bool m_loading = false;
    bool m_isSendingModifiedProjects = false;
    bool m_isEnding = true;
    InFlightSet m_objectsBeingSent;
    QSet<TODOList*> m_edited;
    QSet<qint64> m_updatedOverPages;
    // Identifiers received over the pages of the poll under way.
    QSet<qint64> m_seenOverPages;
    std::shared_ptr<bool> m_alive;
};

} // namespace qv
