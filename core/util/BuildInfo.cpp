#include "core/util/BuildInfo.h"

#include <QUrl>

#ifndef QV_BUILD_VERSION
#define QV_BUILD_VERSION "0.0.0"
#endif
#ifndef QV_BUILD_WEB_URL
#define QV_BUILD_WEB_URL ""
#endif
#ifndef QV_BUILD_SYNC_URL
#define QV_BUILD_SYNC_URL ""
#endif

namespace qv {

namespace {

QString originFrom(const char* variable, const char* buildDefault)
{
    QString origin = qEnvironmentVariable(variable).trimmed();
    if (origin.isEmpty())
        origin = QString::fromUtf8(buildDefault).trimmed();
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}

} // namespace

QString BuildInfo::displayName()
{
    return QStringLiteral("Quadrivo");
}

QString BuildInfo::version()
{
    return QStringLiteral(QV_BUILD_VERSION);
}

QString BuildInfo::desktopEntryName()
{
    return QStringLiteral("quadrivo.desktop");
}

QString BuildInfo::webOrigin()
{
    return originFrom("QUADRIVO_WEB_URL", QV_BUILD_WEB_URL);
}

QString BuildInfo::syncOrigin()
{
    return originFrom("QUADRIVO_SYNC_URL", QV_BUILD_SYNC_URL);
}

QString BuildInfo::syncHost(const QString& origin)
{
    const QUrl url(origin);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    return url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

} // namespace qv
