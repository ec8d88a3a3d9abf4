#include "ui/details/widgets/TeamFilterItem.h"

#include "platform/NotificationCenter.h"
#include "sync/AvatarManager.h"
#include "ui/board/BoardImages.h"
#include "ui/board/PlainText.h"
#include "ui/board/widgets/AvatarMenu.h"
#include "ui/details/DetailsNotifications.h"

#include <QIcon>
#include <QToolBar>

namespace qv {

TeamFilterItem::TeamFilterItem(NotificationCenter* notifications, Source source, QWidget* parent)
    : QToolButton(parent), m_notifications(notifications), m_source(std::move(source)),
      m_menu(new AvatarMenu(this))
{
    setObjectName(kIdentifier);
    setText(tr("Owner"));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setPopupMode(QToolButton::InstantPopup);
    // The label carries no menu arrow, as the toolbar's other menu buttons.
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    setMenu(m_menu);
    connect(m_menu, &QMenu::aboutToShow, this, &TeamFilterItem::fillMenu);
    if (m_notifications) {
        m_notifications->addObserver(this, kNotificationSelectedOwnersChanged,
                                     [this](const Notification& note) {
                                         m_chosen = note.object.toStringList();
                                         showChosen();
                                     });
    }
    showChosen();
}

TeamFilterItem::~TeamFilterItem()
{
    if (m_notifications)
        m_notifications->removeObserver(this);
}

int TeamFilterItem::insertionIndex(int visibleItems)
{
    return visibleItems >= 1 && visibleItems <= 7 ? visibleItems - 1 : 6;
}

TeamFilterItem* TeamFilterItem::addTo(QToolBar& toolbar, NotificationCenter* notifications, Source source)
{
    if (auto* present = toolbar.findChild<TeamFilterItem*>(kIdentifier))
        return present;
    const QList<QAction*> items = toolbar.actions();
    int visible = 0;
    for (const QAction* item : items)
        visible += item->isVisible() ? 1 : 0;
    const int index = insertionIndex(visible);
    auto* item = new TeamFilterItem(notifications, std::move(source));
    toolbar.insertWidget(index < items.size() ? items[index] : nullptr, item);
    return item;
}

void TeamFilterItem::setAvatarManager(AvatarManager* avatars)
{
    m_avatars = avatars;
    m_menu->setAvatarManager(avatars);
    if (avatars)
        connect(avatars, &AvatarManager::avatarChanged, this, &TeamFilterItem::showChosen,
                Qt::UniqueConnection);
    showChosen();
}

void TeamFilterItem::choose(const QString& email)
{
    const QStringList owners = email.isEmpty() ? QStringList() : QStringList{email};
    if (owners == m_chosen)
        return;
    m_chosen = owners;
    showChosen();
    postSelectedOwners(m_notifications, this, owners);
}

void TeamFilterItem::fillMenu()
{
    using Kind = PeopleMenu::Entry::Kind;
    PeopleMenuSource source = m_source ? m_source() : PeopleMenuSource();
    // The signed-in user first, then the team and the others, nobody twice.
    source.owners.clear();
    PeopleMenu model{tr("Team"), true, {}};
    if (source.me && !source.me->email.isEmpty()) {
        model.entries.append({Kind::Person, source.me->email});
        source.owners = {*source.me};
    }
    model.entries.append(ContextMenuHelper::forInvitingToProject(source).entries);
    if (model.people().isEmpty())
        model.entries.append({Kind::NotFound, ContextMenuHelper::kNotFound});

    m_menu->clear();
    QAction* anybody = m_menu->addAction(tr("Anybody"));
    anybody->setCheckable(true);
    anybody->setChecked(m_chosen.isEmpty());
    connect(anybody, &QAction::triggered, this, [this] { choose({}); });
    m_menu->addSeparator();
    model.replacesEntries = false;
    m_menu->showPeople(model, [this](const PeopleMenu::Entry& entry) { choose(entry.title); });
    for (QAction* action : m_menu->actions()) {
        if (action != anybody && m_chosen.contains(action->data().toString())) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
}

void TeamFilterItem::showChosen()
{
    QImage picture;
    if (m_chosen.size() == 1 && m_avatars) {
        if (const AvatarImage* avatar = m_avatars->cachedAvatarForEmail(m_chosen.front()))
            picture = avatar->smallImage();
    }
    if (picture.isNull())
        picture = BoardImages::imageNamed(QStringLiteral("UI_Icon_all_no_assignee_40"));
    setIcon(QIcon(QPixmap::fromImage(picture)));
    setToolTip(m_chosen.isEmpty()
                   ? tr("Items of anybody")
                   : PlainText::toolTip(tr("Items of %1").arg(m_chosen.join(QStringLiteral(", ")))));
}

} // namespace qv
