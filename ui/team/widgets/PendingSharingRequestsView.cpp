#include "ui/team/widgets/PendingSharingRequestsView.h"

#include "ui/board/PlainText.h"
#include "ui/team/PendingSharingRequestsViewController.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qv {

namespace {

enum Column { Project, Accept, Reject, ColumnCount };

} // namespace

PendingSharingRequestsView::PendingSharingRequestsView(PendingSharingRequestsViewController& controller,
                                                       QWidget* parent)
    : QWidget(parent), m_controller(controller), m_table(new QTableWidget(0, ColumnCount, this)),
      m_progress(new QProgressBar(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->horizontalHeader()->setSectionResizeMode(Project, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(Accept, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(Reject, QHeaderView::ResizeToContents);
    m_table->setMinimumSize(360, 160);
    m_progress->setRange(0, 0); // busy
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    m_progress->setVisible(controller.isShowingProgress());
    layout->addWidget(m_table, 1);
    layout->addWidget(m_progress);
    reloadRows();

    connect(&controller, &PendingSharingRequestsViewController::requestsChanged, this,
            &PendingSharingRequestsView::reloadRows);
    connect(&controller, &PendingSharingRequestsViewController::progressChanged, m_progress,
            &QWidget::setVisible);
}

QStringList PendingSharingRequestsView::rowsShown() const
{
    QStringList rows;
    const QList<SharingRequest>& requests = m_controller.requests();
    for (int row = 0; row < requests.size(); ++row) {
        const SharingRequest& request = requests.at(row);
        rows << QStringList{QString::number(request.identifier.value_or(-1)), request.projectName,
                            request.sourceUsername, request.status,
                            m_controller.canAnswer(row) ? QStringLiteral("open") : QString()}
                    .join(QChar(0));
    }
    return rows;
}

void PendingSharingRequestsView::reloadRows()
{
    // Once every request is answered there is nothing left to do in the popover.
    bool open = false;
    for (int row = 0; row < m_controller.count(); ++row)
        open = open || m_controller.canAnswer(row);
    if (QWidget* popover = window();
        popover != this && popover->windowType() == Qt::Popup && popover->isVisible() && !open)
        popover->hide();
    QStringList shown = rowsShown();
    if (shown == m_shown && m_table->rowCount() == shown.size())
        return;
    m_shown = std::move(shown);
    const QList<SharingRequest>& requests = m_controller.requests();
    m_table->setRowCount(int(requests.size()));
    for (int row = 0; row < requests.size(); ++row) {
        const SharingRequest& request = requests.at(row);
        auto* name = new QTableWidgetItem(request.projectName);
        QFont bold = name->font();
        bold.setBold(true);
        name->setFont(bold);
        name->setToolTip(PlainText::toolTip(request.sourceUsername));
        m_table->setItem(row, Project, name);
        const auto answerBox = [&](Column column, const QString& title, const QString& status) {
            auto* box = new QCheckBox(title);
            box->setChecked(m_controller.cellState(row, status));
            box->setEnabled(m_controller.canAnswer(row));
            // Answering rebuilds the rows, this box with them: the answer leaves its click first.
            connect(
                box, &QCheckBox::clicked, this,
                [this, row, column] {
                    if (column == Accept)
                        m_controller.acceptRequest(row);
                    else
                        m_controller.rejectRequest(row);
                },
                Qt::QueuedConnection);
            m_table->setCellWidget(row, column, box);
        };
        answerBox(Accept, QStringLiteral("Accept"), SharingRequest::kAccepted);
        answerBox(Reject, QStringLiteral("Reject"), SharingRequest::kRejected);
    }
}

} // namespace qv
