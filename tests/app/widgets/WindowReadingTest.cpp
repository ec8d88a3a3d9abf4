// The window as a user reads it and moves through it with the keyboard: what was typed shows as
// typed, and Tab leads from a quadrant through the drawer's fields and back.
#include "tests/ui/board/BoardDocumentFixture.h"

#include "app/ApplicationMenus.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/board/widgets/WidgetAlerts.h"
#include "ui/details/widgets/MyDrawerController.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

namespace qv::test {
namespace {

const QString kHostile = QStringLiteral("<b>Bold</b> & <img src=x> X");

// What a text set on a label or a tooltip shows: Qt renders what looks like markup unless told
// it is plain.
QString shownText(const QString& text, Qt::TextFormat format)
{
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich)
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

// A text that carries a hostile name must show it as it was typed (tags are lowercased).
bool showsAsTyped(const QString& text, Qt::TextFormat format)
{
    if (!text.contains(QStringLiteral("bold"), Qt::CaseInsensitive))
        return true;
    return shownText(text, format).contains(QStringLiteral("<b>bold</b>"), Qt::CaseInsensitive);
}

class WindowReadingTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        preferences.setValue(QStringLiteral("kShowingInbox"), true);
        project = ProjectBuilder(context(), kHostile).atIndex(2000);
        item = ItemBuilder(kHostile)
                   .inQuadrant(0)
                   .due(QDateTime(QDate(2026, 3, 20), QTime(9, 0), Qt::UTC))
                   .taggedWith(QStringLiteral("<b>bold</b> tag"))
                   .ownedBy(QStringLiteral("<b>bold</b>@example.com"))
                   .in(project);
        item->setDescriptionText(kHostile + QStringLiteral("\nsecond line"));
        ItemBuilder("plain").inQuadrant(0).in(project);
        ItemBuilder(kHostile + QStringLiteral(" in the inbox")).in(context());
        window = std::make_unique<MainWindow>(*document, services);
        panels = attachPanels(*window, *document, services);
        window->resize(1400, 800);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        scheduler.runPosted();
        window->showProject(project);
        window->board().enableQuadrantAndSelectRows(0, {0}, false);
        panels.drawer->setArrayController(&window->board().controller(0));
        QApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    QuadrantView* view(int q) const { return window->quadrantView(q); }

    BoardPanels panels;
    std::unique_ptr<MainWindow> window;
    TODOItem* item = nullptr;
};

} // namespace

TEST_F(WindowReadingTest, GivenHostileNames_WhenEveryLabelTooltipAndMessageBoxIsWalked_ThenNoneRendersMarkup)
{
    ASSERT_EQ(panels.drawer->getItem(), item);
    window->setStatusBarMessage(
        QStringLiteral("At this moment, we cannot fetch project \"%1\"").arg(kHostile));

    QStringList marked;
    int carried = 0;
    const auto check = [&](const QString& where, const QString& text, Qt::TextFormat format) {
        carried += text.contains(QStringLiteral("bold"), Qt::CaseInsensitive) ? 1 : 0;
        if (!showsAsTyped(text, format))
            marked << where + QStringLiteral(": ") + text;
    };
    const auto walk = [&] {
        for (QWidget* widget : QApplication::allWidgets()) {
            if (auto* label = qobject_cast<QLabel*>(widget))
                check(QStringLiteral("label"), label->text(), label->textFormat());
            check(QStringLiteral("tooltip of ") + QString::fromLatin1(widget->metaObject()->className()),
                  widget->toolTip(), Qt::AutoText);
            auto* view = qobject_cast<QAbstractItemView*>(widget);
            if (!view || !view->model())
                continue;
            const QAbstractItemModel& model = *view->model();
            for (int row = 0; row < model.rowCount(); ++row) {
                for (int column = 0; column < model.columnCount(); ++column)
                    check(QStringLiteral("row tooltip"),
                          model.index(row, column).data(Qt::ToolTipRole).toString(), Qt::AutoText);
            }
        }
    };
    walk();
    EXPECT_TRUE(marked.isEmpty()) << marked.join(QStringLiteral("\n")).toStdString();
    EXPECT_GE(carried, 5); // the walk met the names: project and quadrant rows, inbox, status, owner

    // The confirmations name the project and the item as typed, and the message box shows them so.
    alerts.answers = {1, 1, 1}; // "Cancel"
    window->board().markListOrItemsAsCompleted();
    window->board().markItemsAsDeleted();
    window->projectListView()->controller().markProjectAsDeleted();
    ASSERT_EQ(alerts.shown.size(), 3);
    WidgetAlerts boxes(window.get());
    for (const RecordingAlerts::Shown& shown : alerts.shown) {
        ASSERT_TRUE(shown.message.contains(kHostile)) << shown.message.toStdString();
        QStringList texts;
        QTimer::singleShot(0, window.get(), [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QLabel* label : box->findChildren<QLabel*>()) {
                if (!label->text().isEmpty())
                    texts << shownText(label->text(), label->textFormat());
            }
            box->done(0);
        });
        boxes.alert(shown.message, kHostile, QStringLiteral("OK"), Alerts::Style::Warning);
        EXPECT_TRUE(texts.contains(shown.message)) << texts.join(QStringLiteral(" | ")).toStdString();
        EXPECT_TRUE(texts.contains(kHostile)) << texts.join(QStringLiteral(" | ")).toStdString();
    }
    EXPECT_EQ(item->objectState(), ObjectState::Open);

    // A project that cannot be fetched is named in the board's place.
    TODOList* unfetched = ProjectBuilder(context(), kHostile).atIndex(1000).lazy();
    scheduler.runPosted();
    window->projectListView()->selectProject(unfetched);
    QApplication::processEvents();
    const QString failed = QStringLiteral("At this moment, we cannot fetch project \"%1\"").arg(kHostile);
    const QList<QLabel*> boardLabels = window->centralWidget()->findChildren<QLabel*>();
    ASSERT_TRUE(std::any_of(boardLabels.begin(), boardLabels.end(), [&](const QLabel* label) {
        return label->text() == failed && label->isVisible();
    }));
    walk();
    EXPECT_TRUE(marked.isEmpty()) << marked.join(QStringLiteral("\n")).toStdString();
}

