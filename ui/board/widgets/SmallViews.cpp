#include "ui/board/widgets/SmallViews.h"

#include "core/util/ColorString.h"

#include <QCalendarWidget>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStandardItemModel>
#include <QTextCharFormat>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

// --- ColoredView

ColoredView::ColoredView(QWidget* parent) : QWidget(parent) {}

void ColoredView::setBackgroundColor(const QString& colorString)
{
    m_backgroundColor = colorString;
    m_color = colorString.isNull() ? QColor() : ColorString::colorWithString(colorString).value_or(QColor());
    update();
}

void ColoredView::setBackgroundColorExplicit(const QColor& color)
{
    m_backgroundColor.clear();
    m_color = color;
    update();
}

void ColoredView::setRadius(double radius)
{
    m_radius = radius;
    update();
}

void ColoredView::paintEvent(QPaintEvent*)
{
    if (!m_color.isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    painter.fillPath(path, m_color);
}

// --- DeselectableTableView

void DeselectableTableView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    QItemSelectionModel* selection = selectionModel();
    if (index.isValid() && selection) {
        const bool selected = selection->isRowSelected(index.row(), index.parent());
        if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && selected) {
            selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            event->accept();
            return;
        }
        if (event->button() == Qt::RightButton && !selected)
            selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    QTableView::mousePressEvent(event);
}

// --- Text fields

NoInteractionTextField::NoInteractionTextField(QWidget* parent) : QLineEdit(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void SelectOnBeginSearchField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // After the click that brought the focus, which would place the cursor instead.
    QTimer::singleShot(0, this, &QLineEdit::selectAll);
}

GrayedOutPopUpButton::GrayedOutPopUpButton(QWidget* parent) : QComboBox(parent)
{
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { greyItems(first, last); });
}

void GrayedOutPopUpButton::greyItems(int first, int last)
{
    QFont font = this->font();
    font.setPointSizeF(std::max(1.0, font.pointSizeF() - 2));
    const QColor grey = palette().color(QPalette::Disabled, QPalette::ButtonText);
    for (int row = first; row <= last; ++row) {
        setItemData(row, grey, Qt::ForegroundRole);
        setItemData(row, font, Qt::FontRole);
        setItemData(row, int(Qt::AlignCenter), Qt::TextAlignmentRole);
    }
}

// --- NSTextViewWithPlaceHolder

void NSTextViewWithPlaceHolder::setPlaceholderString(const QString& placeholder)
{
    m_placeholder = placeholder;
    viewport()->update();
}

bool NSTextViewWithPlaceHolder::isShowingPlaceholder() const
{
    return !m_placeholder.isEmpty() && document()->isEmpty() && !hasFocus();
}

void NSTextViewWithPlaceHolder::paintEvent(QPaintEvent* event)
{
    QTextEdit::paintEvent(event);
    if (!isShowingPlaceholder())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const double margin = document()->documentMargin();
    painter.drawText(viewport()->rect().adjusted(int(margin), int(margin), -int(margin), -int(margin)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_placeholder);
}

void NSTextViewWithPlaceHolder::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    viewport()->update();
}

void NSTextViewWithPlaceHolder::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    viewport()->update();
}

void NSTextViewWithPlaceHolder::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText() || !source->hasUrls() || source->urls().isEmpty()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    // Text dragged with its link becomes that link.
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(source->urls().constFirst().toString());
    link.setForeground(QColor(Qt::blue));
    link.setFontUnderline(true);
    QTextCursor cursor = textCursor();
    const QTextCharFormat before = cursor.charFormat();
    cursor.insertText(source->text(), link);
    cursor.setCharFormat(before);
    setTextCursor(cursor);
}

// --- PanelSegmentedControl

PanelSegmentedControl::PanelSegmentedControl(QWidget* parent) : QTabBar(parent)
{
    setExpanding(false);
}

void PanelSegmentedControl::setInboxCount(qint64 count)
{
    showCount(kInboxSegment, count, m_inboxCount);
}

void PanelSegmentedControl::setTeamCount(qint64 count)
{
    showCount(kTeamSegment, count, m_teamCount);
}

