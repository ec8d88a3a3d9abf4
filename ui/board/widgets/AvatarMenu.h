#pragma once

#include "ui/board/widgets/PeopleMenuView.h"

#include <QImage>
#include <QMenu>

#include <functional>

namespace qv {

class AvatarManager;

// A menu of people by e-mail, each entry with the small picture of that person's avatar: the
// one known at once (the placeholder until a picture is known), replaced when the picture
// arrives, for as long as the menu lives.
class AvatarMenu final : public QMenu {
    Q_OBJECT
public:
    explicit AvatarMenu(QWidget* parent = nullptr);

    // The small picture known now for an address; asking may start its download.
    using SmallAvatar = std::function<QImage(const QString& email)>;
    void setAvatarSource(SmallAvatar source) { m_source = std::move(source); }
    // Pictures from the manager (nullptr: none); its arrivals update the entries.
    void setAvatarManager(AvatarManager* avatars);

    // An entry titled with an e-mail address, before the entry at index (at the end when there
    // is none there), with that person's picture; its data is the address.
    QAction* insertItemWithTitle(const QString& title, int index);
    // The model's entries with the people's pictures; chosen receives the entry picked.
    void showPeople(const PeopleMenu& model, const PeopleMenuView::Chosen& chosen);

public slots:
    // The picture of an address arrived: every entry of that person shows it.
    void avatarArrived(const QString& email);

private:
    QImage smallAvatar(const QString& email) const;

    SmallAvatar m_source;
    QMetaObject::Connection m_arrivals;
};

} // namespace qv
