#include "core/util/ValueTransformer.h"

#include <QString>

#include <cmath>
#include <limits>

namespace qv {

namespace {

int saturatedInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v); // truncates toward zero
}

// The leading "[blanks][sign]digits[.digits][e[sign]digits]" of a text.
QStringView leadingNumber(QStringView text, bool allowFraction)
{
    qsizetype p = 0;
    while (p < text.size() && text[p].isSpace())
        ++p;
    const qsizetype start = p;
    if (p < text.size() && (text[p] == u'+' || text[p] == u'-'))
        ++p;
    const auto digits = [&] {
        qsizetype n = 0;
        while (p < text.size() && text[p] >= u'0' && text[p] <= u'9')
            ++p, ++n;
        return n;
    };
    qsizetype count = digits();
    if (allowFraction) {
        if (p < text.size() && text[p] == u'.') {
            ++p;
            count += digits();
        }
        if (count > 0 && p < text.size() && (text[p] == u'e' || text[p] == u'E')) {
            const qsizetype mark = p;
            ++p;
            if (p < text.size() && (text[p] == u'+' || text[p] == u'-'))
                ++p;
            if (digits() == 0)
                p = mark;
        }
    }
    if (count == 0)
        return {};
    return text.mid(start, p - start);
}

double textNumber(const QString& text, bool allowFraction)
{
    const QStringView number = leadingNumber(text, allowFraction);
    if (number.isEmpty())
        return 0;
    return number.toDouble(); // C locale
}

} // namespace

int ValueTransformer::intValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    if (value.typeId() == QMetaType::QString)
        return saturatedInt(textNumber(value.toString(), false));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    bool ok = false;
    const double d = value.toDouble(&ok);
    return ok ? saturatedInt(d) : 0;
}

float ValueTransformer::floatValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    if (value.typeId() == QMetaType::QString)
        return float(textNumber(value.toString(), true));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    bool ok = false;
    const double d = value.toDouble(&ok);
    return ok ? float(d) : 0;
}

} // namespace qv
