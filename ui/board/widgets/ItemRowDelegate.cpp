#include "ui/board/widgets/ItemRowDelegate.h"

#include "core/model/TODOItem.h"
#include "core/util/FontSizeTiers.h"
#include "core/util/Utils.h"
#include "platform/Preferences.h"
#include "ui/board/BoardImages.h"
#include "ui/board/ItemRowLayout.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/widgets/QuadrantTableModel.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

#include <cmath>

namespace qv {

namespace {

const QColor kTitleColor = Utils::colorWithHexColorString(QStringLiteral("2C3539"));
const QColor kNotesColor(0x55, 0x55, 0x55);
const QColor kTagFill(0xe4, 0xeb, 0xf5);
const QColor kTagBorder(0xa8, 0xbc, 0xd8);
const QColor kBarTrack(0, 0, 0, 40);
const QColor kBarLow(0xe0, 0xa8, 0x20);
const QColor kBarHigh(0x4c, 0xa0, 0x5a);

// A row is laid out as a cell that keeps a gap to the next column, so that the owner's picture,
// placed 8 past the cell's width, ends at the column's edge.
constexpr int kColumnGap = 8;

QRectF cellFrame(const QRect& columnRect)
{
    return QRectF(columnRect.adjusted(0, 0, -kColumnGap, 0));
}

QFont pixelFont(const QFont& base, double pixels, bool bold = false)
{
    QFont font(base);
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

// Holds the editing lock for one editor: claimed when the editor is made, given back when it
// closes or, whatever happens, when it is destroyed.
class EditingClaim final : public QObject {
public:
    EditingClaim(Board& board, QObject* editor) : QObject(editor), m_board(board)
    {
        m_board.claimEditing(Board::kItemNameComponent);
    }
    ~EditingClaim() override { release(); }
    void release()
    {
        if (m_released)
            return;
        m_released = true;
        m_board.releaseEditing(Board::kItemNameComponent);
    }

private:
    Board& m_board;
    bool m_released = false;
};

// A stand-in picture for an owner whose avatar is not at hand: the initial on a disc.
void paintInitial(QPainter* painter, const QRectF& rect, const QString& owner, const QFont& base)
{
    const QByteArray digest = QCryptographicHash::hash(owner.toUtf8(), QCryptographicHash::Sha1);
    const QColor fill = QColor::fromHsv(int(quint8(digest.at(0))) * 360 / 256, 90, 200);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawEllipse(rect);
    painter->setPen(Qt::white);
    painter->setFont(pixelFont(base, rect.height() * 0.55, true));
    painter->drawText(rect, Qt::AlignCenter, owner.left(1).toUpper());
}

} // namespace

ItemRowDelegate::ItemRowDelegate(Board& board, int quadrant, ImageFactoryForMac& icons,
                                 const Preferences& preferences, const Clock& clock, QObject* parent)
    : QStyledItemDelegate(parent), m_board(board), m_quadrant(quadrant), m_icons(icons),
      m_iconTransformer(icons), m_preferences(preferences), m_clock(clock)
{
}

TODOItem* ItemRowDelegate::itemAt(const QModelIndex& index) const
{
    const auto* model = qobject_cast<const QuadrantTableModel*>(index.model());
    return model ? model->itemAt(index.row()) : nullptr;
}

QSize ItemRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(int(FontSizeTiers::currentQuadrantRowHeight(m_preferences)));
    return size;
}

void ItemRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyleOptionViewItem panel(option);
    initStyleOption(&panel, index);
    panel.text.clear();
    panel.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    panel.state &= ~QStyle::State_HasFocus;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);

    if (index.column() == QuadrantTableModel::StateColumn) {
        paintCheckBox(painter, option, index);
        return;
    }
    if (TODOItem* item = itemAt(index))
        paintItem(painter, option, *item);
}

void ItemRowDelegate::paintCheckBox(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    // Only the selected row shows its box.
    if (!(option.state & QStyle::State_Selected))
        return;
    // A check box as the platform draws one on its own, not an item view's flat indicator,
    // in the application's colours rather than the quadrant's tint or the selection's.
    QStyleOptionButton box;
    const QWidget* widget = option.widget;
    box.palette = QApplication::palette();
    box.rect = ItemRowLayout::rectForCheckBoxIn(QRectF(option.rect)).toAlignedRect();
    box.state = QStyle::State_Enabled | QStyle::State_Active;
    box.state |= index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
}

ItemRowLayout ItemRowDelegate::layoutFor(TODOItem& item, const QStyleOptionViewItem& option,
                                         QImage* icon) const
{
    const QImage withBadge = m_iconTransformer.transformedValue(&item);
    const QImage plain = m_iconTransformer.transformedValue(&item, false);
    ItemRowSettings settings = ItemRowSettings::fromPreferences(m_preferences, option.font);
    settings.rowHeight = option.rect.height();
    ItemRowContent content = ItemRowContent::fromItem(item, !withBadge.isNull(), !plain.isNull(), m_clock);
    content.dueLabel = m_icons.dueDateLabel(item.dueDate());
    ItemRowLayout layout(std::move(content), settings);
    if (icon)
        *icon = layout.isShowingDueBadge() ? withBadge : plain;
    return layout;
}

