#include "ui/details/widgets/IconChooserWindow.h"

#include "ui/board/BoardImages.h"
#include "ui/board/ImageFactoryForMac.h"

#include <QListWidget>
#include <QPixmap>
#include <QVBoxLayout>

namespace qv {

IconChooserWindow::IconChooserWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("iconChooser"));
    setWindowTitle(tr("Choose Icon"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_list = new QListWidget(this);
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(44, 44));
    m_list->setGridSize(QSize(56, 56));
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const QString& name : BoardImages::itemIconNames()) {
        // A completed item wears the check mark by itself; it is no icon to choose.
        if (name == ImageFactoryForMac::kCompletedIcon)
            continue;
        const QImage image = BoardImages::imageNamed(QStringLiteral("44") + name);
        auto* row = new QListWidgetItem(QIcon(QPixmap::fromImage(image)), QString(), m_list);
        row->setData(Qt::UserRole, name);
        row->setToolTip(name == ImageFactoryForMac::kEmptyIcon ? tr("No icon") : QString());
    }
    layout->addWidget(m_list);
    resize(360, 300);

    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* row) {
        emit iconChosen(row->data(Qt::UserRole).toString());
        accept();
    });
}

} // namespace qv
