#pragma once

#include <QDateTime>
#include <QString>

namespace qv::rest {

// The edition word sent as "qv_platform" with every sync request.
inline constexpr char kEditionWord[] = "Halvern";

// "&qv_platform=Halvern&qv_version=<version>", for a query that already has parameters.
QString platformVersionPair(const QString& version);
// "?format=json&qv_platform=Halvern&qv_version=<version>", the whole query of a route.
QString routeSuffix(const QString& version);
// A date for a query string, in UTC: "2013-05-01%2010:00:00.000000-00:00". The blank is
// already encoded, so the result goes into a path as it is. Empty for an invalid date.
QString queryDate(const QDateTime& date);

} // namespace qv::rest
