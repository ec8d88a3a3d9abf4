#include "core/util/HtmlEscaping.h"

#include <algorithm>
#include <array>

namespace qv {

namespace {

constexpr std::array<HtmlEscaping::Entity, 33> kHtmlTable{{
    {u"&quot;", 34},     {u"&amp;", 38},      {u"&apos;", 39},     {u"&lt;", 60},       {u"&gt;", 62},
    {u"&OElig;", 338},   {u"&oelig;", 339},   {u"&Scaron;", 352},  {u"&scaron;", 353},  {u"&Yuml;", 376},
    {u"&circ;", 710},    {u"&tilde;", 732},   {u"&ensp;", 8194},   {u"&emsp;", 8195},   {u"&thinsp;", 8201},
    {u"&zwnj;", 8204},   {u"&zwj;", 8205},    {u"&lrm;", 8206},    {u"&rlm;", 8207},    {u"&ndash;", 8211},
    {u"&mdash;", 8212},  {u"&lsquo;", 8216},  {u"&rsquo;", 8217},  {u"&sbquo;", 8218},  {u"&ldquo;", 8220},
    {u"&rdquo;", 8221},  {u"&bdquo;", 8222},  {u"&dagger;", 8224}, {u"&Dagger;", 8225}, {u"&permil;", 8240},
    {u"&lsaquo;", 8249}, {u"&rsaquo;", 8250}, {u"&euro;", 8364},
}};

static_assert(std::is_sorted(kHtmlTable.begin(), kHtmlTable.end(),
                             [](const auto& a, const auto& b) { return a.character < b.character; }));

const HtmlEscaping::Entity* findEntity(std::span<const HtmlEscaping::Entity> table, char16_t unit)
{
    const auto it =
        std::lower_bound(table.begin(), table.end(), unit,
                         [](const HtmlEscaping::Entity& e, char16_t u) { return e.character < u; });
    return it != table.end() && it->character == unit ? &*it : nullptr;
}

} // namespace

std::span<const HtmlEscaping::Entity> HtmlEscaping::htmlTable()
{
    return kHtmlTable;
}

QString HtmlEscaping::stringByEscapingHTML(const QString& text, std::span<const Entity> table,
                                           bool escapingUnicode)
{
    if (text.isEmpty())
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            out.append(QStringView(text).mid(runStart, end - runStart));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (const Entity* entity = findEntity(table, unit)) {
            flushRun(i);
            out.append(QStringView(entity->escape));
            runStart = i + 1;
        } else if (escapingUnicode && unit >= 128) {
            flushRun(i);
            out.append(QStringLiteral("&#%1;").arg(int(unit)));
            runStart = i + 1;
        }
    }
    flushRun(text.size());
    return out;
}

QString HtmlEscaping::stringByEscapingForHTML(const QString& text)
{
    return stringByEscapingHTML(text, htmlTable(), false);
}

} // namespace qv
