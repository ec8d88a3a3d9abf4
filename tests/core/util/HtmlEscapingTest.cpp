#include "core/util/HtmlEscaping.h"

#include "tests/core/util/UtilsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using qv::HtmlEscaping;

TEST(HtmlEscapingForHtml,
     GivenMarkupSpecialSetAndOtherText_WhenEscaped_ThenNamedEntitiesTheirNamesNumbersOrTheTextAsItIs)
{
    EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML("<b>Tom & \"Jerry's\"</b>"),
              "&lt;b&gt;Tom &amp; &quot;Jerry&apos;s&quot;&lt;/b&gt;");

    EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML("5 € – ok"), "5 &euro; &ndash; ok");
    EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML("Œ“”‰"), "&OElig;&ldquo;&rdquo;&permil;");

    EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML("café 😀"), "café 😀");
    EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML(QString()), QString());
    EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML(""), "");

    // Numeric escaping makes each unit above 127 a reference.
    const auto table = HtmlEscaping::htmlTable();
    EXPECT_EQ(HtmlEscaping::stringByEscapingHTML("é<", table, true), "&#233;&lt;");
    // One reference per surrogate of a character outside the basic plane.
    EXPECT_EQ(HtmlEscaping::stringByEscapingHTML("a😀b", table, true), "a&#55357;&#56832;b");
    // Named entities win over numeric ones.
    EXPECT_EQ(HtmlEscaping::stringByEscapingHTML("€", table, true), "&euro;");
}

TEST(HtmlEscapingTable,
     GivenTheHtmlTableOrACustomOne_ThenThe33EntriesAreSortedAndOnlyATablesEntriesAreReplaced)
{
    const auto table = HtmlEscaping::htmlTable();
    EXPECT_EQ(table.size(), 33u);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end(),
                               [](const auto& a, const auto& b) { return a.character < b.character; }));
    // Every entry is found again through the search.
    for (const auto& entity : table)
        EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML(QString(QChar(entity.character))),
                  QString::fromUtf16(entity.escape));

    const HtmlEscaping::Entity custom[] = {{u"&amp;", u'&'}, {u"&tilde;", u'~'}};
    EXPECT_EQ(HtmlEscaping::stringByEscapingHTML("a&b~<", custom, false), "a&amp;b&tilde;<");
}
