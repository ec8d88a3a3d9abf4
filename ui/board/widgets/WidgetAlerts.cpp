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
    choose(Question(message, informative, {button.isEmpty() ? QStringLiteral("OK") : button},
                    DefaultButton(0), SafeButton(0), style));
}

int WidgetAlerts::choose(const Question& question)
{
    QMessageBox box(parentWidget());
    box.setIcon(iconFor(question.style()));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(question.message());
    box.setInformativeText(question.informative());
    // Alerts name what the user and the team typed: shown as typed, never as markup.
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> made;
    const QStringList& buttons = question.buttons();
    for (int i = 0; i < buttons.size(); ++i) {
        // One role for all, so the style keeps the buttons in the order asked; which button Return
        // and Escape press is set below, from the question.
        made << box.addButton(buttons.at(i), QMessageBox::ActionRole);
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(made.value(question.defaultButton())));
    box.setEscapeButton(made.value(question.safeButton()));
    box.exec();
    const qsizetype pressed = made.indexOf(box.clickedButton());
    return pressed < 0 ? question.safeButton() : int(pressed);
}

} // namespace qv
