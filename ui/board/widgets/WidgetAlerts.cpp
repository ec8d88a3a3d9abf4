#include "ui/board/widgets/WidgetAlerts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace qv {

namespace {

QMessageBox::Icon iconFor(Alerts::Style style)
{
    switch (style) {
    case Alerts::Style::Informational:
        return QMessageBox::Information;
    case Alerts::Style::Warning:
        return QMessageBox::Warning;
    case Alerts::Style::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QWidget* WidgetAlerts::parentWidget() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

void WidgetAlerts::alert(const QString& message, const QString& informative, const QString& button,
                         Style style)
{
    choose(message, informative, {button.isEmpty() ? QStringLiteral("OK") : button}, style);
}

bool WidgetAlerts::confirm(const QString& message, const QString& informative, const QString& yes,
                           const QString& no)
{
    return choose(message, informative, {yes, no}, Style::Warning) == 0;
}

int WidgetAlerts::choose(const QString& message, const QString& informative, const QStringList& buttons,
                         Style style)
{
    QMessageBox box(parentWidget());
    box.setIcon(iconFor(style));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(message);
    box.setInformativeText(informative);
    // Alerts name what the user and the team typed: shown as typed, never as markup.
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> made;
    for (int i = 0; i < buttons.size(); ++i) {
        // The first button is the default; the second answers Escape, as "Cancel" or "No" do.
        const QMessageBox::ButtonRole role = i == 0   ? QMessageBox::AcceptRole
                                             : i == 1 ? QMessageBox::RejectRole
                                                      : QMessageBox::ActionRole;
        made << box.addButton(buttons.at(i), role);
    }
    if (!made.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton*>(made.first()));
    if (made.size() > 1)
        box.setEscapeButton(made.at(1));
    box.exec();
    const qsizetype pressed = made.indexOf(box.clickedButton());
    return pressed < 0 ? int(qMin<qsizetype>(1, made.size() - 1)) : int(pressed);
}

} // namespace qv
