#include "ui/team/PendingSharingRequestsViewController.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOList.h"
#include "core/util/Utils.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRestManager.h"
#include "ui/team/IsInitStringValueTransformer.h"
#include "ui/team/TeamLogging.h"

#include <QPointer>

namespace qv {

PendingSharingRequestsViewController::PendingSharingRequestsViewController(
    CollaborationManager& collaboration, QVRestManager& engine, QObject* parent)
    : QObject(parent), m_collaboration(collaboration), m_engine(engine)
{
}

void PendingSharingRequestsViewController::setRequests(const QList<SharingRequest>& requests)
{
    m_requests = requests;
    emit requestsChanged();
}

void PendingSharingRequestsViewController::reloadAll(bool force, Loaded run)
{
    if (m_reloading || (!force && !m_requests.isEmpty()))
        return;
    // The rows stay while the list loads: an open popover is not emptied under the user's hand.
    showProgress();
    m_reloading = true;
    QPointer<PendingSharingRequestsViewController> self(this);
    // Both outcomes call run once; either may be the one that comes.
    auto done = [self, run = std::move(run)](const QList<SharingRequest>& loaded) {
        if (!self)
            return;
        self->hideProgress();
        self->setRequests(loaded);
        if (run)
            run(loaded);
        self->m_reloading = false;
    };
    m_collaboration.getSharingRequests(done, [done](const std::optional<QString>&) {
        qCInfo(lcTeam, "The shared projects could not be loaded");
        done({});
    });
}

void PendingSharingRequestsViewController::acceptRequest(int row)
{
    answer(row, SharingRequest::kAccepted);
}

void PendingSharingRequestsViewController::rejectRequest(int row)
{
    answer(row, SharingRequest::kRejected);
}

void PendingSharingRequestsViewController::setStatus(const SharingRequest& request, const QString& status)
{
    for (SharingRequest& row : m_requests) {
        if (row == request)
            row.status = status;
    }
    emit requestsChanged();
}

void PendingSharingRequestsViewController::answer(int row, const QString& status)
{
    if (row < 0 || row >= m_requests.size())
        return;
    SharingRequest request = m_requests.at(row);
    request.status = status;
    setStatus(request, status);
    showProgress();
    const bool accepting = status == SharingRequest::kAccepted;
    QPointer<PendingSharingRequestsViewController> self(this);
    m_collaboration.putSharingRequest(
        request,
        [self, request, accepting](const SharingRequest&) {
            if (!self)
                return;
            qCInfo(lcTeam, accepting ? "Accepted succesfully" : "Rejected succesfully");
            if (accepting)
                self->downloadProjectForSharingRequest(request);
            self->hideProgress();
            self->reloadAll(true);
        },
        [self, request](const std::optional<QString>&) {
            if (!self)
                return;
            qCInfo(lcTeam, "A shared project could not be answered");
            self->setStatus(request, SharingRequest::kInit);
            self->hideProgress();
            self->reloadAll(true);
        });
}

void PendingSharingRequestsViewController::downloadProjectForSharingRequest(const SharingRequest& request)
{
    const std::optional<qint64> projectID = Utils::idFromURI(request.projectURI);
    if (!projectID)
        return;
    showProgress();
    QPointer<PendingSharingRequestsViewController> self(this);
    QVRestManager* engine = &m_engine;
    m_engine.getProjectAndItemsForProjectWithID(
        *projectID, m_engine.managedContext(),
        [self, engine, id = *projectID](TODOList*) {
            qCInfo(lcTeam, "Saving document (got share request)");
            engine->document().saveFile();
            if (!self)
                return;
            self->hideProgress();
            if (self->m_selectProject)
                self->m_selectProject(id);
        },
        [self](const QString&) {
            qCInfo(lcTeam, "A shared project could not be downloaded");
            if (self)
                self->hideProgress();
        });
}

void PendingSharingRequestsViewController::showProgress()
{
    if (++m_progress == 1)
        emit progressChanged(true);
}

void PendingSharingRequestsViewController::hideProgress()
{
    if (m_progress == 0)
        return;
    if (--m_progress == 0)
        emit progressChanged(false);
}

bool PendingSharingRequestsViewController::cellState(int row, const QString& columnIdentifier) const
{
    return row >= 0 && row < m_requests.size() && m_requests.at(row).status == columnIdentifier;
}

bool PendingSharingRequestsViewController::canAnswer(int row) const
{
    return row >= 0 && row < m_requests.size() &&
           IsInitStringValueTransformer().transformedValue(m_requests.at(row).status).toBool();
}

} // namespace qv
