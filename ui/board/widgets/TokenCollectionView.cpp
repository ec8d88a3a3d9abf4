#include "ui/board/widgets/TokenCollectionView.h"

#include <QKeyEvent>

namespace qv {

TokenCollectionView::TokenCollectionView(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void TokenCollectionView::keyPressEvent(QKeyEvent* event)
{
    if (event->text().isEmpty() && event->key() != Qt::Key_Delete) {
        QListWidget::keyPressEvent(event);
        return;
    }
    // Delete arrives as the key, or as the DEL character some keyboards send.
    const bool deleteKey = event->key() == Qt::Key_Delete || event->text().front() == QChar(127);
    if (deleteKey && m_deleteHandler)
        m_deleteHandler(this);
    QListWidget::keyPressEvent(event);
}

} // namespace qv
