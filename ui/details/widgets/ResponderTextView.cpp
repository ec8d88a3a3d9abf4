#include "ui/details/widgets/ResponderTextView.h"

#include "ui/details/FeedModel.h"

#include <QKeyEvent>

namespace qv {

ResponderTextView::ResponderTextView(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("commentInput"));
    setTabChangesFocus(true);
    setOnline(false);
}

void ResponderTextView::setOnline(bool online)
{
    m_placeholder = FeedModel::placeholderText(online);
    showPlaceholder();
}

void ResponderTextView::showPlaceholder()
{
    setPlaceholderText(hasFocus() ? QString() : m_placeholder);
}

void ResponderTextView::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (event->modifiers() & Qt::ShiftModifier)) {
        event->accept();
        emit sendRequested();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ResponderTextView::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    showPlaceholder();
}

void ResponderTextView::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    showPlaceholder();
}

} // namespace qv
