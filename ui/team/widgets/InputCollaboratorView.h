#pragma once

#include <QWidget>

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

private:
    void fillMenu();
    void popUpMenu();

    InputCollaboratorViewController& m_controller;
    QLineEdit* m_field;
    QProgressBar* m_progress;
    QMenu* m_menu;
};

} // namespace qv
