#include "diagnostics/core/Lookout.h"

#include <gtest/gtest.h>

namespace qv::test {

namespace {

class CountingKit : public LookoutKit {
public:
    int starts = 0;
    QString kitName() const override { return QStringLiteral("Counting"); }
    void startKit() override { ++starts; }
};

} // namespace

TEST(LookoutTest, GivenKits_WhenStartedTwice_ThenTheyStartOnceAndLaterCallsStartNothing)
{
    Lookout lookout;
    CountingKit first;
    CountingKit second;
    EXPECT_FALSE(lookout.isStarted());

    EXPECT_TRUE(lookout.startWithKits({&first, nullptr}));
    EXPECT_FALSE(lookout.startWithKits({&first, &second}));

    EXPECT_TRUE(lookout.isStarted());
    EXPECT_EQ(first.starts, 1);
    EXPECT_EQ(second.starts, 0);
    EXPECT_EQ(lookout.kitNames(), QStringList{QStringLiteral("Counting")});
}

TEST(LookoutTest, GivenTheProcessEntry_WhenCalledAgain_ThenItIsTheSameAndStartsNothingNew)
{
    CountingKit kit;
    Lookout& first = Lookout::with({&kit});
    Lookout& again = Lookout::with({&kit});
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(kit.starts, 1);
}

} // namespace qv::test
