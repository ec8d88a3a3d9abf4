#include "ui/details/widgets/PeopleMenus.h"

#include "core/model/TODOItem.h"
#include "platform/Services.h"
#include "sync/AvatarManager.h"
#include "ui/board/ArrayController.h"
#include "ui/board/BoardImages.h"
#include "ui/board/PlainText.h"
#include "ui/board/widgets/AvatarMenu.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/details/DrawerModel.h"
#include "ui/details/OwnerChoice.h"
#include "ui/details/widgets/MyDrawerController.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QToolButton>

namespace qv {

namespace {

// The one item selected in the active quadrant; nullptr for none or several.
const TODOItem* soleSelectedItem(MainWindow& window)
{
    const ArrayController* controller = window.board().controllerForQuadrant(window.board().activeQuadrant());
    if (!controller)
        return nullptr;
    const std::vector<store::ManagedObject*> selected = controller->selectedObjects();
    return selected.size() == 1 ? store::as<TODOItem>(selected.front()) : nullptr;
}

} // namespace

PeopleMenus::PeopleMenus(MainWindow& window, MyDrawerController& drawer, const Services& services,
                         Source source)
    : QObject(&drawer), m_window(window), m_drawer(drawer), m_scheduler(services.scheduler),
      m_source(std::move(source))
{
    m_drawerMenu = new AvatarMenu(&drawer);
    m_drawerMenu->setObjectName(QStringLiteral("drawerPeopleMenu"));

    m_ownerButton = new QToolButton;
    m_ownerButton->setObjectName(QStringLiteral("ownerButton"));
    m_ownerButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_ownerButton->setAutoRaise(true);
    m_ownerButton->setIconSize(QSize(20, 20));
    m_ownerButton->setToolTip(tr("Delegate the selected items"));
    connect(m_ownerButton, &QToolButton::clicked, this, [this] { showMenuWithAll(m_ownerButton); });
    drawer.setOwnerView(m_ownerButton);
    connect(&drawer.model(), &DrawerModel::changed, this, &PeopleMenus::showOwner);
    showOwner();

    // Filled as it opens, from what the caches hold then.
    if ((m_contextMenu = window.itemContextMenu())) {
        m_contextMenu->addSeparator();
        m_delegateMenu = new AvatarMenu(m_contextMenu);
        m_delegateMenu->setObjectName(QStringLiteral("delegateMenu"));
        m_delegateMenu->setTitle(ContextMenuHelper::kDelegate);
        m_contextMenu->addMenu(m_delegateMenu);
        connect(m_contextMenu, &QMenu::aboutToShow, this, &PeopleMenus::fillDelegateMenu);
    }
    // A click on a row's owner picture.
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        if (QuadrantView* view = window.quadrantView(quadrant))
            connect(view, &QuadrantView::collaboratorsRequested, this,
                    [this, view] { showCollaborators(view); });
    }
}

PeopleMenus::~PeopleMenus()
{
    if (m_scheduler && m_collaboratorsTimer)
        m_scheduler->cancel(m_collaboratorsTimer);
    delete m_delegateMenu.data();
}

void PeopleMenus::setAvatarManager(AvatarManager* avatars)
{
    m_avatars = avatars;
    for (AvatarMenu* menu : {m_drawerMenu.data(), m_delegateMenu.data()}) {
        if (menu)
            menu->setAvatarManager(avatars);
    }
    if (avatars)
        connect(avatars, &AvatarManager::avatarChanged, this, &PeopleMenus::showOwner, Qt::UniqueConnection);
    showOwner();
}

PeopleMenu PeopleMenus::menuForItem(const TODOItem* item) const
{
    PeopleMenu menu = ContextMenuHelper::forDelegatingItem(m_source ? m_source(item) : PeopleMenuSource());
    // Nobody to offer: said, rather than an empty menu.
    if (menu.people().isEmpty())
        menu.entries.append({PeopleMenu::Entry::Kind::NotFound, ContextMenuHelper::kNotFound});
    return menu;
}

void PeopleMenus::showCollaborators(QWidget* sender)
{
    if (m_collaboratorsPending)
        return;
    if (!m_scheduler) {
        showMenuWithAll(sender);
        return;
    }
    m_collaboratorsPending = true;
    m_collaboratorsTimer =
        m_scheduler->after(kCollaboratorsDelayMs, this, [this, at = QPointer<QWidget>(sender)] {
            m_collaboratorsTimer = 0;
            m_collaboratorsPending = false;
            showMenuWithAll(at);
        });
}

void PeopleMenus::showMenuWithAll(QWidget* sender)
{
    if (!m_drawerMenu)
        return;
    m_drawerMenu->showPeople(menuForItem(m_drawer.getItem()),
                             [this](const PeopleMenu::Entry& entry) { changeOwner(entry.title); });
    QPoint at = QCursor::pos();
    // Under the sender, unless the click that asked was on it (a row's picture).
    if (sender && !sender->rect().contains(sender->mapFromGlobal(at)))
        at = sender->mapToGlobal(QPoint(0, sender->height()));
    m_drawerMenu->popup(at);
}

void PeopleMenus::fillDelegateMenu()
{
    if (!m_delegateMenu)
        return;
    m_delegateMenu->showPeople(menuForItem(soleSelectedItem(m_window)),
                               [this](const PeopleMenu::Entry& entry) { changeOwner(entry.title); });
}

void PeopleMenus::changeOwner(const QString& title)
{
    if (ArrayController* controller = m_drawer.arrayController())
        qv::changeOwner(*controller, title);
}

void PeopleMenus::showOwner()
{
    if (!m_ownerButton)
        return;
    const TODOItem* item = m_drawer.getItem();
    const QString owner = item ? item->ownerUsername() : QString();
    m_ownerButton->setEnabled(item != nullptr);
    m_ownerButton->setText(owner.isEmpty() ? tr("Nobody") : PlainText::menuText(owner));
    QImage picture;
    if (!owner.isEmpty() && m_avatars) {
        if (const AvatarImage* avatar = m_avatars->cachedAvatarForEmail(owner))
            picture = avatar->smallImage();
    }
    if (picture.isNull())
        picture = BoardImages::imageNamed(QStringLiteral("UI_Icon_all_no_assignee_40"));
    m_ownerButton->setIcon(QIcon(QPixmap::fromImage(picture)));
}

} // namespace qv
