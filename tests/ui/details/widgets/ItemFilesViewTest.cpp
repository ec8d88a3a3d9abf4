#include "ui/details/widgets/ItemFilesView.h"
#include "core/util/FontSizeTiers.h"
#include "tests/support/FileFixture.h"
#include "ui/details/ItemFilesController.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QListView>

namespace qv::test {
namespace {

using ItemFilesViewTest = FileFixture;

TEST_F(ItemFilesViewTest, GivenWindowShortcutOnF2_WhenPressedInTheGrid_ThenTheFileNameIsEditedBesideItsIcon)
{
    openWithFiles();
    ItemFilesController controller(device->services, *files, server.baseUrl().toString(), {}, {});
    controller.setItem(syncedItem());
    controller.uploadFiles({localFile(QStringLiteral("a.txt"))});
    finish();
    QWidget window;
    QAction editTitle(&window);
    editTitle.setShortcut(Qt::Key_F2);
    window.addAction(&editTitle);
    int titleEdits = 0;
    QObject::connect(&editTitle, &QAction::triggered, [&] { ++titleEdits; });
    auto* view = new ItemFilesView(controller, *files, nullptr, &window);
    window.show();
    QApplication::setActiveWindow(&window);
    view->grid()->setCurrentIndex(view->grid()->model()->index(0, 0));
    view->grid()->setFocus();

    QTest::keyClick(view->grid(), Qt::Key_F2);
    EXPECT_EQ(titleEdits, 0);
    EXPECT_NE(view->grid()->indexWidget(view->grid()->currentIndex()), nullptr); // the name's editor
    // With no icon theme named (as here), the style's file icon.
    EXPECT_FALSE(view->grid()->currentIndex().data(Qt::DecorationRole).value<QIcon>().isNull());
}

TEST_F(ItemFilesViewTest,
       GivenTheOfflineNotice_WhenShownInADrawerOfTheUsualWidth_ThenItIsReadWholeAtAnyFontSize)
{
    openWithFiles();
    ItemFilesController controller(device->services, *files, server.baseUrl().toString(), {}, {});
    QWidget window;
    auto* view = new ItemFilesView(controller, *files, nullptr, &window);
    view->setGeometry(0, 0, 280, 560); // the drawer of a window at its first size
    window.show();
    auto* status = view->findChild<QLabel*>(QStringLiteral("filesStatus"));
    const QString notice =
        QStringLiteral("You are offline at this moment. The file will be uploaded when the app is online.");
    files->showMessage(notice);
    for (const int pixels :
         {view->fontInfo().pixelSize(), int(FontSizeTiers::fontSize(FontSizeTiers::kMaxTier))}) {
        QFont font = view->font();
        font.setPixelSize(pixels);
        view->setFont(font);
        view->layout()->activate();
        const QRect room = status->contentsRect();
        const QRect needed =
            status->fontMetrics().boundingRect(QRect(0, 0, room.width(), 10'000), Qt::TextWordWrap, notice);
        EXPECT_TRUE(view->rect().contains(status->geometry())) << pixels;
        EXPECT_LE(needed.height(), room.height()) << pixels;
    }
}

TEST_F(ItemFilesViewTest, GivenTheQuotaLine_WhenTheUserSignsOut_ThenTheFilesTabDropsItAtOnce)
{
    openWithFiles();
    ItemFilesController controller(device->services, *files, server.baseUrl().toString(), {}, {});
    ItemFilesView view(controller, *files, nullptr);
    auto* status = view.findChild<QLabel*>(QStringLiteral("filesStatus"));
    files->displayRemainingQuota();
    ASSERT_EQ(status->text(), "0.00 / 100.00MB used");

    // Signing out forgets the account's user, then who is signed in.
    profile.profile.reset();
    device->preferences.remove(QStringLiteral("_currentUser"));
    EXPECT_TRUE(status->text().isEmpty()) << status->text().toStdString();
}

} // namespace
} // namespace qv::test
