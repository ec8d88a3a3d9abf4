#pragma once

#include <QWidget>

class QProgressBar;
class QTableWidget;

namespace qv {

class PendingSharingRequestsViewController;

// The list of projects shared with the signed-in user: each row names the project and who
// shared it, with an "Accept" and a "Reject" check box while the request is open.
class PendingSharingRequestsView final : public QWidget {
    Q_OBJECT
public:
    explicit PendingSharingRequestsView(PendingSharingRequestsViewController& controller,
                                        QWidget* parent = nullptr);

    PendingSharingRequestsViewController& controller() const { return m_controller; }
    QTableWidget* table() const { return m_table; }

private:
    void reloadRows();
    // What the rows show, to leave them alone when a reload brings the same list.
    QStringList rowsShown() const;

    PendingSharingRequestsViewController& m_controller;
    QTableWidget* m_table;
    QProgressBar* m_progress;
    QStringList m_shown;
};

} // namespace qv
