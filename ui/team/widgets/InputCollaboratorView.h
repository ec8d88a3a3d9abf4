#pragma once

#include <QWidget>

class QAction;
class QLineEdit;
class QMenu;
class QProgressBar;

namespace qv {

class InputCollaboratorViewController;

// The address field of the invite and remove popovers: a search field whose menu offers the
// completions, and a progress bar while an invitation is out.
class InputCollaboratorView final : public QWidget {
    Q_OBJECT
public:
    explicit InputCollaboratorView(InputCollaboratorViewController& controller, QWidget* parent = nullptr);

    InputCollaboratorViewController& controller() const { return m_controller; }
    QLineEdit* field() const { return m_field; }
    // The completion menu, filled as the controller offers it.
    QMenu* completionMenu() const { return m_menu; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillMenu();
    void popUpMenu();

    InputCollaboratorViewController& m_controller;
    QLineEdit* m_field;
    // Its icon is read when the view first shows: the popovers are made hidden at start.
    QAction* m_search = nullptr;
    QProgressBar* m_progress;
    QMenu* m_menu;
};

} // namespace qv
