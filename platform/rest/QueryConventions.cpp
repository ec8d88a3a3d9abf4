#include "platform/rest/QueryConventions.h"

#include <QTimeZone>
#include <QUrl>

namespace qv::rest {

namespace {

QString encoded(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

QString platformVersionPair(const QString& version)
{
    return QStringLiteral("&qv_platform=%1&qv_version=%2")
        .arg(encoded(QString::fromLatin1(kEditionWord)), encoded(version));
}

QString routeSuffix(const QString& version)
{
    return QStringLiteral("?format=json") + platformVersionPair(version);
}

QString queryDate(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    const QDateTime utc = date.toTimeZone(QTimeZone::utc());
    const QDate day = utc.date();
    const QTime time = utc.time();
    // Milliseconds are all a QDateTime holds; the last three of the six digits are zeros.
    return QString::asprintf("%04d-%02d-%02d%%20%02d:%02d:%02d.%03d000-00:00", day.year(), day.month(),
                             day.day(), time.hour(), time.minute(), time.second(), time.msec());
}

} // namespace qv::rest
