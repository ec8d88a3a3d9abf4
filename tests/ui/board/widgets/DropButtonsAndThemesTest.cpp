#include "tests/ui/board/BoardDocumentFixture.h"

#include "ui/board/BoardImages.h"
#include "ui/board/ColorThemes.h"
#include "ui/board/DropTargets.h"
#include "ui/board/ItemClipboard.h"
#include "ui/board/ItemPasteboard.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/widgets/ColorWell.h"
#include "ui/board/widgets/DraggingDestinationButton.h"
#include "ui/board/widgets/FourQuadrantView.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/board/widgets/TokenCollectionView.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace qv::test {
namespace {

using Operation = DropTargets::Operation;

QImage iconImage(const QAction* action)
{
    return action->icon()
        .pixmap(QSize(32, 32))
        .toImage()
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage named(const char* name)
{
    return BoardImages::imageNamed(QString::fromLatin1(name))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class DropButtonsAndThemesTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(2000);
        window = std::make_unique<MainWindow>(*document, services);
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        scheduler.runPosted();
        window->showProject(project);
        QApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    QuadrantView* view(int q) const { return window->quadrantView(q); }
    QStringList shown(int q) const { return names(window->board().controller(q).arrangedObjects()); }

    // Drags the first quadrant's selected rows with the mouse; meanwhile `during` runs as the drag.
    void dragRows(const QList<qsizetype>& rows, const std::function<Qt::DropAction(QDrag&)>& during)
    {
        window->board().enableQuadrantAndSelectRows(0, rows, false);
        view(0)->setDragRunner(during);
        const QPoint start = view(0)->visualRect(view(0)->model()->index(int(rows.front()), 0)).center();
        QTest::mousePress(view(0)->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(view(0)->viewport(), start + QPoint(0, 2));
        QTest::mouseMove(view(0)->viewport(), start + QPoint(0, 40));
        QTest::mouseRelease(view(0)->viewport(), Qt::LeftButton, {}, start + QPoint(0, 40));
    }

    // What the window system delivers when the drag is let go over the button.
    static Qt::DropAction dropOn(QWidget* target, const QMimeData* mime)
    {
        QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return Qt::IgnoreAction;
        QDropEvent drop(QPointF(4, 4), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(DropButtonsAndThemesTest,
       GivenRowsDraggedOutOfAQuadrant_WhenLetGoOverEachDropButton_ThenTheButtonActsOnThemAndOnNoOtherItems)
{
    struct Case {
        Operation operation;
        QStringList shownAfter;
    };
    const Case cases[] = {
        {Operation::Duplicate, {"b", "a", "b", "c"}}, // b's copy leads
        {Operation::Complete, {"a", "b", "c"}},       // the copy (row 0) is done and hidden
        {Operation::Trash, {"a", "c"}},
    };
    auto* toolbar = window->findChild<QToolBar*>(QStringLiteral("mainToolbar"));
    ASSERT_NE(toolbar, nullptr);
    QAction* add = window->dropButton(int(Operation::Duplicate))->defaultAction();
    for (const Case& drop : cases) {
        DraggingDestinationButton* button = window->dropButton(int(drop.operation));
        ASSERT_NE(button, nullptr);
        QList<QWidget*> offDuringDrag;
        QImage addImageDuringDrag;
        Qt::DropAction result = Qt::IgnoreAction;
        dragRows({drop.operation == Operation::Complete ? qsizetype(0) : qsizetype(1)}, [&](QDrag& drag) {
            for (QAction* action : toolbar->actions()) {
                QWidget* widget = toolbar->widgetForAction(action);
                if (widget && !widget->isEnabled())
                    offDuringDrag << widget;
            }
            addImageDuringDrag = iconImage(add);
            result = dropOn(button, drag.mimeData());
            return result;
        });
        EXPECT_EQ(result, Qt::CopyAction) << int(drop.operation);
        EXPECT_EQ(shown(0), drop.shownAfter) << int(drop.operation);
        // Only the drop buttons stay at hand while dragging, in their drop-target look.
        EXPECT_FALSE(offDuringDrag.isEmpty());
        for (QWidget* widget : offDuringDrag)
            EXPECT_EQ(qobject_cast<DraggingDestinationButton*>(widget), nullptr);
        for (QWidget* widget : std::as_const(offDuringDrag))
            EXPECT_TRUE(widget->isEnabled());
        EXPECT_EQ(addImageDuringDrag, named("UI_Icon_mac_duplicate_selected"));
        EXPECT_EQ(iconImage(add), named("UI_Icon_mac_add"));
    }

    // A drag the project list started carries no quadrant drag: refused.
    const auto mime = ItemPasteboard::forItems({a}, project, {0}).toMimeData();
    EXPECT_EQ(dropOn(window->dropButton(int(Operation::Complete)), mime.get()), Qt::IgnoreAction);
    EXPECT_EQ(a->objectState(), ObjectState::Open);
}

TEST_F(DropButtonsAndThemesTest, GivenTheThemeMenu_WhenAThemeIsChosen_ThenTheProjectTakesItsFourColours)
{
    QMenu* menu = window->colorThemeMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(window->colorThemes(), nullptr);
    const auto& themes = window->colorThemes()->themes();
    ASSERT_EQ(menu->actions().size(), qsizetype(themes.size()));
    QAction* second = menu->actions().at(1);
    EXPECT_EQ(second->text(), themes[1].name());
    EXPECT_EQ(second->data().toInt(), 101);

    second->trigger();
    for (int q = 0; q < 4; ++q) {
        const QColor stored = QuadrantColors::quadrantColor(project, q);
        EXPECT_NEAR(stored.redF(), themes[1].colorNumber(q).redF(), 1e-5) << q;
        EXPECT_NEAR(stored.blueF(), themes[1].colorNumber(q).blueF(), 1e-5) << q;
    }
    EXPECT_TRUE(project->colorFirstQuadrant().endsWith(QStringLiteral(", 1}")));
    EXPECT_EQ(window->quadrantPanel(0)->table()->palette().color(QPalette::Base),
              QuadrantColors::lighterColor(QuadrantColors::quadrantColor(project, 0)));
}

TEST_F(DropButtonsAndThemesTest,
       GivenAColourChosenInAWellOrChangedElsewhere_ThenOnlyThatQuadrantsColourIsStoredAndShown)
{
    auto wells = window->quadrantPanel(1)->header()->findChildren<ColorWell*>();
    ASSERT_EQ(wells.size(), 1);
    const QString first = project->colorFirstQuadrant();
    wells.front()->setChooser([](const QColor&, QWidget*) { return QColor::fromRgbF(0.2f, 0.4f, 0.6f); });
    QTest::mouseClick(wells.front(), Qt::LeftButton);
    EXPECT_EQ(project->colorSecondQuadrant(), QStringLiteral("{0.200, 0.400, 0.600, 1.000}"));
    EXPECT_EQ(project->colorFirstQuadrant(), first);

    wells.front()->setChooser([](const QColor&, QWidget*) { return QColor(); }); // cancelled
    QTest::mouseClick(wells.front(), Qt::LeftButton);
    EXPECT_EQ(project->colorSecondQuadrant(), QStringLiteral("{0.200, 0.400, 0.600, 1.000}"));

    // A colour changed elsewhere (a sync merge, say) reaches the quadrant when the store tells of it.
    project->setColorThirdQuadrant(QStringLiteral("{0, 0, 0.5, 1}"));
    scheduler.runPosted();
    EXPECT_EQ(window->quadrantPanel(2)->table()->palette().color(QPalette::Base),
              QuadrantColors::lighterColor(QColor::fromRgbF(0, 0, 0.5f)));
    EXPECT_EQ(window->quadrantPanel(2)->header()->findChild<ColorWell*>()->color(),
              QColor::fromRgbF(0, 0, 0.5f));
}

TEST_F(DropButtonsAndThemesTest, GivenDarkAndLightQuadrantColours_WhenActive_ThenTheTitleReadsOnEach)
{
    QList<QColor> colours = {QColor(0x3d, 0x3d, 0x3d), QColor(0x2e, 0x7d, 0x32), QColor(0x8b, 0x10, 0x10),
                             QColor(0x1f, 0x6f, 0x8b), QColor(0xf2, 0xc1, 0x4e), QColor(Qt::white),
                             QColor(Qt::black),        QColor(0x77, 0x77, 0x77)};
    for (const ColorTheme& theme : window->colorThemes()->themes()) {
        for (int q = 0; q < 4; ++q)
            colours << theme.colorNumber(q);
    }
    QuadrantPanel* panel = window->quadrantPanel(0);
    panel->showVisualHint(true);
    static const QRegularExpression kTextColour(QStringLiteral("(?<![-\\w])color: (#[0-9a-f]{6})"));
    for (const QColor& colour : colours) {
        panel->setColor(colour);
        const QRegularExpressionMatch text = kTextColour.match(panel->header()->styleSheet());
        ASSERT_TRUE(text.hasMatch()) << panel->header()->styleSheet().toStdString();
        EXPECT_GE(QuadrantColors::contrastRatio(colour, QColor(text.captured(1))), 4.5)
            << colour.name().toStdString() << " with " << text.captured(1).toStdString();
    }
}

TEST_F(DropButtonsAndThemesTest, GivenANarrowQuadrant_ThenItsColourWellStaysClearOfTheTitle)
{
    QLabel* header = window->quadrantPanel(1)->header();
    auto* well = header->findChild<ColorWell*>();
    ASSERT_NE(well, nullptr);
    window->quadrantPanel(1)->setTitle(QStringLiteral("Everything we still have to ask the printer about"));
    for (int width : {90, 160, 400}) {
        header->resize(width, header->height());
        QApplication::processEvents();
        EXPECT_TRUE(header->rect().contains(well->geometry())) << width;
        // The title is laid out (and clipped) inside the contents, left of the well.
        EXPECT_LT(header->contentsRect().right(), well->geometry().left()) << width;
    }
}

TEST_F(DropButtonsAndThemesTest, GivenADarkDesktopPalette_ThenTheToolbarGlyphsAndTheRowsReadOnIt)
{
    QPalette dark;
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base})
        dark.setColor(role, QColor(0x2d, 0x2d, 0x2d));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(0xee, 0xee, 0xee));
    // The ink of a glyph: the average colour of its opaque pixels.
    const auto ink = [](const QImage& image) {
        double red = 0, green = 0, blue = 0;
        int count = 0;
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            for (int x = 0; x < argb.width(); ++x) {
                const QColor pixel = argb.pixelColor(x, y);
                if (pixel.alpha() < 200)
                    continue;
                red += pixel.redF();
                green += pixel.greenF();
                blue += pixel.blueF();
                ++count;
            }
        }
        return count ? QColor::fromRgbF(float(red / count), float(green / count), float(blue / count))
                     : QColor();
    };
    const auto glyphsRead = [&](const QColor& behind, const char* when) {
        auto* toolbar = window->findChild<QToolBar*>(QStringLiteral("mainToolbar"));
        for (QAction* action : toolbar->actions()) {
            auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action));
            if (!button || button->icon().isNull() || !button->isVisible())
                continue;
            const QColor glyph = ink(button->icon().pixmap(QSize(32, 32)).toImage());
            if (!glyph.isValid())
                continue;
            EXPECT_GE(QuadrantColors::contrastRatio(glyph, behind), 3.0)
                << when << ": " << button->text().toStdString();
        }
    };
    window->setPalette(dark);
    QApplication::processEvents();
    glyphsRead(dark.color(QPalette::Window), "dark");
    // The quadrants keep their colours in the titles; the tables turn dark with light titles.
    const QColor table = window->quadrantPanel(0)->table()->palette().color(QPalette::Base);
    EXPECT_LT(table.lightnessF(), 0.5);
    const QImage rows = view(0)->viewport()->grab().toImage();
    const QRect firstRow = view(0)->visualRect(view(0)->model()->index(0, 0));
    double best = 1;
    for (int y = firstRow.top(); y <= firstRow.bottom(); ++y) {
        for (int x = firstRow.left(); x < firstRow.right(); ++x)
            best = std::max(best, QuadrantColors::contrastRatio(rows.pixelColor(x, y), table));
    }
    EXPECT_GE(best, 4.5); // the title's strokes against the row

