#pragma once

#include <QFrame>

namespace qv {

// A popover: a frame that closes when the user clicks elsewhere, shown beside a control of
// the window with the content it was given.
class TeamPopover final : public QFrame {
    Q_OBJECT
public:
    // Takes the content.
    explicit TeamPopover(QWidget* content, QWidget* parent = nullptr);

    QWidget* content() const { return m_content; }
    // Beside the anchor's bounds on that edge (Qt::RightEdge: to its right, vertically centred;
    // Qt::BottomEdge: below it, horizontally centred), kept on the anchor's screen.
    void showRelativeTo(QWidget* anchor, Qt::Edge edge);

private:
    QWidget* m_content;
};

} // namespace qv