ItemRowDelegate::Inks ItemRowDelegate::inksFor(const QStyleOptionViewItem& option, bool tellsOverdueByColour)
{
    // The board's own dark inks on a light desktop; a dark desktop theme's text colour there. Each
    // is moved, where it must be, until it reads on the row.
    const QColor background = option.palette.color(QPalette::Base);
    const QPalette desktop = option.widget ? option.widget->window()->palette() : QApplication::palette();
    const bool dark = QuadrantColors::isDark(desktop);
    const QColor themeText = desktop.color(QPalette::Text);
    Inks inks;
    inks.title = QuadrantColors::readableOn(dark ? themeText : kTitleColor, background);
    inks.notes = QuadrantColors::readableOn(
        dark ? QColor::fromRgbF(float(themeText.redF() * 0.8 + background.redF() * 0.2),
                                float(themeText.greenF() * 0.8 + background.greenF() * 0.2),
                                float(themeText.blueF() * 0.8 + background.blueF() * 0.2))
             : kNotesColor,
        background);
    // The badge says "due" where it shows; elsewhere the title's red does, on the selection too.
    const QColor overdue = tellsOverdueByColour ? Utils::textColorForOverdue(true) : inks.title;
    const bool selected = option.state & QStyle::State_Selected;
    inks.overdue = QuadrantColors::readableOn(overdue, selected ? option.palette.color(QPalette::Highlight)
                                                                : background);
    return inks;
}

QColor ItemRowDelegate::hintInk(const QPalette& table)
{
    const QColor background = table.color(QPalette::Base);
    return QuadrantColors::readableOn(QuadrantColors::mixed(table.color(QPalette::Text), background, 0.57),
                                      background);
}

void ItemRowDelegate::paintItem(QPainter* painter, const QStyleOptionViewItem& option, TODOItem& item) const
{
    const QRectF frame = cellFrame(option.rect);
    QImage icon;
    const ItemRowLayout layout = layoutFor(item, option, &icon);
    const ItemRowContent& content = layout.content();
    const bool selected = option.state & QStyle::State_Selected;
    const QColor highlighted = option.palette.color(QPalette::HighlightedText);
    const Inks inks = inksFor(option, layout.tellsOverdueByColour());
    const QColor& titleInk = inks.title;
    const QColor& notesInk = inks.notes;
    const QColor& overdue = inks.overdue;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setClipRect(option.rect);

    if (layout.isShowingIcon())
        painter->drawImage(layout.rectForIconIn(frame), icon);

    if (layout.isShowingCompletionBar()) {
        const QRectF text = layout.rectForCompletionTextIn(frame);
        if (!text.isEmpty()) {
            painter->setPen(selected ? highlighted : notesInk);
            painter->setFont(layout.completionFont());
            painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter, layout.completionText());
        }
        const QRectF level = layout.rectForLevelIn(frame);
        const double p = std::clamp(content.completionPercentage, 0.0, 100.0) / 100;
        painter->setPen(Qt::NoPen);
        painter->setBrush(kBarTrack);
        painter->drawRoundedRect(level, 1.5, 1.5);
        painter->setBrush(p < 0.5 ? kBarLow : kBarHigh);
        painter->drawRoundedRect(QRectF(level.x(), level.y(), level.width() * p, level.height()), 1.5, 1.5);
    }

    const QColor baseColor = selected ? highlighted : titleInk;
    const QRectF titleRect = layout.rectForTitleIn(frame);
    const QFont titleFont = layout.titleFont();
    const QString titleText =
        QFontMetricsF(titleFont).elidedText(content.title, Qt::ElideRight, titleRect.width());

    if (layout.isShowingTags()) {
        const QFontMetricsF titleMetrics(titleFont);
        painter->setFont(layout.tagFont());
        for (const ItemRowLayout::TagPill& pill :
             layout.tagPills(frame, titleMetrics.horizontalAdvance(titleText))) {
            const QRectF shape = pill.rect.adjusted(0.5, 0.5, -0.5, -0.5);
            painter->setPen(kTagBorder);
            painter->setBrush(kTagFill);
            painter->drawRoundedRect(shape, shape.height() / 2, shape.height() / 2);
            painter->setPen(kTitleColor);
            painter->drawText(pill.rect, Qt::AlignCenter, pill.name);
        }
    } else if (layout.isShowingNotes()) {
        const QRectF notes = layout.rectForNotesIn(frame);
        QColor color = notesInk;
        if (selected)
            color = highlighted;
        else if (layout.usesOverdueColour())
            color = overdue;
        painter->setFont(layout.notesFont());
        painter->setPen(color);
        const QString line =
            QFontMetricsF(layout.notesFont()).elidedText(layout.notesLine(), Qt::ElideRight, notes.width());
        painter->drawText(notes, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
    }

    if (layout.isShowingRecurrence()) {
        painter->setFont(layout.recurrenceFont());
        painter->setPen(baseColor);
        painter->drawText(layout.rectForFrequencyIn(frame), Qt::AlignCenter, QStringLiteral("+"));
    }

    if (layout.isShowingExtraItemInfo()) {
        if (content.hasFiles)
            painter->drawImage(layout.rectForLinkIn(frame),
                               BoardImages::imageNamed(QStringLiteral("UI_icon_mac_paperclip")));
        else if (layout.isShowingLink())
            painter->drawImage(layout.rectForLinkIn(frame),
                               BoardImages::imageNamed(QStringLiteral("UI_icon_mac_link")));
    }

    if (layout.isShowingStar()) {
        const QString name = content.starred ? QStringLiteral("star_on") : QStringLiteral("star_off.png");
        painter->drawImage(layout.rectForStar(frame), BoardImages::imageNamed(name));
    }

    const QRectF avatar = layout.rectForAvatarIn(frame);
    if (!avatar.isEmpty()) {
        if (content.ownerUsername.isEmpty())
            painter->drawImage(avatar, BoardImages::imageNamed(QStringLiteral("UI_Icon_all_no_assignee_80")));
        else if (const QImage picture = m_avatarSource ? m_avatarSource(content.ownerUsername) : QImage();
                 !picture.isNull())
            painter->drawImage(avatar, picture);
        else
            paintInitial(painter, avatar, content.ownerUsername, option.font);
    }

    painter->setFont(titleFont);
    painter->setPen(layout.usesOverdueColour() ? overdue : baseColor);
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, titleText);

    painter->restore();
}

