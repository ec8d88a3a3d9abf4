#include "core/util/HtmlEscaping.h"

#include "tests/core/util/UtilsTestSupport.h"

#include <QTextDocument>

#include <gtest/gtest.h>

#include <utility>

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
     GivenEachCharacterOfTheHtmlSet_WhenEscaped_ThenItsStandardEntityAndAnHtmlReaderGivesTheTextBack)
{
    // The markup characters and the HTML 4.01 special set with the names the standard gives them.
    const std::pair<char16_t, const char*> standard[] = {
        {u'"', "&quot;"},     {u'&', "&amp;"},      {u'\'', "&apos;"},    {u'<', "&lt;"},
        {u'>', "&gt;"},       {0x0152, "&OElig;"},  {0x0153, "&oelig;"},  {0x0160, "&Scaron;"},
        {0x0161, "&scaron;"}, {0x0178, "&Yuml;"},   {0x02C6, "&circ;"},   {0x02DC, "&tilde;"},
        {0x2002, "&ensp;"},   {0x2003, "&emsp;"},   {0x2009, "&thinsp;"}, {0x200C, "&zwnj;"},
        {0x200D, "&zwj;"},    {0x200E, "&lrm;"},    {0x200F, "&rlm;"},    {0x2013, "&ndash;"},
        {0x2014, "&mdash;"},  {0x2018, "&lsquo;"},  {0x2019, "&rsquo;"},  {0x201A, "&sbquo;"},
        {0x201C, "&ldquo;"},  {0x201D, "&rdquo;"},  {0x201E, "&bdquo;"},  {0x2020, "&dagger;"},
        {0x2021, "&Dagger;"}, {0x2030, "&permil;"}, {0x2039, "&lsaquo;"}, {0x203A, "&rsaquo;"},
        {0x20AC, "&euro;"},
    };
    QString text;
    QString expected;
    for (const auto& [character, entity] : standard) {
        EXPECT_EQ(HtmlEscaping::stringByEscapingForHTML(QString(QChar(character))), QLatin1String(entity))
            << entity;
        text += QStringLiteral("x") + QChar(character);
        expected += QStringLiteral("x") + QLatin1String(entity);
    }
    // Characters outside the set, the Latin-1 ones and the non-breaking space among them, stay.
    text += QStringLiteral("é ñ\u00a0ß ¿ 😀");
    expected += QStringLiteral("é ñ\u00a0ß ¿ 😀");
    const QString escaped = HtmlEscaping::stringByEscapingForHTML(text);
    EXPECT_EQ(escaped, expected);
    // A browser's reading of the escaped text is the text itself.
    QTextDocument page;
    page.setHtml(QStringLiteral("<pre>") + escaped + QStringLiteral("</pre>"));
    EXPECT_EQ(page.toRawText(), text);

    const HtmlEscaping::Entity custom[] = {{u"&amp;", u'&'}, {u"&tilde;", u'~'}};
    EXPECT_EQ(HtmlEscaping::stringByEscapingHTML("a&b~<", custom, false), "a&amp;b&tilde;<");
}
