#include "ui/team/widgets/InputCollaboratorView.h"

#include "ui/board/PlainText.h"
#include "ui/team/InputCollaboratorViewController.h"

#include <QAction>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProgressBar>
#include <QStyle>

namespace qv {

InputCollaboratorView::InputCollaboratorView(InputCollaboratorViewController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_field(new QLineEdit(this)),
      m_progress(new QProgressBar(this)), m_menu(new QMenu(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_field->setPlaceholderText(QStringLiteral("Email"));
    m_field->setMinimumWidth(240);
    m_field->setClearButtonEnabled(true);
    // The popover that shows this view gives the keyboard to the address field.
    setFocusProxy(m_field);
    // The search field's menu: the magnifier offers the completions.
    m_search = m_field->addAction(QIcon(), QLineEdit::LeadingPosition);
    connect(m_search, &QAction::triggered, this, &InputCollaboratorView::popUpMenu);
    m_progress->setRange(0, 0); // busy
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(40);
    m_progress->setVisible(controller.isInProgress());
    layout->addWidget(m_field, 1);
    layout->addWidget(m_progress);
    fillMenu();

    connect(m_field, &QLineEdit::textEdited, &controller, &InputCollaboratorViewController::setText);
    connect(m_field, &QLineEdit::returnPressed, &controller, [this] {
        m_controller.setText(m_field->text());
        m_controller.enterPressed();
    });
    connect(&controller, &InputCollaboratorViewController::textChanged, m_field, &QLineEdit::setText);
    connect(&controller, &InputCollaboratorViewController::completionsChanged, this,
            &InputCollaboratorView::fillMenu);
    connect(&controller, &InputCollaboratorViewController::progressChanged, m_progress, &QWidget::setVisible);
    connect(&controller, &InputCollaboratorViewController::completionMenuRequested, this,
            &InputCollaboratorView::popUpMenu);
}

void InputCollaboratorView::showEvent(QShowEvent* event)
{
    if (m_search->icon().isNull())
        m_search->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    QWidget::showEvent(event);
}

void InputCollaboratorView::fillMenu()
{
    m_menu->clear();
    for (const CollaboratorCompletion& completion : m_controller.completions()) {
        QAction* action = m_menu->addAction(PlainText::menuText(completion.title));
        action->setEnabled(completion.enabled);
        if (!completion.image.isNull())
            action->setIcon(QIcon(QPixmap::fromImage(completion.image)));
        if (completion.enabled) {
            connect(action, &QAction::triggered, &m_controller,
                    [this, title = completion.title] { m_controller.completeAndEnter(title); });
        }
    }
}

void InputCollaboratorView::popUpMenu()
{
    if (!m_menu->isEmpty() && isVisible())
        m_menu->popup(m_field->mapToGlobal(QPoint(0, m_field->height())));
    m_field->setFocus(Qt::PopupFocusReason);
}

} // namespace qv
