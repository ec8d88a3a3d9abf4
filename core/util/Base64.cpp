#include "core/util/Base64.h"

#include <array>

namespace qv {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every 7-bit code that is not in the alphabet (padding included) decodes as 0.
constexpr std::array<unsigned char, 128> makeDecodingTable()
{
    std::array<unsigned char, 128> table{};
    for (unsigned char i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

constexpr std::array<unsigned char, 128> kDecodingTable = makeDecodingTable();

unsigned char valueOf(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code < 128 ? kDecodingTable[code] : 0;
}

} // namespace

QString Base64::encode(const QByteArray& data)
{
    return encode(data.constData(), data.size());
}

QString Base64::encode(const char* bytes, qint64 length)
{
    if (length < 1 || !bytes)
        return QStringLiteral("");
    QByteArray out(4 * ((length + 2) / 3), Qt::Uninitialized);
    char* o = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    for (qint64 i = 0; i < length; i += 3) {
        const bool hasSecond = i + 1 < length;
        const bool hasThird = i + 2 < length;
        const quint32 group = (quint32(in[i]) << 16) | (hasSecond ? quint32(in[i + 1]) << 8 : 0u) |
                              (hasThird ? quint32(in[i + 2]) : 0u);
        *o++ = kAlphabet[(group >> 18) & 0x3f];
        *o++ = kAlphabet[(group >> 12) & 0x3f];
        *o++ = hasSecond ? kAlphabet[(group >> 6) & 0x3f] : '=';
        *o++ = hasThird ? kAlphabet[group & 0x3f] : '=';
    }
    return QString::fromLatin1(out);
}

std::optional<QByteArray> Base64::decode(const QString& text)
{
    if (text.isNull())
        return std::nullopt;
    QByteArray ascii;
    ascii.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() > 127)
            return std::nullopt;
        ascii.append(char(c.unicode()));
    }
    return decode(ascii.constData(), ascii.size());
}

std::optional<QByteArray> Base64::decode(const char* text, qint64 length)
{
    if (!text || length < 0 || length % 4 != 0)
        return std::nullopt;

    qint64 stripped = 0;
    while (stripped < length && text[length - 1 - stripped] == '=')
        ++stripped;
    const qint64 remaining = length - stripped;
    const qint64 outLength = (3 * length - 3 * stripped) / 4;

    QByteArray out(outLength, Qt::Uninitialized);
    char* o = out.data();
    qint64 written = 0;
    const auto put = [&](unsigned value) {
        if (written < outLength)
            o[written++] = char(value & 0xff);
    };
    for (qint64 i = 0; i < remaining; i += 4) {
        // A short last group is completed with "A" (value 0).
        const unsigned a = valueOf(text[i]);
        const unsigned b = i + 1 < remaining ? valueOf(text[i + 1]) : 0;
        const unsigned c = i + 2 < remaining ? valueOf(text[i + 2]) : 0;
        const unsigned d = i + 3 < remaining ? valueOf(text[i + 3]) : 0;
        put(a * 4 + b / 16);
        put((b % 16) * 16 + c / 4);
        put((c % 4) * 64 + d);
    }
    return out;
}

} // namespace qv