    // After a drag, too, and back on a light desktop.
    window->changeToolbarForDragging(true);
    window->changeToolbarForDragging(false);
    glyphsRead(dark.color(QPalette::Window), "dark, after a drag");
    window->setPalette(QPalette());
    QApplication::processEvents();
    glyphsRead(window->palette().color(QPalette::Window), "light");
    EXPECT_EQ(window->quadrantPanel(0)->table()->palette().color(QPalette::Base),
              QuadrantColors::lighterColor(QuadrantColors::quadrantColor(project, 0)));
}

TEST_F(DropButtonsAndThemesTest,
       GivenAQuadrantMaximized_WhenTheCrossMoves_ThenTheProjectKeepsItsStoredPosition)
{
    project->setCenterX(40);
    project->setCenterY(60);
    window->maximizeQuadrant(3);
    EXPECT_EQ(window->fourQuadrantView()->crossFraction(), QPointF(0.1, 0.1));
    EXPECT_DOUBLE_EQ(project->centerX(), 40);
    EXPECT_DOUBLE_EQ(project->centerY(), 60);
}

TEST_F(DropButtonsAndThemesTest, GivenADoubleClickBelowTheRows_WhenAnItemIsAdded_ThenTheWindowCountsIt)
{
    QSignalSpy counted(window.get(), &MainWindow::quadrantDoubleClicked);
    QTest::mouseDClick(view(2)->viewport(), Qt::LeftButton, {},
                       QPoint(40, view(2)->viewport()->height() - 8));
    EXPECT_EQ(counted.count(), 1);
    QTest::mouseDClick(view(0)->viewport(), Qt::LeftButton, {},
                       view(0)->visualRect(view(0)->model()->index(0, 0)).center());
    EXPECT_EQ(counted.count(), 1);
}

