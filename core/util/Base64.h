#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qv {

// Standard-alphabet Base64 with "=" padding and no line breaks. Decoding is lenient: any
// character outside the alphabet counts as "A"; only a missing input or a length that is
// not a multiple of 4 is refused.
class Base64 {
public:
    Base64() = delete;

    static QString encode(const QByteArray& data);
    // Empty for a length below 1.
    static QString encode(const char* bytes, qint64 length);

    // nullopt for a null text, a length that is not a multiple of 4 or a character outside ASCII.
    static std::optional<QByteArray> decode(const QString& text);
    // nullopt for a null pointer or a length that is negative or not a multiple of 4.
    static std::optional<QByteArray> decode(const char* text, qint64 length);
};

} // namespace qv
