#pragma once

#include "ui/board/Board.h"
#include "ui/board/ImageFactoryForMac.h"
#include "ui/board/ItemRowLayout.h"

#include <QImage>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>

class QLineEdit;

namespace qv {

class Clock;
class Preferences;
class TODOItem;

// Paints a quadrant's item rows at the user's font tier: icon with due-date badge and completion
// bar, title, tags or the first line of the notes, recurrence, link or attachment mark, star and
// owner. Opens the title editor, which holds the sync engine's editing lock for as long as it is
// open, however it closes: Return, Tab, Escape (which keeps the text), focus elsewhere, or the
// editor going away with its table.
class ItemRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    ItemRowDelegate(Board& board, int quadrant, ImageFactoryForMac& icons, const Preferences& preferences,
                    const Clock& clock, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

    // The title editor now open; nullptr when none.
    QLineEdit* openEditor() const { return m_openEditor; }
    // Commits the open editor's text and closes it, as having ended with movement.
    void finishEditing(Board::TextMovement movement);
    // How the last edit ended; reading it forgets it.
    Board::TextMovement takeMovement();
    // The owner's picture by e-mail; a null image while none is known.
    using AvatarSource = std::function<QImage(const QString& email)>;
    void setAvatarSource(AvatarSource source) { m_avatarSource = std::move(source); }

    // The inks of a row's texts, each readable on the row as the option paints it (on the
    // selection when selected, where the title and notes take the theme's selected text).
    struct Inks {
        QColor title;
        QColor notes;
        QColor overdue; // the title of an overdue item where the red tells it
    };
    static Inks inksFor(const QStyleOptionViewItem& option, bool tellsOverdueByColour);
    // A hint in an empty table: the table's text half way to its background, but readable.
    static QColor hintInk(const QPalette& table);

signals:
    // A click on a row's icon or owner picture.
    void iconClicked(int row);
    void avatarClicked(int row);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    // The row's layout at the option's height and font; icon, when given, receives the row icon
    // with or without its badge as the layout shows it.
    ItemRowLayout layoutFor(TODOItem& item, const QStyleOptionViewItem& option, QImage* icon = nullptr) const;
    void paintItem(QPainter* painter, const QStyleOptionViewItem& option, TODOItem& item) const;
    void paintCheckBox(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void finish(QWidget* editor, Board::TextMovement movement);
    TODOItem* itemAt(const QModelIndex& index) const;

    Board& m_board;
    int m_quadrant;
    ImageFactoryForMac& m_icons;
    ImageTransformerEnhanced m_iconTransformer;
    const Preferences& m_preferences;
    const Clock& m_clock;
    mutable QPointer<QLineEdit> m_openEditor;
    Board::TextMovement m_movement = Board::TextMovement::Other;
    AvatarSource m_avatarSource;
};

} // namespace qv
