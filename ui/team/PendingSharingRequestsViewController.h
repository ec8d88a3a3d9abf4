#pragma once

#include "sync/User.h"
#include "ui/team/TeamViewController.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace qv {

class CollaborationManager;
class QVRestManager;

// The projects other people have shared with the signed-in user, each to accept or refuse.
// Accepting downloads the project into the document, saves it and has the window select it.
// Display-free: the view lists requests(), enables a row's answers while canAnswer() holds and
// shows the progress while isShowingProgress().
class PendingSharingRequestsViewController : public QObject, public SharedProjectsList {
    Q_OBJECT
public:
    using Loaded = std::function<void(const QList<SharingRequest>& requests)>;
    using SelectProject = std::function<void(qint64 projectID)>;

    // The manager and the engine must outlive the controller.
    PendingSharingRequestsViewController(CollaborationManager& collaboration, QVRestManager& engine,
                                         QObject* parent = nullptr);

    // How an accepted project, once downloaded, is shown in the window; none: it is not.
    void setProjectSelector(SelectProject select) { m_selectProject = std::move(select); }

    // The rows: open requests addressed to the signed-in user, as last loaded.
    const QList<SharingRequest>& requests() const { return m_requests; }
    int count() const { return int(m_requests.size()); }
    int requestCount() const override { return count(); }
    bool isReloading() const { return m_reloading; }
    bool isShowingProgress() const { return m_progress > 0; }

    // Loads the requests again. Nothing while a reload runs (run is not called) or, without
    // force, while the list has rows; otherwise run gets the loaded list (empty on a failure).
    void reloadAll(bool force, Loaded run) override;
    void reloadAll(bool force) { reloadAll(force, {}); }
    // The answers to the request of a row (the table's clicked row; others are ignored). A
    // failed answer leaves the request open ("init") to be answered again.
    void acceptRequest(int row);
    void rejectRequest(int row);
    // The project of an accepted request into the document; nothing when its address holds no id.
    void downloadProjectForSharingRequest(const SharingRequest& request);

    // Shown while any of the list's requests is out.
    void showProgress();
    void hideProgress();

    // A check-box cell is on exactly when the row's status equals its column's identifier.
    bool cellState(int row, const QString& columnIdentifier) const;
    // The row is still open (IsInitStringValueTransformer over its status).
    bool canAnswer(int row) const;

signals:
    void requestsChanged();
    void progressChanged(bool shown);

private:
    void answer(int row, const QString& status);
    void setStatus(const SharingRequest& request, const QString& status);
    void setRequests(const QList<SharingRequest>& requests);

    CollaborationManager& m_collaboration;
    QVRestManager& m_engine;
    SelectProject m_selectProject;
    QList<SharingRequest> m_requests;
    bool m_reloading = false;
    int m_progress = 0;
};

} // namespace qv
