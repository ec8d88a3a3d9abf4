#include "exchange/TemplateManager.h"
#include "exchange/NoticeFeed.h"
#include "exchange/iCalController.h"

#include <gtest/gtest.h>

namespace qv::test {

TEST(TemplateManagerTest, GivenTheShippedResource_WhenRead_ThenEveryTemplateIsCompleteAndInFileOrder)
{
    const TemplateManager manager;
    const auto& templates = manager.getQuadrantTemplates();
    ASSERT_GE(templates.size(), 3u);
    EXPECT_EQ(templates.front().title, QStringLiteral("Urgent and Important"));
    for (const TemplateManager::QuadrantTemplate& t : templates) {
        EXPECT_FALSE(t.title.isEmpty());
        EXPECT_FALSE(t.tooltip.isEmpty()) << t.title.toStdString();
        EXPECT_FALSE(t.textFirstQuadrant.isEmpty() || t.textSecondQuadrant.isEmpty() ||
                     t.textThirdQuadrant.isEmpty() || t.textFourthQuadrant.isEmpty())
            << t.title.toStdString();
        EXPECT_TRUE(t.centerX >= 0 && t.centerX <= 100 && t.centerY >= 0 && t.centerY <= 100);
    }
    EXPECT_EQ(&TemplateManager::sharedInstance(), &TemplateManager::sharedInstance());
    EXPECT_EQ(TemplateManager::sharedInstance().getQuadrantTemplates().size(), templates.size());
}

TEST(TemplateManagerTest, GivenOddEntries_WhenParsed_ThenUntitledOnesAreSkippedAndCentresKeptInRange)
{
    QString error;
    const auto templates = TemplateManager::parse(R"([
        {"title": "A", "centerX": 140, "centerY": -3},
        {"tooltip": "no title"},
        5,
        {"title": "B", "centerX": "left", "textFirstQuadrant": "Now"}
    ])",
                                                  &error);
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(templates.size(), 2u);
    EXPECT_EQ(templates[0].centerX, 100);
    EXPECT_EQ(templates[0].centerY, 0);
    EXPECT_EQ(templates[1].title, QStringLiteral("B"));
    EXPECT_EQ(templates[1].centerX, 50);
    EXPECT_EQ(templates[1].textFirstQuadrant, QStringLiteral("Now"));
}

TEST(TemplateManagerTest, GivenTextThatIsNoArray_WhenParsed_ThenThereAreNoTemplatesAndTheReasonIsGiven)
{
    for (const QByteArray& text : {QByteArray("{\"title\": \"A\"}"), QByteArray("[{"), QByteArray()}) {
        QString error;
        EXPECT_TRUE(TemplateManager::parse(text, &error).empty());
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(TemplateManager(QStringLiteral(":/no-such-resource.json")).getQuadrantTemplates().empty());
}

TEST(CalendarAndNoticesTest, GivenThisBuild_WhenTheCalendarIsAskedFor_ThenThereIsNoneAndNoticesNeedAWebHost)
{
    EXPECT_EQ(iCalController::sharedInstance(), nullptr);
    EXPECT_TRUE(NoticeFeed::noticesAddress(QString()).isEmpty());
    EXPECT_EQ(NoticeFeed::noticesAddress(QStringLiteral("https://www.quadrivo.test/")),
              QStringLiteral("https://www.quadrivo.test/notices/notices.json"));
    NoticeFeed& feed = NoticeFeed::sharedInstance();
    feed.setShowOldestFirst(true);
    EXPECT_TRUE(NoticeFeed::sharedInstance().showOldestFirst());
}

} // namespace qv::test
