#include "core/util/Utils.h"

#include "core/util/ColorString.h"
#include "core/util/HtmlEscaping.h"
#include "core/util/UtilLogging.h"
#include "platform/Alerts.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/store/ManagedObject.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace qv {

namespace {

const QString kScheme = QStringLiteral("quadrivo://");

QVariant attribute(const store::ManagedObject& object, const QString& key)
{
    if (object.entity().attributeIndex(key) < 0)
        return {};
    return object.value(key);
}

// A whole decimal number, optionally signed, and nothing else.
std::optional<qint64> parseDecimal(QStringView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x85) || c == QChar(0x2028) || c == QChar(0x2029) ||
           c == u'\v' || c == u'\f';
}

QString trimmedBlanks(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    while (end > start && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.mid(start, end - start).toString();
}

std::optional<qint64> idAfterComponent(const QUrl& url, const QString& prefix, const QString& component)
{
    if (!url.toString(QUrl::FullyEncoded).startsWith(prefix, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    const qsizetype at = parts.indexOf(component);
    if (at < 0 || at + 1 >= parts.size())
        return std::nullopt;
    return parseDecimal(parts[at + 1]);
}

struct Signature {
    const char* slogan;
    const char* query;
    bool get;
};

constexpr Signature kSignatures[4] = {
    {", the task manager for managers.", "b2", false},
    {", the to do list app for every platform.", "b3", false},
    {", the best task manager out there.", "b4", true},
    {", your second brain for tasks.", "c1", false},
};

QString signatureLink(const QString& productPage, const Signature& s)
{
    return productPage + (productPage.contains(u'?') ? u'&' : u'?') + QLatin1String(s.query);
}

int randomVariant()
{
    return int(QRandomGenerator::global()->bounded(4));
}

} // namespace

QColor Utils::colorWithHexColorString(const QString& text)
{
    return ColorString::colorWithHexColorString(text);
}

QColor Utils::textColorForOverdue(const Preferences& preferences)
{
    return textColorForOverdue(preferences.boolValue(QStringLiteral("kHidingItemIcons")));
}

QColor Utils::textColorForOverdue(bool hidingItemIcons)
{
    if (hidingItemIcons)
        return QColor::fromRgbF(0.7f, 0, 0, 1);
    return colorWithHexColorString(QStringLiteral("2C3539"));
}

QVariantList Utils::processOnDidLoadObjects(const QVariantList& objects)
{
    QVariantList flat;
    for (const QVariant& object : objects) {
        if (object.typeId() == QMetaType::QVariantList)
            flat.append(object.toList());
        else
            flat.append(object);
    }
    return flat;
}

void Utils::reportError(Alerts& alerts, const QString& message, const QString& informative)
{
    alerts.alert(message, informative, QStringLiteral("OK"), Alerts::Style::Informational);
}

QString Utils::stringByRemovingPrefix(const QString& text, const QString& prefix)
{
    return text.startsWith(prefix) ? text.mid(prefix.size()) : text;
}

QString Utils::stringByRemovingSuffix(const QString& text, const QString& suffix)
{
    return text.endsWith(suffix) ? text.left(text.size() - suffix.size()) : text;
}

QString Utils::firstLineWithContent(const QString& text)
{
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text[end]))
            ++end;
        const QString line = trimmedBlanks(QStringView(text).mid(start, end - start));
        if (!line.isEmpty())
            return line;
        start = end + 1;
    }
    return QString();
}

QString Utils::sanitizeFileNameString(const QString& text)
{
    QString result = text;
    result.removeIf([](QChar c) {
        return c == u'/' || c == u'\\' || c == u'?' || c == u'%' || c == u'*' || c == u'|' || c == u'"' ||
               c == u'<' || c == u'>';
    });
    return result;
}

bool Utils::validateEmail(const QString& text)
{
    // Top-level domains have long since outgrown four letters ("firm.consulting").
    static const QRegularExpression pattern(
        QStringLiteral("\\A(?:[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,})\\z"));
    return pattern.match(text).hasMatch();
}

