#include "ui/details/widgets/UndeleteDialogs.h"

#include "ui/board/widgets/ProjectListView.h"
#include "ui/details/UndeleteCandidates.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

UndeleteDialog::UndeleteDialog(UndeleteCandidates& candidates, const QString& title, const QString& emptyText,
                               QWidget* parent)
    : QDialog(parent), m_candidates(candidates), m_emptyText(emptyText)
{
    setWindowTitle(title);
    setModal(true);
    resize(380, 320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Tick what you want back:"), this));
    m_list = new QListWidget(this);
    layout->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("Restore"), QDialogButtonBox::ApplyRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);

    connect(m_restore, &QPushButton::clicked, this, [this] { restoreTicked(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* row) {
        if (!m_showing)
            m_candidates.setTicked(m_list->row(row), row->checkState() == Qt::Checked);
    });
    connect(&m_candidates, &UndeleteCandidates::candidatesChanged, this, &UndeleteDialog::showCandidates);
    connect(&m_candidates, &UndeleteCandidates::refreshRequested, this, &UndeleteDialog::refreshRequested);
    // A closed bin forgets its list; the next opening reads it afresh.
    connect(this, &QDialog::finished, this, &UndeleteDialog::clearUndeleteCandidates);
    showCandidates();
}

int UndeleteDialog::restoreTicked()
{
    return m_candidates.restoreTicked();
}

void UndeleteDialog::clearUndeleteCandidates()
{
    m_candidates.clearUndeleteCandidates();
}

void UndeleteDialog::showCandidates()
{
    m_showing = true;
    m_list->clear();
    for (int row = 0; row < m_candidates.count(); ++row) {
        auto* item = new QListWidgetItem(undeleteCandidateTitle(m_candidates.candidateAt(row)), m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(m_candidates.isTicked(row) ? Qt::Checked : Qt::Unchecked);
    }
    if (m_candidates.count() == 0) {
        auto* item = new QListWidgetItem(m_emptyText, m_list);
        item->setFlags(Qt::NoItemFlags);
    }
    m_restore->setEnabled(m_candidates.tickedCount() > 0);
    m_showing = false;
}

UndeleteViewController::UndeleteViewController(MyDocument& document, const Services&, QWidget* parent)
    : UndeleteDialog(*new ItemUndeleteCandidates(document), tr("Trashed Items"), tr("The trash is empty."),
                     parent),
      m_candidates(static_cast<ItemUndeleteCandidates*>(&baseCandidates()))
{
    m_candidates->setParent(this);
}

void UndeleteViewController::loadUndeleteCandidates()
{
    m_candidates->loadUndeleteCandidates();
}

UndeleteProjectViewController::UndeleteProjectViewController(MyDocument& document, const Services&,
                                                             ProjectListView* list, QWidget* parent)
    : UndeleteDialog(*new ProjectUndeleteCandidates(document, list ? &list->controller() : nullptr),
                     tr("Trashed Projects"), tr("No trashed projects."), parent),
      m_candidates(static_cast<ProjectUndeleteCandidates*>(&baseCandidates()))
{
    m_candidates->setParent(this);
}

void UndeleteProjectViewController::loadUndeleteCandidates()
{
    m_candidates->loadUndeleteCandidates();
}

} // namespace qv
