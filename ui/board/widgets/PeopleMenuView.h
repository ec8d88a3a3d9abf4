#pragma once

#include "sync/ContextMenuHelper.h"

#include <QImage>

#include <functional>

class QMenu;

namespace qv {

// Draws a people menu into a menu: headings as disabled, bold, centred entries; each person by
// e-mail with the avatar. chosen receives the entry of the person (or "Invite all") picked.
class PeopleMenuView {
public:
    PeopleMenuView() = delete;

    using AvatarSource = std::function<QImage(const QString& email)>;
    using Chosen = std::function<void(const PeopleMenu::Entry& entry)>;

    static void fill(QMenu* menu, const PeopleMenu& model, const AvatarSource& avatarFor,
                     const Chosen& chosen);
};

} // namespace qv