QString Utils::validateRichEmail(const QString& text)
{
    static const QRegularExpression brackets(QStringLiteral("[<>]"));
    const QStringList pieces = text.split(brackets);
    QStringList pieceLengths;
    for (const QString& piece : pieces)
        pieceLengths.append(redacted(piece));
    qCDebug(lcUtil, "components: (%s)", qUtf8Printable(pieceLengths.join(QStringLiteral(", "))));
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (pieces[i].isEmpty())
            continue;
        return validateEmail(pieces[i]) ? pieces[i] : QString();
    }
    return QString();
}

std::optional<qint64> Utils::idFromURI(const QString& uri)
{
    const QStringList pieces = uri.split(u'/');
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (pieces[i].isEmpty())
            continue;
        // Only the last non-empty piece counts.
        return parseDecimal(pieces[i]);
    }
    return std::nullopt;
}

QString Utils::urlPrefixForItems(const QString& syncHost)
{
    return QStringLiteral("%1%2/api/v1/item/").arg(kScheme, syncHost);
}

QString Utils::urlPrefixForProjects(const QString& syncHost)
{
    return QStringLiteral("%1%2/api/v1/project/").arg(kScheme, syncHost);
}

QString Utils::QVWebUrlPrefixForProjects(const QString& syncBaseUrl)
{
    return QStringLiteral("%1/qvweb/pr/").arg(syncBaseUrl);
}

QUrl Utils::urlForItem(const store::ManagedObject& item, const QString& syncHost)
{
    const qint64 serverID = attribute(item, QStringLiteral("serverID")).toLongLong();
    if (serverID == 0)
        return QUrl();
    return QUrl(urlPrefixForItems(syncHost) + QString::number(serverID));
}

QUrl Utils::urlForProject(const store::ManagedObject& project, const QString& syncHost)
{
    const qint64 id = attribute(project, QStringLiteral("id_")).toLongLong();
    if (id < 1)
        return QUrl();
    return QUrl(urlPrefixForProjects(syncHost) + QString::number(id));
}

bool Utils::isSyncURL(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded).contains(QStringLiteral("/sync/"));
}

bool Utils::isBlankURL(const QUrl& url)
{
    const QString rest = url.toString(QUrl::FullyEncoded).mid(kScheme.size());
    return std::none_of(rest.begin(), rest.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

std::optional<qint64> Utils::itemIDFromURL(const QUrl& url, const QString& syncHost)
{
    return idAfterComponent(url, urlPrefixForItems(syncHost), QStringLiteral("item"));
}

std::optional<qint64> Utils::projectIDFromURL(const QUrl& url, const QString& syncHost)
{
    return idAfterComponent(url, urlPrefixForProjects(syncHost), QStringLiteral("project"));
}

QString Utils::signatureMessage(const QString& productPage)
{
    return signatureMessage(productPage, randomVariant());
}

QString Utils::signatureMessage(const QString& productPage, int variant)
{
    const Signature& s = kSignatures[std::clamp(variant, 0, 3)];
    const QString link = HtmlEscaping::stringByEscapingForHTML(signatureLink(productPage, s));
    return QStringLiteral("<p><br><br><i>%1<a href=\"%2\">Quadrivo</a>%3</i>\n")
        .arg(s.get ? QStringLiteral("Get ") : QString(), link, QLatin1String(s.slogan));
}

QString Utils::signatureMessageTextFormat(const QString& productPage)
{
    return signatureMessageTextFormat(productPage, randomVariant());
}

QString Utils::signatureMessageTextFormat(const QString& productPage, int variant)
{
    const Signature& s = kSignatures[std::clamp(variant, 0, 3)];
    QString slogan = QLatin1String(s.slogan);
    slogan.chop(1);
    return QStringLiteral("Quadrivo%1: %2\n").arg(slogan, signatureLink(productPage, s));
}

} // namespace qv
