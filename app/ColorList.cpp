#include "app/ColorList.h"

#include "core/util/ColorString.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace qv {

ColorList ColorList::parse(const QByteArray& asciiText)
{
    ColorList list;
    static const QRegularExpression lineBreaks(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = QString::fromLatin1(asciiText).split(lineBreaks, Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char(';'));
        if (pieces.size() != 2)
            continue;
        if (const std::optional<QColor> color = ColorString::colorWithString(pieces[0]))
            list.insertColor(*color, pieces[1]);
    }
    return list;
}

std::optional<ColorList> ColorList::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (std::any_of(bytes.begin(), bytes.end(),
                    [](char c) { return static_cast<unsigned char>(c) > 0x7f; })) {
        if (error)
            *error = QStringLiteral("%1 is not ASCII text").arg(path);
        return std::nullopt;
    }
    return parse(bytes);
}

} // namespace qv
