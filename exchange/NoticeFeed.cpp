#include "exchange/NoticeFeed.h"

namespace qv {

NoticeFeed& NoticeFeed::sharedInstance()
{
    static NoticeFeed feed;
    return feed;
}

QString NoticeFeed::noticesAddress(const QString& webOrigin)
{
    QString origin = webOrigin;
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin.isEmpty() ? QString() : origin + QStringLiteral("/notices/notices.json");
}

} // namespace qv