void PanelSegmentedControl::showCount(int segment, qint64 count, qint64& shown)
{
    if (count == shown)
        return;
    shown = count;
    if (segment >= this->count())
        return;
    setTabIcon(segment, count >= 1 ? QIcon(QPixmap::fromImage(imageForCount(count, height()))) : QIcon());
}

QImage PanelSegmentedControl::imageForCount(qint64 count, int height)
{
    const QString text = QString::number(count);
    int width = height;
    if (text.size() == 1)
        width -= 10;
    else if (text.size() >= 3)
        width += 10;
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::red);
    painter.drawText(QRect(0, -1, image.width(), image.height()), Qt::AlignCenter, text);
    return image;
}

// --- Date pickers

DateViewController::DateViewController(QWidget* parent)
    : QWidget(parent), m_datePicker(new QCalendarWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_datePicker);
}

DateAndTimeViewController::DateAndTimeViewController(QWidget* parent)
    : DateViewController(parent), m_timePicker(new QTimeEdit(this))
{
    layout()->addWidget(m_timePicker);
    connect(m_datePicker, &QCalendarWidget::selectionChanged, this,
            [this] { emit dateTimeChanged(dateTime()); });
    connect(m_timePicker, &QTimeEdit::timeChanged, this, [this] { emit dateTimeChanged(dateTime()); });
}

QDateTime DateAndTimeViewController::dateTime() const
{
    return QDateTime(m_datePicker->selectedDate(), m_timePicker->time());
}

void DateAndTimeViewController::setDateTime(const QDateTime& value)
{
    if (value == dateTime())
        return;
    const QSignalBlocker calendar(m_datePicker);
    const QSignalBlocker time(m_timePicker);
    m_datePicker->setSelectedDate(value.date());
    m_timePicker->setTime(value.time());
}

DatePickerWithPopup::DatePickerWithPopup(QWidget* parent) : QDateTimeEdit(parent) {}

void DatePickerWithPopup::focusInEvent(QFocusEvent* event)
{
    QDateTimeEdit::focusInEvent(event);
    if (!m_popover) {
        m_popover = new QFrame(this, Qt::Popup);
        m_popover->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        auto* layout = new QVBoxLayout(m_popover);
        layout->setContentsMargins(4, 4, 4, 4);
        m_controller = new DateAndTimeViewController(m_popover);
        layout->addWidget(m_controller);
        // Both show the same value, whichever is changed.
        connect(this, &QDateTimeEdit::dateTimeChanged, m_controller, &DateAndTimeViewController::setDateTime);
        connect(m_controller, &DateAndTimeViewController::dateTimeChanged, this, &QDateTimeEdit::setDateTime);
    }
    m_controller->setDateTime(dateTime());
    if (!m_popover->isVisible()) {
        m_popover->adjustSize();
        m_popover->move(mapToGlobal(QPoint(width(), 0)));
        m_popover->show();
    }
}

// --- HelperWindowController

HelperWindowController::HelperWindowController(QWidget* parent)
    : QDialog(parent), m_itemNameLabel(new QLabel(this))
{
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_itemNameLabel->setTextFormat(Qt::PlainText);
    m_itemNameLabel->setContentsMargins(10, 6, 10, 6);
    layout->addWidget(m_itemNameLabel);
}

void HelperWindowController::setViewController(QWidget* view)
{
    if (m_view == view)
        return;
    delete m_view;
    m_view = view;
    if (view)
        layout()->addWidget(view);
}

void HelperWindowController::setTitle(const QString& title)
{
    m_itemNameLabel->setText(title);
}

QString HelperWindowController::title() const
{
    return m_itemNameLabel->text();
}

void HelperWindowController::closeSheet()
{
    done(QDialog::Accepted);
}

// --- Menus

void changeMenuFont(QMenu* menu, const QFont& font)
{
    if (!menu)
        return;
    menu->setFont(font);
    for (QAction* action : menu->actions()) {
        action->setFont(font);
        changeMenuFont(action->menu(), font);
    }
}

} // namespace qv
