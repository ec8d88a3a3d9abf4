#include "ui/details/widgets/ProjectTagFilterViewController.h"

#include "core/document/MyDocument.h"
#include "core/model/ListTag.h"
#include "platform/Services.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/ProjectTagFilter.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/details/TagDeletion.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qv {

ProjectTagFilterViewController::ProjectTagFilterViewController(MyDocument& document, const Services& services,
                                                               ProjectListView& list, QWidget* parent,
                                                               bool installAsPopup)
    : QWidget(parent), m_document(document), m_alerts(services.alerts), m_listView(list),
      m_filter(list.controller().tagFilterViewController())
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(new QLabel(tr("Show projects tagged"), this));
    m_list = new QListWidget(this);
    m_list->setMinimumWidth(180);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->installEventFilter(this);
    layout->addWidget(m_list, 1);
    m_archived = new QCheckBox(tr("Show archived projects"), this);
    layout->addWidget(m_archived);

    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* row) {
        if (m_showing)
            return;
        auto* tag = static_cast<ListTag*>(row->data(Qt::UserRole).value<void*>());
        m_filter.setTagSelected(tag, row->checkState() == Qt::Checked);
    });
    connect(m_archived, &QCheckBox::clicked, this, [this] { m_filter.toggleArchived(); });
    connect(&m_filter, &ProjectTagFilter::changed, this, &ProjectTagFilterViewController::showTags);
    if (installAsPopup)
        list.setTagFilterPopup(this);
    showTags();
}

void ProjectTagFilterViewController::reloadTags()
{
    m_filter.reloadTags();
}

void ProjectTagFilterViewController::deleteSelectedTags()
{
    QStringList names;
    for (const QListWidgetItem* row : m_list->selectedItems())
        names << row->text();
    if (names.isEmpty() || !m_alerts ||
        !TagDeletion::deleteProjectTags(*m_alerts, m_document.context(), names))
        return;
    // The choice loses the removed tags; the list shows what they hid.
    m_filter.reloadTags();
    m_listView.controller().reloadFilters();
}

bool ProjectTagFilterViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            deleteSelectedTags();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ProjectTagFilterViewController::showEvent(QShowEvent* event)
{
    reloadTags();
    QWidget::showEvent(event);
}

void ProjectTagFilterViewController::showTags()
{
    m_showing = true;
    {
        const QSignalBlocker blocker(m_list);
        m_list->clear();
        for (ListTag* tag : m_filter.tags()) {
            auto* row = new QListWidgetItem(tag->name(), m_list);
            row->setData(Qt::UserRole, QVariant::fromValue<void*>(tag));
            row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            row->setCheckState(m_filter.isSelected(tag) ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_archived->setEnabled(m_filter.hasArchivedTag());
    m_archived->setChecked(m_filter.isArchivedSelected());
    m_showing = false;
}

} // namespace qv
