#include "ui/details/widgets/MyDrawerController.h"

#include "core/model/TODOItem.h"
#include "ui/details/DrawerModel.h"

#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace qv {

MyDrawerController::MyDrawerController(MyDocument&, const Services&, QWidget* parent)
    : QWidget(parent), m_model(new DrawerModel(this))
{
    setAutoFillBackground(true);
    setMinimumWidth(200);
    m_pages = new QStackedLayout(this);

    m_emptyLabel = new QLabel(tr("No item selected"), this);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setEnabled(false);
    m_pages->addWidget(m_emptyLabel);

    auto* details = new QWidget(this);
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* nameLabel = new QLabel(tr("Name"), details);
    m_name = new QLineEdit(details);
    auto* notesLabel = new QLabel(tr("Notes"), details);
    m_notes = new QPlainTextEdit(details);
    m_notes->setTabChangesFocus(true);
    layout->addWidget(nameLabel);
    layout->addWidget(m_name);
    layout->addWidget(notesLabel);
    layout->addWidget(m_notes, 1);
    m_pages->addWidget(details);

    connect(m_name, &QLineEdit::editingFinished, this, [this] {
        if (!m_shown || m_refreshing)
            return;
        if (!DrawerModel::writeName(m_shown, m_name->text()))
            m_name->setText(m_shown->name());
        m_name->setModified(false);
    });
    m_notes->installEventFilter(this);
    connect(m_model, &DrawerModel::changed, this, &MyDrawerController::refresh);
    refresh();
}

MyDrawerController::~MyDrawerController()
{
    commitEdits();
}

void MyDrawerController::setArrayController(ArrayController* controller)
{
    m_model->setArrayController(controller);
}

ArrayController* MyDrawerController::arrayController() const
{
    return m_model->arrayController();
}

bool MyDrawerController::isOpen() const
{
    return m_model->isOpen();
}

TODOItem* MyDrawerController::getItem() const
{
    return m_model->getItem();
}

void MyDrawerController::commitEdits()
{
    if (!m_shown || m_shown->isDeleted())
        return;
    if (m_name->isModified()) {
        if (!DrawerModel::writeName(m_shown, m_name->text()))
            m_name->setText(m_shown->name());
        m_name->setModified(false);
    }
    if (m_notes->document()->isModified()) {
        DrawerModel::writeNotes(m_shown, m_notes->toPlainText());
        m_notes->document()->setModified(false);
    }
}

bool MyDrawerController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_notes && event->type() == QEvent::FocusOut)
        commitEdits();
    return QWidget::eventFilter(watched, event);
}

void MyDrawerController::refresh()
{
    TODOItem* item = m_model->getItem();
    if (item != m_shown) {
        // What was typed belongs to the item it was typed for.
        commitEdits();
        m_shown = item;
        m_refreshing = true;
        m_name->setText(item ? item->name() : QString());
        m_name->setModified(false);
        m_notes->setPlainText(item ? item->descriptionText() : QString());
        m_notes->document()->setModified(false);
        m_refreshing = false;
    } else if (item) {
        // A change made elsewhere shows, unless the user is typing in that field.
        m_refreshing = true;
        if (!m_name->isModified() && m_name->text() != item->name())
            m_name->setText(item->name());
        if (!m_notes->document()->isModified() && m_notes->toPlainText() != item->descriptionText()) {
            m_notes->setPlainText(item->descriptionText());
            m_notes->document()->setModified(false);
        }
        m_refreshing = false;
    }
    m_pages->setCurrentIndex(item ? 1 : 0);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, m_model->backgroundColor());
    setPalette(colors);
    const bool open = m_model->isOpen();
    if (open != m_wasOpen) {
        m_wasOpen = open;
        emit openChanged(open);
    }
}

} // namespace qv
