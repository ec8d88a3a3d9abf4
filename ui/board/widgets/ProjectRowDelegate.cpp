#include "ui/board/widgets/ProjectRowDelegate.h"

#include "core/model/TODOList.h"
#include "platform/Preferences.h"
#include "ui/board/ProjectCounters.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/QuadrantColors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace qv {

namespace {

const QString kHidingProjectTags = QStringLiteral("kHidingProjectTags");
constexpr int kTagStripHeight = 14;
constexpr int kBadgeSize = 17;

TODOList* projectAt(const QModelIndex& index)
{
    return static_cast<TODOList*>(index.data(Qt::UserRole).value<void*>());
}

void paintArchivedMark(QPainter& painter, const QRect& rect)
{
    // A small archive box in the gutter right of the lower tiles.
    const QRectF box(rect.right() - 10.5, rect.bottom() - 12.5, 10, 9);
    painter.setPen(QPen(QColor(70, 70, 70), 1));
    painter.setBrush(QColor(235, 225, 200));
    painter.drawRoundedRect(box, 1.5, 1.5);
    painter.drawLine(QPointF(box.left(), box.top() + 3), QPointF(box.right(), box.top() + 3));
    painter.drawLine(QPointF(box.center().x() - 2, box.top() + 5.5),
                     QPointF(box.center().x() + 2, box.top() + 5.5));
}

} // namespace

QRect projectCounterTileRect(const QRect& rect, int quadrant)
{
    // Room above and right of the tiles for the badge to sit on their corner.
    const QRect area = rect.adjusted(4, 7, -11, -4);
    const int gap = 2;
    const int width = (area.width() - gap) / 2;
    const int height = (area.height() - gap) / 2;
    const int column = quadrant % 2;
    const int row = quadrant / 2;
    return QRect(area.left() + column * (width + gap), area.top() + row * (height + gap), width, height);
}

QRect projectCounterBadgeRect(const QRect& rect)
{
    return QRect(rect.right() - kBadgeSize - 1, rect.top() + 1, kBadgeSize, kBadgeSize);
}

void paintProjectCounters(QPainter& painter, const QRect& rect, const ProjectCounterModel& counters)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter.font();
    font.setPixelSize(std::max(9, std::min(12, rect.height() / 4)));
    font.setBold(true);
    painter.setFont(font);
    for (int q = 0; q < 4; ++q) {
        const QRect tile = projectCounterTileRect(rect, q);
        const QColor color = counters.tileColor(q);
        // A hairline keeps pale tiles apart from a white row.
        painter.setPen(QPen(color.darker(115), 1));
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(tile).adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
        painter.setPen(counters.labelTextColor(q));
        painter.drawText(tile, Qt::AlignCenter, counters.quadrantLabel(q));
    }
    if (counters.showsArchivedImage())
        paintArchivedMark(painter, rect);
    if (!counters.isOverdueBadgeHidden()) {
        const QRect badge = projectCounterBadgeRect(rect);
        const QString label = counters.overdueLabel();
        const int width = std::max(badge.width(), painter.fontMetrics().horizontalAdvance(label) + 8);
        const QRect pill(badge.right() - width + 1, badge.top(), width, badge.height());
        painter.setPen(Qt::NoPen);
        painter.setBrush(ProjectCounterModel::overdueBadgeColor());
        const qreal radius =
            std::min<qreal>(ProjectCounterModel::kOverdueBadgeCornerRadius, pill.height() / 2.0);
        painter.drawRoundedRect(pill, radius, radius);
        painter.setPen(Qt::white);
        painter.drawText(pill, Qt::AlignCenter, label);
    }
    painter.restore();
}

ProjectRowDelegate::ProjectRowDelegate(ProjectListController& controller, Preferences* preferences,
                                       QObject* parent)
    : QStyledItemDelegate(parent), m_controller(controller), m_preferences(preferences)
{
    QPointer<ProjectListController> list(&controller);
    connect(this, &QAbstractItemDelegate::closeEditor, this, [this, list] {
        m_editor = nullptr;
        m_editedProject = nullptr;
        if (list)
            list->endEditingName();
    });
}

bool ProjectRowDelegate::isShowingTags(const QStringList& tags) const
{
    if (m_preferences && m_preferences->boolValue(kHidingProjectTags))
        return false;
    return !tags.isEmpty();
}

