#include "platform/rest/Router.h"

#include <QRegularExpression>
#include <QUrl>

#include <cmath>

namespace qv::rest {

namespace {

std::optional<QString> textOf(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9.2e18)
            return QString::number(qint64(number));
        return QString::number(number, 'g', 17);
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        break;
    }
    const QString text = value.toString();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

} // namespace

void Router::routeClass(const QString& entity, const QString& resourcePath)
{
    m_routes[entity].any = resourcePath;
}

void Router::routeClass(const QString& entity, const QString& resourcePath, Method method)
{
    m_routes[entity].byMethod.insert(int(method), resourcePath);
}

QString Router::resourcePattern(const QString& entity, Method method) const
{
    const auto it = m_routes.constFind(entity);
    if (it == m_routes.cend())
        return {};
    if (const auto own = it->byMethod.constFind(int(method)); own != it->byMethod.cend())
        return *own;
    return it->any.value_or(QString());
}

std::optional<QString> Router::resourcePathForObject(const QString& entity, Method method,
                                                     const AttributeLookup& lookup) const
{
    const QString pattern = resourcePattern(entity, method);
    if (pattern.isEmpty())
        return std::nullopt;
    return interpolate(pattern, lookup);
}

std::optional<QString> Router::interpolate(const QString& pattern, const AttributeLookup& lookup)
{
    static const QRegularExpression segment(QStringLiteral(":([A-Za-z_][A-Za-z0-9_]*)"));
    const qsizetype queryStart = pattern.indexOf(QLatin1Char('?'));
    const QString path = queryStart < 0 ? pattern : pattern.left(queryStart);
    const QString query = queryStart < 0 ? QString() : pattern.mid(queryStart);

    QString filled;
    qsizetype last = 0;
    auto matches = segment.globalMatch(path);
    while (matches.hasNext()) {
        const auto match = matches.next();
        const std::optional<QString> value = lookup ? textOf(lookup(match.captured(1))) : std::nullopt;
        if (!value)
            return std::nullopt;
        filled += path.mid(last, match.capturedStart() - last);
        filled += QString::fromLatin1(QUrl::toPercentEncoding(*value));
        last = match.capturedEnd();
    }
    filled += path.mid(last);
    return filled + query;
}

} // namespace qv::rest
