#include "diagnostics/crash/Crashwatch.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace qv::test {

TEST(CrashwatchTest, GivenTheReporter_WhenLinesAreRecorded_ThenEachCarriesTheTimeSinceStart)
{
    FakeClock clock;
    clock.advance(5000);
    Crashwatch reporter(clock);
    ASSERT_EQ(&Crashwatch::sharedInstance(), &reporter);

    clock.advance(1250);
    CRWRecordLogFormat("%s line %d $ pasteboard item: %s", "readText", 42, "hello \xc3\xa9");
    CRWRecordLogFormat(nullptr);

    EXPECT_EQ(reporter.logLines(),
              QStringList{QString::fromUtf8("1.250 readText line 42 $ pasteboard item: hello \xc3\xa9")});
}

TEST(CrashwatchTest, GivenManyLines_WhenRecorded_ThenOnlyTheLastOnesAreKept)
{
    FakeClock clock;
    Crashwatch reporter(clock);
    for (int i = 0; i < Crashwatch::kMaxLogLines + 25; ++i)
        reporter.recordLogLine(QString::number(i));
    const QStringList lines = reporter.logLines();
    ASSERT_EQ(lines.size(), Crashwatch::kMaxLogLines);
    EXPECT_EQ(lines.first(), QStringLiteral("0.000 25"));
    EXPECT_EQ(lines.last(), QStringLiteral("0.000 %1").arg(Crashwatch::kMaxLogLines + 24));
}

TEST(CrashwatchTest, GivenAnEmail_WhenSetAndCleared_ThenTheReporterKeepsTheLatest)
{
    FakeClock clock;
    Crashwatch reporter(clock);
    reporter.setUserEmail(QStringLiteral("ada@example.test"));
    EXPECT_EQ(reporter.userEmail(), QStringLiteral("ada@example.test"));
    reporter.setUserEmail(QString());
    EXPECT_TRUE(reporter.userEmail().isEmpty());

    EXPECT_FALSE(reporter.isStarted());
    reporter.startKit();
    reporter.startKit();
    EXPECT_TRUE(reporter.isStarted());
    EXPECT_EQ(reporter.kitName(), QStringLiteral("Crashwatch"));
}

} // namespace qv::test