QRect ProjectRowDelegate::rectForTitleIn(const QRect& frame, bool showingTags) const
{
    if (!showingTags)
        return frame;
    return QRect(frame.x(), frame.y(), frame.width(), frame.height() - kTagStripHeight);
}

QRect ProjectRowDelegate::rectForTagsIn(const QRect& frame, bool showingTags) const
{
    if (!showingTags)
        return {};
    return QRect(frame.x(), frame.y() + frame.height() - kTagStripHeight - 2, frame.width(), kTagStripHeight);
}

void ProjectRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    TODOList* project = projectAt(index);
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    if (!project)
        return;
    if (index.column() == QuadrantOverviewColumn) {
        if (const ProjectCounterModel* counters = m_controller.counterModelFor(project))
            paintProjectCounters(*painter, option.rect, *counters);
        return;
    }
    paintName(painter, option, project);
}

QColor ProjectRowDelegate::nameInk(const TODOList* project, const QStyleOptionViewItem& option) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QColor color = m_controller.nameColor(project);
    // Plain names take the list's text colour, light under a dark desktop theme; a search hit's
    // red is moved where it must be until it reads on the row.
    if (color == QColor(Qt::black))
        return option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    return QuadrantColors::readableOn(color,
                                      option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
}

void ProjectRowDelegate::paintName(QPainter* painter, const QStyleOptionViewItem& option,
                                   TODOList* project) const
{
    const QStringList tags = project->getTagNames();
    const bool showingTags = isShowingTags(tags);
    const QRect frame = option.rect.adjusted(4, 2, -4, -2);

    painter->save();
    painter->setPen(nameInk(project, option));
    painter->setFont(option.font);
    const QRect title = rectForTitleIn(frame, showingTags);
    const QString text = painter->fontMetrics().elidedText(ProjectListController::displayName(project),
                                                           Qt::ElideRight, title.width());
    painter->drawText(title, Qt::AlignLeft | Qt::AlignVCenter, text);

    if (showingTags) {
        QFont small = option.font;
        small.setPixelSize(9);
        painter->setFont(small);
        painter->setRenderHint(QPainter::Antialiasing, true);
        const QRect strip = rectForTagsIn(frame, true);
        int x = strip.left();
        for (const QString& tag : tags) {
            const int width = painter->fontMetrics().horizontalAdvance(tag) + 8;
            if (x + width > strip.right())
                break;
            const QRect token(x, strip.top() + 1, width, strip.height() - 2);
            painter->setPen(QColor(120, 150, 200));
            painter->setBrush(QColor(222, 231, 248));
            painter->drawRoundedRect(token, 5, 5);
            painter->setPen(QColor(30, 40, 60));
            painter->drawText(token, Qt::AlignCenter, tag);
            x += width + 3;
        }
    }
    painter->restore();
}

QSize ProjectRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), 44));
    if (index.column() == QuadrantOverviewColumn)
        size.setWidth(68);
    return size;
}

QWidget* ProjectRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const
{
    TODOList* project = projectAt(index);
    if (!project || index.column() != ProjectNameColumn)
        return nullptr;
    auto* editor = new QLineEdit(parent);
    editor->setFrame(true);
    m_editor = editor;
    m_editedProject = project;
    m_controller.beginEditingName(project);
    QPointer<ProjectListController> list(&m_controller);
    connect(editor, &QLineEdit::textEdited, this, [list] {
        if (list)
            list->nameTextDidChange();
    });
    // However the editor goes (a rebuilt list, the list closed), the lock goes with it.
    connect(editor, &QObject::destroyed, this, [list] {
        if (list)
            list->endEditingName();
    });
    return editor;
}

void ProjectRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        if (TODOList* project = projectAt(index))
            line->setText(project->name());
    }
}

void ProjectRowDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    TODOList* project = line == m_editor ? m_editedProject : projectAt(index);
    m_controller.commitName(project, line->text());
}

void ProjectRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    TODOList* project = projectAt(index);
    const bool showingTags = project && isShowingTags(project->getTagNames());
    const QRect title = rectForTitleIn(option.rect.adjusted(1, 2, -1, -2), showingTags);
    const int height = std::min(title.height(), editor->sizeHint().height());
    editor->setGeometry(QRect(title.left(), title.center().y() - height / 2, title.width(), height));
}

void ProjectRowDelegate::commitOpenEditor()
{
    if (m_editor && m_editedProject)
        m_controller.commitName(m_editedProject, m_editor->text());
}

bool ProjectRowDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Escape: // ends the edit and keeps the text
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            return true;
        default:
            break;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace qv
