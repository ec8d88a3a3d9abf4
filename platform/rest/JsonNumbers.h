#pragma once

#include <QJsonValue>
#include <QtGlobal>

#include <limits>

namespace qv::rest {

// Numbers in server replies, read at the edge: whatever lies outside the range its field can
// hold is a malformed reply, never converted (a cast out of range is undefined, and a clock or a
// page offset built on it would overflow further on).
struct JsonInteger {
    enum class Kind {
        None,       // absent, null, or no number at all
        Value,      // in range
        OutOfRange, // a number, but not one the field can hold
    };
    Kind kind = Kind::None;
    qint64 value = 0;

    bool isValue() const { return kind == Kind::Value; }
    bool isOutOfRange() const { return kind == Kind::OutOfRange; }
};

namespace json_range {
inline constexpr qint64 kMin = std::numeric_limits<qint64>::min();
inline constexpr qint64 kMax = std::numeric_limits<qint64>::max();
// Whole seconds since 1970 of the dates the application can show: the years 1 to 9999.
inline constexpr qint64 kFirstSecond = -62135596800;
inline constexpr qint64 kLastSecond = 253402300799;
// Counts and offsets of list replies; two of them add up without overflow.
inline constexpr qint64 kMaxCount = qint64(1) << 53;
} // namespace json_range

// A JSON number, or a text holding one in decimal; fractions are cut towards zero.
JsonInteger readJsonInteger(const QJsonValue& value, qint64 min = json_range::kMin,
                            qint64 max = json_range::kMax);

} // namespace qv::rest
