#include "ui/board/widgets/PeopleMenuView.h"

#include "ui/board/BoardImages.h"
#include "ui/board/PlainText.h"

#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QWidgetAction>

namespace qv {

namespace {

QAction* heading(QMenu* menu, const QString& title)
{
    auto* action = new QWidgetAction(menu);
    auto* label = new QLabel(title);
    label->setTextFormat(Qt::PlainText);
    QFont bold = menu->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAlignment(Qt::AlignCenter);
    // A heading is disabled so it cannot be picked, not to be greyed out.
    QPalette colors = label->palette();
    colors.setColor(QPalette::Disabled, QPalette::WindowText,
                    colors.color(QPalette::Active, QPalette::WindowText));
    label->setPalette(colors);
    label->setContentsMargins(6, 2, 6, 2);
    action->setDefaultWidget(label);
    action->setText(PlainText::menuText(title));
    action->setFont(bold);
    action->setEnabled(false);
    return action;
}

} // namespace

void PeopleMenuView::fill(QMenu* menu, const PeopleMenu& model, const AvatarSource& avatarFor,
                          const Chosen& chosen)
{
    using Kind = PeopleMenu::Entry::Kind;
    menu->setTitle(model.title);
    if (model.replacesEntries)
        menu->clear();
    for (const PeopleMenu::Entry& entry : model.entries) {
        switch (entry.kind) {
        case Kind::Separator:
            menu->addSeparator();
            break;
        case Kind::Heading:
            menu->addAction(heading(menu, entry.title));
            break;
        case Kind::NotFound:
            menu->addAction(PlainText::menuText(entry.title))->setEnabled(false);
            break;
        case Kind::Person:
        case Kind::InviteAll: {
            // Shown as typed; the person is told by the data, which is the address itself.
            QAction* action = menu->addAction(PlainText::menuText(entry.title));
            action->setData(entry.title);
            const QImage picture = entry.kind == Kind::InviteAll
                                       ? BoardImages::imageNamed(QStringLiteral("recommend40"))
                                       : (avatarFor ? avatarFor(entry.title) : QImage());
            if (!picture.isNull())
                action->setIcon(QIcon(QPixmap::fromImage(picture)));
            QObject::connect(action, &QAction::triggered, menu, [chosen, entry] {
                if (chosen)
                    chosen(entry);
            });
            break;
        }
        }
    }
}

} // namespace qv
