#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace {

// A program built here and installed elsewhere must not look for its web library where this
// build kept it: on another machine that folder may be anybody's.
TEST(WebModulePath, GivenTheBuiltProgram_ThenItHoldsNoPathOfTheBuildFolder)
{
    QFile program(QStringLiteral(QV_PROGRAM));
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    const QByteArray bytes = program.readAll();
    ASSERT_FALSE(bytes.isEmpty());

    // Qt keeps its string literals as UTF-16; paths in the debug information are UTF-8 and
    // harmless, as the program never reads them.
    const QString buildDir = QStringLiteral(QV_BUILD_DIR);
    const QByteArray utf16(reinterpret_cast<const char*>(buildDir.utf16()), buildDir.size() * 2);
    EXPECT_EQ(bytes.indexOf(utf16), -1) << "the program names the build folder";
}

} // namespace
