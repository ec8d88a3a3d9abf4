#pragma once

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTabBar>
#include <QTableView>
#include <QTextEdit>

class QCalendarWidget;
class QFrame;
class QLabel;
class QMenu;
class QTimeEdit;

namespace qv {

// A plain area in one colour, given as a colour string or as a colour, with rounded corners.
class ColoredView final : public QWidget {
    Q_OBJECT
public:
    explicit ColoredView(QWidget* parent = nullptr);

    // A string that reads as no colour paints nothing.
    void setBackgroundColor(const QString& colorString);
    // Paints the colour and forgets the string.
    void setBackgroundColorExplicit(const QColor& color);
    QString backgroundColor() const { return m_backgroundColor; }
    // Invalid while nothing is painted.
    QColor getActualColor() const { return m_color; }
    void setRadius(double radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_backgroundColor;
    QColor m_color;
    double m_radius = 0;
};

// A table where a click on the one selected row clears the selection, and a right click outside
// the selection selects that row alone before its menu opens.
class DeselectableTableView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Text fields that show text and never take the mouse.
class NoInteractionTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit NoInteractionTextField(QWidget* parent = nullptr);
};

class PlaceholderTextField final : public NoInteractionTextField {
    Q_OBJECT
public:
    using NoInteractionTextField::NoInteractionTextField;
};

// A search field that selects its whole text when it takes the keyboard, so typing replaces it.
class SelectOnBeginSearchField final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
};

// A pop-up button whose entries read as secondary: small, centred, in the disabled text colour.
class GrayedOutPopUpButton final : public QComboBox {
    Q_OBJECT
public:
    explicit GrayedOutPopUpButton(QWidget* parent = nullptr);

private:
    void greyItems(int first, int last);
};

// A text view with a grey placeholder while it is empty and not being typed in. Text dropped
// together with a link becomes that link.
class NSTextViewWithPlaceHolder final : public QTextEdit {
    Q_OBJECT
public:
    using QTextEdit::QTextEdit;

    void setPlaceholderString(const QString& placeholder);
    QString placeholderString() const { return m_placeholder; }
    bool isShowingPlaceholder() const;
    // Drops and pastes arrive here.
    void insertFromMimeData(const QMimeData* source) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_placeholder;
};

// The side-panel switcher: its inbox (first) and team (third) segments carry a red count.
class PanelSegmentedControl final : public QTabBar {
    Q_OBJECT
public:
    static constexpr int kInboxSegment = 0;
    static constexpr int kTeamSegment = 2;

    explicit PanelSegmentedControl(QWidget* parent = nullptr);

    void setInboxCount(qint64 count);
    void setTeamCount(qint64 count);
    // The count drawn red and centred, as tall as the control: 10 narrower than square for one
    // digit, 10 wider for three or more.
    static QImage imageForCount(qint64 count, int height);

private:
    void showCount(int segment, qint64 count, qint64& shown);

    qint64 m_inboxCount = 0;
    qint64 m_teamCount = 0;
};

// A date picker and a date-and-time picker, as the popovers and sheets place them.
class DateViewController : public QWidget {
    Q_OBJECT
public:
    explicit DateViewController(QWidget* parent = nullptr);
    QCalendarWidget* datePicker() const { return m_datePicker; }

protected:
    QCalendarWidget* m_datePicker;
};

class DateAndTimeViewController final : public DateViewController {
    Q_OBJECT
public:
    explicit DateAndTimeViewController(QWidget* parent = nullptr);
    QTimeEdit* timePicker() const { return m_timePicker; }
    QDateTime dateTime() const;
    void setDateTime(const QDateTime& value);

signals:
    void dateTimeChanged(const QDateTime& value);

private:
    QTimeEdit* m_timePicker;
};

// A date field that opens a calendar beside itself when it takes the keyboard; the field and the
// calendar keep the same value.
class DatePickerWithPopup final : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit DatePickerWithPopup(QWidget* parent = nullptr);
    QFrame* popover() const { return m_popover; }
    DateAndTimeViewController* dateAndTimeViewController() const { return m_controller; }

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QPointer<QFrame> m_popover;
    DateAndTimeViewController* m_controller = nullptr;
};

// A sheet that hosts one view under the name of the item it is about.
class HelperWindowController final : public QDialog {
    Q_OBJECT
public:
    explicit HelperWindowController(QWidget* parent = nullptr);

    // The view fills the sheet below the name; the sheet owns it from now on.
    void setViewController(QWidget* view);
    QWidget* viewController() const { return m_view; }
    void setTitle(const QString& title);
    QString title() const;
    void closeSheet();

private:
    QLabel* m_itemNameLabel;
    QPointer<QWidget> m_view;
};

// Every entry of the menu and of its submenus in the font.
void changeMenuFont(QMenu* menu, const QFont& font);

} // namespace qv
