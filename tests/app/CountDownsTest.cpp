#include "app/CountDowns.h"
#include "platform/Preferences.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace qv::test {

namespace {

class CountDownsTest : public ::testing::Test {
protected:
    TempHome home;
    Preferences preferences{home.root() + QStringLiteral("/prefs.conf")};
};

} // namespace

TEST_F(CountDownsTest,
       GivenAFirstLaunchAnEarlierRunOrANegativeCounter_WhenCountedDown_ThenItStopsAtZeroAndIsNotReset)
{
    CountDowns countDowns(preferences);
    EXPECT_EQ(countDowns.getQuadrantDoubleClicksCountDown(), 10);
    for (int i = 0; i < 10; ++i)
        countDowns.countDown(CountDowns::quadrantDoubleClicksKey());
    EXPECT_EQ(countDowns.getQuadrantDoubleClicksCountDown(), 0);
    countDowns.countDown(CountDowns::quadrantDoubleClicksKey());
    EXPECT_EQ(preferences.intValue(CountDowns::quadrantDoubleClicksKey()), 0);

    preferences.setValue(CountDowns::quadrantDoubleClicksKey(), 3);
    CountDowns earlier(preferences);
    EXPECT_EQ(earlier.getQuadrantDoubleClicksCountDown(), 3);

    preferences.setValue(CountDowns::quadrantDoubleClicksKey(), -4);
    CountDowns negative(preferences);
    EXPECT_EQ(negative.getQuadrantDoubleClicksCountDown(), 0);
    negative.countDown(CountDowns::quadrantDoubleClicksKey());
    EXPECT_EQ(preferences.intValue(CountDowns::quadrantDoubleClicksKey()), -4);
}

TEST_F(CountDownsTest, GivenTwoInstances_WhenTheSharedOneIsAskedFor_ThenItIsTheFirstWhileItLives)
{
    EXPECT_EQ(CountDowns::shared(), nullptr);
    {
        CountDowns first(preferences);
        CountDowns second(preferences);
        EXPECT_EQ(CountDowns::shared(), &first);
    }
    EXPECT_EQ(CountDowns::shared(), nullptr);
}

} // namespace qv::test
