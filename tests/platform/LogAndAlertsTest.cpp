#include "platform/Alerts.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace qv;

namespace {
Q_LOGGING_CATEGORY(lcOurs, "qv.test", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOthers, "elsewhere.test")
} // namespace

TEST(LogCapturing, GivenNestedCapturesThenEachCollectsItsScopeAndRestoresThePrevious)
{
    LogCapture outer;
    qCInfo(lcOurs, "first");
    {
        LogCapture inner;
        qCWarning(lcOurs, "inner");
        EXPECT_EQ(inner.lines(QtWarningMsg), QStringList{"inner"});
    }
    qCInfo(lcOurs, "first");
    EXPECT_EQ(outer.lines(), QStringList({"first", "first"}));
    EXPECT_EQ(outer.count("first"), 2);
}

TEST(LogCapturing, GivenACategoryWithDebugOff_WhenCaptured_ThenDebugLinesAreTakenAndOnlyOurCategories)
{
    EXPECT_FALSE(lcOurs().isDebugEnabled());
    {
        LogCapture capture;
        qCDebug(lcOurs, "detail %d", 7);
        qCDebug(lcOthers, "not ours");
        EXPECT_EQ(capture.lines(), QStringList{"detail 7"});
    }
    EXPECT_FALSE(lcOurs().isDebugEnabled());
    EXPECT_TRUE(lcOurs().isInfoEnabled());
}

TEST(LogCapturing, GivenLinesFromManyThreadsThenNoneIsLost)
{
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 250; ++i)
                qCInfo(lcOurs, "line");
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
    const auto question = [](const QString& message) {
        return Alerts::Question(message, {}, {"Yes", "No"}, Alerts::DefaultButton(0), Alerts::SafeButton(1));
    };
    EXPECT_TRUE(asCalled.confirm(question("one?")));
    EXPECT_FALSE(asCalled.confirm(question("two?")));
    EXPECT_EQ(asCalled.choose(
                  Alerts::Question::destructive("three?", "more", {"Keep", "Delete"}, Alerts::SafeButton(0))),
              1);
    asCalled.alert("Problem with the URL", "It isn't an image");

    ASSERT_EQ(alerts.shown().size(), 4);
    EXPECT_TRUE(alerts.shown()[2].confirmation);
    EXPECT_EQ(alerts.shown()[2].button, "Delete");
    EXPECT_FALSE(alerts.shown()[3].confirmation);
    EXPECT_EQ(alerts.shown()[3].message, "Problem with the URL");
    EXPECT_EQ(alerts.shown()[3].informative, "It isn't an image");
    EXPECT_EQ(alerts.shown()[3].button, "Ok");
}
