#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#ifdef QV_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qv::test::installProcessHome();
    // As the program does: the web engine, loaded by a test that shows a page, shares them.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