QWidget* ItemRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    if (index.column() != QuadrantTableModel::NameColumn)
        return nullptr;
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setFont(pixelFont(option.font, FontSizeTiers::currentFontSize(m_preferences)));
    editor->setAutoFillBackground(true);
    new EditingClaim(m_board, editor);
    Board* board = &m_board;
    connect(editor, &QLineEdit::textEdited, editor,
            [board] { board->claimEditing(Board::kItemNameComponent); });
    m_openEditor = editor;
    return editor;
}

void ItemRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(index.data(Qt::EditRole).toString());
        line->selectAll();
    }
}

void ItemRowDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        model->setData(index, line->text(), Qt::EditRole);
}

void ItemRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    TODOItem* item = itemAt(index);
    if (!item) {
        editor->setGeometry(option.rect);
        return;
    }
    const QRectF title = layoutFor(*item, option).rectForTitleIn(cellFrame(option.rect));
    const int height = std::min(option.rect.height(), editor->sizeHint().height());
    QRect rect(int(title.x()) - 2, 0, int(title.width()) + 2, height);
    rect.moveCenter(QPoint(rect.center().x(), int(title.center().y())));
    rect.moveTop(std::clamp(rect.top(), option.rect.top(), option.rect.bottom() - height + 1));
    editor->setGeometry(rect);
}

void ItemRowDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    for (QObject* child : editor->children()) {
        if (auto* claim = dynamic_cast<EditingClaim*>(child))
            claim->release();
    }
    if (m_openEditor == editor)
        m_openEditor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

void ItemRowDelegate::finish(QWidget* editor, Board::TextMovement movement)
{
    m_movement = movement;
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ItemRowDelegate::finishEditing(Board::TextMovement movement)
{
    if (m_openEditor)
        finish(m_openEditor, movement);
}

Board::TextMovement ItemRowDelegate::takeMovement()
{
    const Board::TextMovement movement = m_movement;
    m_movement = Board::TextMovement::Other;
    return movement;
}

bool ItemRowDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            finish(editor, Board::TextMovement::Return);
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            finish(editor, Board::TextMovement::Tab);
            return true;
        case Qt::Key_Escape:
            // Escape ends the edit and keeps what was typed.
            finish(editor, Board::TextMovement::Cancel);
            return true;
        default:
            break;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

bool ItemRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                  const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease && index.column() == QuadrantTableModel::NameColumn) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        TODOItem* item = itemAt(index);
        if (item && mouse->button() == Qt::LeftButton) {
            switch (layoutFor(*item, option).hitTest(mouse->position(), cellFrame(option.rect))) {
            case ItemRowLayout::Hit::Star:
                m_board.flipStarForSelectedItems(m_quadrant);
                return true;
            case ItemRowLayout::Hit::Icon:
                emit iconClicked(index.row());
                return true;
            case ItemRowLayout::Hit::Avatar:
                emit avatarClicked(index.row());
                return true;
            case ItemRowLayout::Hit::None:
                break;
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace qv
