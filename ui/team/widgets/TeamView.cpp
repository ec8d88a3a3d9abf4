#include "ui/team/widgets/TeamView.h"

#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/widgets/SimpleCollaboratorsView.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

TeamView::TeamView(TeamViewController& controller, Preferences* preferences, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("teamView"));
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 4, 4, 4);
    bar->setSpacing(0);
    m_modes = new QButtonGroup(this);
    const std::pair<const char*, int> modes[] = {{"Project", SimpleCollaboratorsController::ProjectOnly},
                                                 {"Team", SimpleCollaboratorsController::WholeTeam}};
    for (const auto& [title, mode] : modes) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromLatin1(title));
        button->setCheckable(true);
        button->setToolTip(mode == SimpleCollaboratorsController::ProjectOnly
                               ? QStringLiteral("The people and history of the selected project")
                               : QStringLiteral("Everybody you work with, and the history of all projects"));
        m_modes->addButton(button, mode);
        bar->addWidget(button);
    }
    bar->addStretch(1);
    m_shareMenu = new QMenu(this);
    m_share = new QToolButton(this);
    m_share->setText(QStringLiteral("Share"));
    m_share->setToolTip(QStringLiteral("Share this project with someone"));
    m_share->setMenu(m_shareMenu);
    m_share->setPopupMode(QToolButton::InstantPopup);
    m_sharedProjects = new QToolButton(this);
    m_sharedProjects->setText(QStringLiteral("Shared with Me"));
    m_sharedProjects->setToolTip(QStringLiteral("Projects other people shared with you"));
    bar->addWidget(m_share);
    bar->addSpacing(4);
    bar->addWidget(m_sharedProjects);

    m_feedTitle = new QLabel(this);
    m_feedTitle->setTextFormat(Qt::PlainText);
    QFont bold = m_feedTitle->font();
    bold.setBold(true);
    m_feedTitle->setFont(bold);
    m_feedTitle->setContentsMargins(6, 4, 6, 2);
    auto* feedBox = new QWidget(this);
    m_feedLayout = new QVBoxLayout(feedBox);
    m_feedLayout->setContentsMargins(0, 0, 0, 0);
    m_noFeed = new QLabel(QStringLiteral("No history to show"), feedBox);
    m_noFeed->setAlignment(Qt::AlignCenter);
    m_noFeed->setEnabled(false);
    m_feedLayout->addWidget(m_noFeed);
    auto* feedColumn = new QWidget(this);
    auto* feedColumnLayout = new QVBoxLayout(feedColumn);
    feedColumnLayout->setContentsMargins(0, 0, 0, 0);
    feedColumnLayout->setSpacing(0);
    feedColumnLayout->addWidget(m_feedTitle);
    feedColumnLayout->addWidget(feedBox, 1);

    m_people = new SimpleCollaboratorsView(m_controller.people(), preferences, this);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    split->addWidget(m_people);
    split->addWidget(feedColumn);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    // The history gets the larger share at first.
    split->setSizes({200, 400});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(split, 1);

    m_popup = new QFrame(this, Qt::Popup);
    m_popup->setFrameShape(QFrame::StyledPanel);
    auto* popupLayout = new QVBoxLayout(m_popup);
    popupLayout->setContentsMargins(4, 4, 4, 4);

    connect(m_modes, &QButtonGroup::idClicked, &m_controller, &TeamViewController::setSelectedMode);
    connect(&m_controller, &TeamViewController::modeChanged, this, &TeamView::showMode);
    connect(m_shareMenu, &QMenu::aboutToShow, this, [this] { m_people->fillInvitingMenu(m_shareMenu); });
    connect(m_sharedProjects, &QToolButton::clicked, this,
            [this] { m_controller.checkForSharingRequests(m_sharedProjects); });
    m_controller.setSharedProjectsPopover(this);
    showMode();
}

TeamView::~TeamView()
{
    m_controller.setSharedProjectsPopover(nullptr);
}

void TeamView::showMode()
{
    if (QAbstractButton* button = m_modes->button(m_controller.selectedMode()))
        button->setChecked(true);
    m_feedTitle->setText(m_controller.feedTitle());
}

void TeamView::setFeedView(QWidget* feed)
{
    while (QLayoutItem* item = m_feedLayout->takeAt(0)) {
        if (QWidget* old = item->widget(); old && old != m_noFeed)
            old->hide();
        delete item;
    }
    m_noFeed->setVisible(feed == nullptr);
    m_feedLayout->addWidget(feed ? feed : m_noFeed);
}

void TeamView::setSharedProjectsView(QWidget* list)
{
    m_popup->layout()->addWidget(list);
}

bool TeamView::isShown() const
{
    return m_popup->isVisible();
}

void TeamView::close()
{
    m_popup->hide();
}

void TeamView::showAt(QObject* anchor)
{
    QWidget* at = anchor ? qobject_cast<QWidget*>(anchor) : m_panelSelector.data();
    if (!at || !at->isVisible() || !at->window()->isVisible())
        return;
    m_popup->adjustSize();
    QPoint below = at->mapToGlobal(QPoint(at->width() / 2 - m_popup->width() / 2, at->height()));
    if (const QScreen* screen = at->screen()) {
        const QRect area = screen->availableGeometry();
        below.setX(
            std::clamp(below.x(), area.left(), std::max(area.left(), area.right() - m_popup->width())));
    }
    m_popup->move(below);
    m_popup->show();
}

} // namespace qv