// An engine whose online flag the window observes, as it observes the real one's.
class ObservableEngine final : public QObject, public StubSyncEngine {
    Q_OBJECT
    Q_PROPERTY(bool isOnline READ isOnline NOTIFY isOnlineChanged)
public:
    void setOnline(bool value)
    {
        online = value;
        emit isOnlineChanged(value);
    }
signals:
    void isOnlineChanged(bool); // unnamed: moc names the definition's parameter itself
};

TEST_F(DropButtonsAndThemesTest,
       GivenTheSyncEngineObserved_WhenItGoesOnlineOrOffline_ThenTheWindowReportsEachChange)
{
    ObservableEngine engine;
    document->setSyncEngine(&engine);
    QSignalSpy reported(window.get(), &MainWindow::onlineStateChanged);
    window->startObservingSyncEngine();
    engine.setOnline(true);
    engine.setOnline(false);
    ASSERT_EQ(reported.count(), 2);
    EXPECT_TRUE(reported.at(0).at(0).toBool());
    EXPECT_FALSE(reported.at(1).at(0).toBool());
    window->stopObserving();
    document->setSyncEngine(&sync);
}

TEST(TokenCollectionView, GivenDeletePressed_WhenAHandlerIsSetOrNot_ThenOnlyTheHandlerIsAskedAndOtherKeysPass)
{
    TokenCollectionView view;
    view.addItems({"a", "b"});
    QTest::keyClick(&view, Qt::Key_Delete); // no handler: nothing to ask
    int asked = 0;
    view.setDeleteHandler([&](TokenCollectionView* from) { asked += from == &view; });
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_A);
    EXPECT_EQ(asked, 1);
}

} // namespace
} // namespace qv::test

#include "DropButtonsAndThemesTest.moc"