TEST_F(WindowReadingTest,
       GivenAQuadrantWithTheKeyboard_WhenTabAndShiftTabArePressed_ThenTheDrawerIsReachedAndLeft)
{
    MyDrawerController* drawer = panels.drawer;
    view(0)->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(view(0)->hasFocus());
    // The quadrant that has the keyboard shows a frame in the selection's colour.
    const QColor frame = view(0)->palette().color(QPalette::Highlight);
    const auto framed = [&] {
        const QImage shot = view(0)->viewport()->grab().toImage();
        return shot.pixelColor(0, shot.height() / 2).rgb() == frame.rgb();
    };
    EXPECT_TRUE(framed());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* first = QApplication::focusWidget();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(drawer->isAncestorOf(first)) << first->metaObject()->className();
    EXPECT_FALSE(framed());
    EXPECT_EQ(window->board().controller(0).selectedObjects().size(), 1u); // the item stays shown

    // Through the fields, one by one, and back to the quadrant; each shows it has the keyboard.
    // The drawer around a stop, as it looks now.
    const auto around = [drawer](const QWidget* stop) {
        const QRect place(stop->mapTo(drawer, QPoint(0, 0)), stop->size());
        return drawer->grab(place.adjusted(-3, -3, 3, 3)).toImage();
    };
    QList<QWidget*> visited{first};
    QStringList unseen;
    for (int press = 0; press < 60 && !view(0)->hasFocus(); ++press) {
        QWidget* stop = QApplication::focusWidget();
        const QImage focused = around(stop);
        view(0)->setFocus(Qt::OtherFocusReason); // the keyboard elsewhere for a moment
        if (around(stop) == focused)
            unseen << QString::fromLatin1(stop->metaObject()->className());
        stop->setFocus(Qt::MouseFocusReason); // back as it was, on the same section of a date
        QTest::keyClick(stop, Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    ASSERT_TRUE(view(0)->hasFocus());
    EXPECT_TRUE(unseen.isEmpty()) << "stops that do not show the keyboard: "
                                  << unseen.join(QStringLiteral(", ")).toStdString();
    const auto reached = [&visited](const QWidget* field) {
        return std::any_of(visited.begin(), visited.end(), [field](const QWidget* widget) {
            return field->isAncestorOf(widget) || widget == field;
        });
    };
    EXPECT_TRUE(reached(drawer->nameField()));
    EXPECT_TRUE(reached(drawer->dueField()));

    // Shift+Tab leads into the drawer's last field and, from its first, back again.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(drawer->isAncestorOf(QApplication::focusWidget()));
    first->setFocus(Qt::TabFocusReason);
    QTest::keyClick(first, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(view(0)->hasFocus());
}

} // namespace qv::test
