#include "platform/rest/JsonNumbers.h"

#include <QString>
#include <QVariant>

#include <cmath>

namespace qv::rest {

namespace {

JsonInteger inRange(qint64 n, qint64 min, qint64 max)
{
    if (n < min || n > max)
        return {JsonInteger::Kind::OutOfRange, 0};
    return {JsonInteger::Kind::Value, n};
}

JsonInteger fromDouble(double d, qint64 min, qint64 max)
{
    // 2^63 is exact as a double; every finite double below it and above -2^63 casts safely.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(d) || d >= kLimit || d < -kLimit)
        return {JsonInteger::Kind::OutOfRange, 0};
    return inRange(qint64(d), min, max);
}

} // namespace

JsonInteger readJsonInteger(const QJsonValue& value, qint64 min, qint64 max)
{
    if (value.isDouble()) {
        // Integers are kept exactly when they fit in 64 bits, larger ones only as a double.
        const QVariant exact = value.toVariant();
        if (exact.typeId() == QMetaType::LongLong || exact.typeId() == QMetaType::Int)
            return inRange(exact.toLongLong(), min, max);
        return fromDouble(value.toDouble(), min, max);
    }
    if (value.isString()) {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (ok)
            return inRange(n, min, max);
        // Digits beyond 64 bits fail as an integer but read as a (large) double.
        const double d = text.toDouble(&ok);
        if (ok)
            return fromDouble(d, min, max);
    }
    return {};
}

} // namespace qv::rest
