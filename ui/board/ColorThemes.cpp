#include "ui/board/ColorThemes.h"

#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "core/util/ValueTransformer.h"
#include "ui/board/BoardLogging.h"

#include <QFile>
#include <QRegularExpression>

namespace qv {

namespace {

bool isLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85);
}

QString trimmedOfBlanksAndLineEnds(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start].isSpace() || isLineEnd(text[start])))
        ++start;
    while (end > start && (text[end - 1].isSpace() || isLineEnd(text[end - 1])))
        --end;
    return text.mid(start, end - start);
}

std::optional<QStringList> splitInTokens(const QString& numbers, int expectedCount)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    const QStringList tokens = numbers.split(blanks, Qt::SkipEmptyParts);
    if (tokens.size() != expectedCount) {
        qCWarning(lcBoard, "ERROR: Theme string format requires %d numbers. %lu found", expectedCount,
                  static_cast<unsigned long>(tokens.size()));
        return std::nullopt;
    }
    return tokens;
}

QImage previewImage(const std::array<QColor, 4>& colors)
{
    QImage image(2, 2, QImage::Format_RGB888);
    for (int q = 0; q < 4; ++q) {
        const QColor c = colors[size_t(q)];
        // Each channel times 255, truncated.
        image.setPixel(q % 2, q / 2,
                       qRgb(int(c.redF() * 255.0f), int(c.greenF() * 255.0f), int(c.blueF() * 255.0f)));
    }
    return image;
}

} // namespace

const QString ColorThemeProducer::kResourceName = QStringLiteral("colorthemes");

std::optional<ColorTheme> ColorTheme::fromString(const QString& line)
{
    const QStringList parts = line.split(u':');
    if (parts.size() != 3) {
        qCWarning(lcBoard, "ERROR: String format requires 3 colon-separated tokens. %lu found",
                  static_cast<unsigned long>(parts.size()));
        return std::nullopt;
    }
    ColorTheme theme;
    const QChar format = parts[0].isEmpty() ? QChar() : parts[0][0];
    if (format == u'i' || format == u'd') {
        const auto tokens = splitInTokens(parts[1], 12);
        if (!tokens)
            return std::nullopt;
        for (int q = 0; q < 4; ++q) {
            std::array<float, 3> rgb{};
            for (int k = 0; k < 3; ++k) {
                const QString& token = (*tokens)[3 * q + k];
                rgb[size_t(k)] = format == u'i' ? float(ValueTransformer::intValue(token)) / 255.0f
                                                : ValueTransformer::floatValue(token);
            }
            theme.m_colors[size_t(q)] = QColor::fromRgbF(rgb[0], rgb[1], rgb[2], 1.0f);
        }
    } else if (format == u'h') {
        const auto tokens = splitInTokens(parts[1], 4);
        if (!tokens)
            return std::nullopt;
        for (int q = 0; q < 4; ++q)
            theme.m_colors[size_t(q)] = ColorString::colorWithHexColorString((*tokens)[q]);
    } else {
        qCWarning(lcBoard, "ERROR: String format must start with 'h', 'i' or 'd'. Got '%c'",
                  format.isNull() ? ' ' : format.toLatin1());
        return std::nullopt;
    }
    theme.m_name = parts[2];
    theme.m_image = previewImage(theme.m_colors);
    return theme;
}

QColor ColorTheme::colorNumber(int quadrant) const
{
    return quadrant >= 0 && quadrant < 4 ? m_colors[size_t(quadrant)] : QColor();
}

void ColorTheme::applyTo(TODOList& project) const
{
    project.setColorFirstQuadrant(ColorString::stringFromColorForTheme(m_colors[0]));
    project.setColorSecondQuadrant(ColorString::stringFromColorForTheme(m_colors[1]));
    project.setColorThirdQuadrant(ColorString::stringFromColorForTheme(m_colors[2]));
    project.setColorFourthQuadrant(ColorString::stringFromColorForTheme(m_colors[3]));
}

std::optional<ColorThemeProducer> ColorThemeProducer::fromFileNamed(const QString& name)
{
    QFile file(QStringLiteral(":/") + name + QStringLiteral(".txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcBoard, "ERROR: Cannot open theme file '%s.txt'", qUtf8Printable(name));
        return std::nullopt;
    }
    return fromText(QString::fromUtf8(file.readAll()));
}

std::optional<ColorThemeProducer> ColorThemeProducer::fromText(const QString& text)
{
    // A line end written as CR LF is one line end, not an empty line between two.
    static const QRegularExpression lineEnds(QStringLiteral("\\r\\n|[\\n\\r\\x{2028}\\x{2029}\\x{85}]"));
    ColorThemeProducer producer;
    for (const QString& line : trimmedOfBlanksAndLineEnds(text).split(lineEnds)) {
        std::optional<ColorTheme> theme = ColorTheme::fromString(line);
        if (!theme) {
            // The line is the file's own text, not the user's.
            qCWarning(lcBoard, "ERROR: Invalid color theme string: '%s'", qUtf8Printable(line));
            return std::nullopt;
        }
        producer.m_themes.push_back(std::move(*theme));
    }
    return producer;
}

} // namespace qv
