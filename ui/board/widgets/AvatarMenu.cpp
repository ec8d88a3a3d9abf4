#include "ui/board/widgets/AvatarMenu.h"

#include "sync/AvatarManager.h"
#include "ui/board/PlainText.h"

#include <QIcon>
#include <QPixmap>

namespace qv {

AvatarMenu::AvatarMenu(QWidget* parent) : QMenu(parent) {}

void AvatarMenu::setAvatarManager(AvatarManager* avatars)
{
    disconnect(m_arrivals);
    if (!avatars) {
        m_source = {};
        return;
    }
    m_source = [avatars](const QString& email) {
        const AvatarImage* avatar = avatars->avatarForEmail(email);
        return avatar ? avatar->smallImage() : QImage();
    };
    m_arrivals = connect(avatars, &AvatarManager::avatarChanged, this, &AvatarMenu::avatarArrived);
}

QImage AvatarMenu::smallAvatar(const QString& email) const
{
    return m_source ? m_source(email) : QImage();
}

QAction* AvatarMenu::insertItemWithTitle(const QString& title, int index)
{
    auto* action = new QAction(PlainText::menuText(title), this);
    action->setData(title);
    const QList<QAction*> present = actions();
    insertAction(index >= 0 && index < present.size() ? present[index] : nullptr, action);
    if (const QImage picture = smallAvatar(title); !picture.isNull())
        action->setIcon(QIcon(QPixmap::fromImage(picture)));
    return action;
}

void AvatarMenu::showPeople(const PeopleMenu& model, const PeopleMenuView::Chosen& chosen)
{
    PeopleMenuView::fill(
        this, model, [this](const QString& email) { return smallAvatar(email); }, chosen);
}

void AvatarMenu::avatarArrived(const QString& email)
{
    const QImage picture = smallAvatar(email);
    if (picture.isNull())
        return;
    const QIcon icon(QPixmap::fromImage(picture));
    for (QAction* action : actions()) {
        if (!action->isSeparator() && action->data().toString() == email)
            action->setIcon(icon);
    }
}

} // namespace qv
