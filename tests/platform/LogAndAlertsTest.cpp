#include "platform/Alerts.h"
#include "platform/Log.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <thread>
#include <vector>

using namespace qv;

TEST(LogCapturing, GivenNestedCapturesThenEachCollectsItsScopeAndRestoresThePrevious)
{
    LogCapture outer;
    Log::line("first");
    {
        LogCapture inner;
        Log::line("ERROR: inner");
        EXPECT_TRUE(inner.contains("ERROR: inner"));
    }
    Log::line("first");
    EXPECT_EQ(outer.lines(), QStringList({"first", "first"}));
    EXPECT_EQ(outer.count("first"), 2);
}

TEST(LogCapturing, GivenLinesFromManyThreadsThenNoneIsLost)
{
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 250; ++i)
                Log::line(QStringLiteral("line"));
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(capture.count("line"), 1000);
}

TEST(ScriptedAlertsAnswers, GivenQueuedAnswersThenTheyAreUsedInOrderThenTheDefault)
{
    ScriptedAlerts alerts;
    alerts.queueAnswer(true);
    alerts.queueAnswer(false);
    alerts.setDefaultAnswer(true);
    Alerts& asCalled = alerts; // callers hold the interface, which carries the default arguments
    EXPECT_TRUE(asCalled.confirm("one?"));
    EXPECT_FALSE(asCalled.confirm("two?"));
    EXPECT_TRUE(asCalled.confirm("three?", "more", "Delete", "Keep"));
    asCalled.alert("Problem with the URL", "It isn't an image");

    ASSERT_EQ(alerts.shown().size(), 4);
    EXPECT_TRUE(alerts.shown()[2].confirmation);
    EXPECT_EQ(alerts.shown()[2].button, "Delete");
    EXPECT_FALSE(alerts.shown()[3].confirmation);
    EXPECT_EQ(alerts.shown()[3].message, "Problem with the URL");
    EXPECT_EQ(alerts.shown()[3].informative, "It isn't an image");
    EXPECT_EQ(alerts.shown()[3].button, "Ok");
}

TEST(LogOutput, GivenNoCaptureThenTheLineGoesToStandardErrorWithANewline)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    Log::line("INFO -- plain line");
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    EXPECT_EQ(file.readAll(), QByteArray("INFO -- plain line\n"));
}
