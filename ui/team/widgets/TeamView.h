#pragma once

#include "ui/team/TeamViewController.h"

#include <QPointer>
#include <QWidget>

class QButtonGroup;
class QFrame;
class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;

namespace qv {

class Preferences;
class SimpleCollaboratorsView;

// The team column of the window: the mode (the project or the whole team), the share menu and
// the projects shared with the user over the history feed and the people list. The list of
// shared projects opens in a popup next to the control used.
class TeamView : public QWidget, public SharedProjectsPopover {
    Q_OBJECT
public:
    TeamView(TeamViewController& controller, Preferences* preferences, QWidget* parent = nullptr);
    ~TeamView() override;

    TeamViewController& controller() const { return m_controller; }
    SimpleCollaboratorsView* peopleView() const { return m_people; }
    QToolButton* shareButton() const { return m_share; }
    QToolButton* sharedProjectsButton() const { return m_sharedProjects; }
    // The feed's page, filling the container under the title.
    void setFeedView(QWidget* feed);
    // The list of shared projects, shown in the popup.
    void setSharedProjectsView(QWidget* list);
    // Where the minute's check opens the popup: the window's panel selector.
    void setPanelSelectorAnchor(QWidget* anchor) { m_panelSelector = anchor; }

    // SharedProjectsPopover
    bool isShown() const override;
    void close() override;
    void showAt(QObject* anchor) override;

private:
    void showMode();

    TeamViewController& m_controller;
    SimpleCollaboratorsView* m_people = nullptr;
    QButtonGroup* m_modes = nullptr;
    QToolButton* m_share = nullptr;
    QToolButton* m_sharedProjects = nullptr;
    QMenu* m_shareMenu = nullptr;
    QLabel* m_feedTitle = nullptr;
    QVBoxLayout* m_feedLayout = nullptr;
    QLabel* m_noFeed = nullptr;
    QFrame* m_popup = nullptr;
    QPointer<QWidget> m_panelSelector;
};

} // namespace qv
