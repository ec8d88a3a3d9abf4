#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QMenu;
class QProgressBar;
class QTableView;
class QToolButton;

namespace qv {

class CollaboratorRowsModel;
class Preferences;
class SimpleCollaboratorsController;

// The people list of the team panel: add, remove and refresh buttons over the rows, each row a
// check box for the invitation and the person with the picture. Selecting rows filters the
// board by those people; the context menu invites, removes and writes mail.
class SimpleCollaboratorsView : public QWidget {
    Q_OBJECT
public:
    // adding: the add input, else the remove input; anchor: the control it opens next to.
    using InputOpener = std::function<void(bool adding, QWidget* anchor)>;

    // Rows follow the board's font tier when preferences are given.
    SimpleCollaboratorsView(SimpleCollaboratorsController& controller, Preferences* preferences,
                            QWidget* parent = nullptr);

    SimpleCollaboratorsController& controller() const { return m_controller; }
    QTableView* table() const { return m_table; }
    QToolButton* addButton() const { return m_add; }
    QMenu* teamMenu() const { return m_teamMenu; }
    QToolButton* refreshButton() const { return m_refresh; }
    // Where addresses are typed; by default a small dialog asks for one.
    void setInputOpener(InputOpener opener) { m_openInput = std::move(opener); }
    // Fills a menu with "New Team Member" and the people to invite to the shown project.
    void fillInvitingMenu(QMenu* menu);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void openInput(bool adding, QWidget* anchor);
    void askForAddress(bool adding);
    void showSelection();
    void updateProgress();
    void applyFontSize();

    SimpleCollaboratorsController& m_controller;
    Preferences* m_preferences;
    CollaboratorRowsModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QToolButton* m_add = nullptr;
    QToolButton* m_remove = nullptr;
    // Its icon is read when the column first shows: it starts hidden.
    QToolButton* m_refresh = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_offline = nullptr;
    QMenu* m_teamMenu = nullptr;
    InputOpener m_openInput;
    bool m_showingSelection = false;
};

} // namespace qv
