#include "core/util/ColorString.h"

#include <QFloat16>
#include <QRgba64>

#include <algorithm>
#include <array>

namespace qv {

namespace {

// A colour keeps 16 bits per component (half floats for extended-range colours), so 0.5
// comes back as 0.500008. Each component is written as the shortest decimal that the colour
// stores the same way, or exactly k/255 for values of the 8-bit grid, which is what the
// written text would have held.
double componentValue(quint16 stored)
{
    if (stored % 257 == 0) {
        const int level = stored / 257;
        return level / 255.0;
    }
    const double exact = stored / 65535.0;
    for (int digits = 1; digits <= 6; ++digits) {
        const double candidate = QString::number(exact, 'g', digits).toDouble();
        if (qRound(candidate * 65535.0) == stored)
            return candidate;
    }
    return exact;
}

double extendedComponentValue(float stored)
{
    for (int digits = 1; digits <= 6; ++digits) {
        const double candidate = QString::number(double(stored), 'g', digits).toDouble();
        if (qfloat16(candidate) == qfloat16(stored))
            return candidate;
    }
    return stored;
}

struct Components {
    double red, green, blue, alpha;
};

Components componentsOf(const QColor& color)
{
    // Equal to its extended form only when it already is one (equality includes the colour model).
    if (color == color.toExtendedRgb())
        return {extendedComponentValue(color.redF()), extendedComponentValue(color.greenF()),
                extendedComponentValue(color.blueF()), extendedComponentValue(color.alphaF())};
    const QRgba64 c = color.toRgb().rgba64();
    return {componentValue(c.red()), componentValue(c.green()), componentValue(c.blue()),
            componentValue(c.alpha())};
}

// QString::asprintf formats numbers in the C locale, which the synced text needs.
QString formatComponents(const char* format, const QColor& color)
{
    const Components c = componentsOf(color);
    return QString::asprintf(format, c.red, c.green, c.blue, c.alpha);
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' ||
           c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85);
}

int hexDigitValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

class Scanner {
public:
    explicit Scanner(const QString& text) : m_text(text) {}

    void skipBlanks()
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    bool scanChar(QChar expected)
    {
        skipBlanks();
        if (atEnd() || m_text[m_pos] != expected)
            return false;
        ++m_pos;
        return true;
    }
    bool peekChar(QChar expected)
    {
        skipBlanks();
        return !atEnd() && m_text[m_pos] == expected;
    }
    // [sign] digits [. digits] [e [sign] digits], read at single precision.
    std::optional<double> scanFloat()
    {
        skipBlanks();
        qsizetype p = m_pos;
        const qsizetype start = p;
        if (p < m_text.size() && (m_text[p] == u'+' || m_text[p] == u'-'))
            ++p;
        qsizetype digits = 0;
        while (p < m_text.size() && isDigit(m_text[p]))
            ++p, ++digits;
        if (p < m_text.size() && m_text[p] == u'.') {
            ++p;
            while (p < m_text.size() && isDigit(m_text[p]))
                ++p, ++digits;
        }
        if (digits == 0)
            return std::nullopt;
        if (p < m_text.size() && (m_text[p] == u'e' || m_text[p] == u'E')) {
            qsizetype q = p + 1;
            if (q < m_text.size() && (m_text[q] == u'+' || m_text[q] == u'-'))
                ++q;
            if (q < m_text.size() && isDigit(m_text[q])) {
                while (q < m_text.size() && isDigit(m_text[q]))
                    ++q;
                p = q;
            }
        }
        bool ok = false;
        // QStringView::toDouble always uses the C locale.
        const double value = QStringView(m_text).mid(start, p - start).toDouble(&ok);
        if (!ok)
            return std::nullopt;
        m_pos = p;
        return double(float(value));
    }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
};

} // namespace

QString ColorString::stringFromColor(const QColor& color)
{
    return formatComponents("{%0.3f, %0.3f, %0.3f, %0.3f}", color);
}

QString ColorString::stringFromColorForTheme(const QColor& color)
{
    const Components c = componentsOf(color);
    return QString::asprintf("{%g, %g, %g, 1}", c.red, c.green, c.blue);
}

QString ColorString::stringFromColorForNewProject(const QColor& color)
{
    return formatComponents("{%f, %f, %f, %f}", color);
}

std::optional<QColor> ColorString::colorWithString(const QString& text)
{
    Scanner scanner(text);
    if (!scanner.scanChar(u'{'))
        return std::nullopt;
    std::array<double, 4> components{0, 0, 0, 1};
    int count = 0;
    const auto first = scanner.scanFloat();
    if (!first)
        return std::nullopt;
    components[count++] = *first;
    while (!scanner.peekChar(u'}')) {
        if (count == 4 || !scanner.scanChar(u','))
            return std::nullopt;
        const auto next = scanner.scanFloat();
        if (!next)
            return std::nullopt;
        components[count++] = *next;
    }
    scanner.scanChar(u'}');
    scanner.skipBlanks();
    if (!scanner.atEnd())
        return std::nullopt;
    // Colours outside 0-1 are kept (an extended-range colour); an alpha outside it has no
    // meaning and no representation, so it is held at the nearest end.
    return QColor::fromRgbF(float(components[0]), float(components[1]), float(components[2]),
                            std::clamp(float(components[3]), 0.0f, 1.0f));
}

QColor ColorString::colorWithHexColorString(const QString& text)
{
    qsizetype p = 0;
    while (p < text.size() && isBlank(text[p]))
        ++p;
    if (p + 1 < text.size() && text[p] == u'0' && (text[p + 1] == u'x' || text[p + 1] == u'X'))
        p += 2;
    quint32 value = 0;
    for (; p < text.size(); ++p) {
        const int digit = hexDigitValue(text[p]);
        if (digit < 0)
            break;
        value = (value << 4) | quint32(digit);
    }
    return QColor(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
}

QColor ColorString::textColorForBackground(const QColor& background, double threshold)
{
    // Components are held at single precision, so compare at that precision: a brightness
    // of exactly the threshold must not count as brighter.
    const float brightness = background.valueF();
    if (brightness > float(threshold))
        return QColor::fromRgbF(0, 0, 0, 1);
    return QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1);
}

} // namespace qv
