// Picking a region of the screen for a screen shot, chosen from a menu.
#include "ui/details/widgets/DesktopScreenCapture.h"

#include "platform/Clock.h"
#include "platform/Scheduler.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(ScreenCaptureTest, GivenTheCaptureChosenFromAMenu_ThenTheScreenIsPicturedOnlyOnceTheMenuHasGone)
{
    FakeClock clock;
    ManualScheduler scheduler(&clock);
    QWidget window;
    window.resize(300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QMenu menu(&window);
    QAction* shot = menu.addAction(QStringLiteral("New Item from Screen Shot…"));
    // What the screen showed each time it was pictured.
    QStringList pictured;
    DesktopScreenCapture::Desktop desktop;
    desktop.portal = false;
    desktop.grab = [&](QScreen*) {
        pictured << (menu.isVisible() || QApplication::activePopupWidget() ? "the menu" : "no menu");
        QPixmap screen(window.size());
        screen.fill(Qt::darkCyan);
        return screen;
    };
    DesktopScreenCapture capture(scheduler, desktop);
    QList<QImage> taken;
    QObject::connect(shot, &QAction::triggered, &window,
                     [&] { capture.captureSelection([&](const QImage& image) { taken << image; }); });

    for (const bool clicked : {true, false}) {
        SCOPED_TRACE(clicked ? "clicked in the menu" : "by its shortcut, the menu open");
        pictured.clear();
        menu.popup(window.mapToGlobal(QPoint(20, 20)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        if (clicked)
            QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.actionGeometry(shot).center());
        else
            shot->trigger();
        EXPECT_FALSE(menu.isVisible());
        // Not while the window system may still show the menu it has just been told to hide.
        EXPECT_TRUE(pictured.isEmpty()) << pictured.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(capture.overlay(), nullptr);

        scheduler.advance(1'000);
        EXPECT_EQ(pictured, QStringList{"no menu"});
        QWidget* overlay = capture.overlay();
        ASSERT_NE(overlay, nullptr);
        QTest::mouseMove(overlay, QPoint(10, 10));
        QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(overlay, QPoint(60, 50));
        QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(60, 50));
        ASSERT_FALSE(taken.isEmpty());
        EXPECT_FALSE(taken.takeLast().isNull()); // the region dragged out
    }
}

} // namespace
} // namespace qv::test
