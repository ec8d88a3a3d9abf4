#include "ui/board/QuadrantTemplates.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qv {

const char* const QuadrantTemplates::kResource = ":/templates.json";

std::vector<QuadrantTemplate> QuadrantTemplates::parse(const QByteArray& json)
{
    std::vector<QuadrantTemplate> templates;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    for (const QJsonValue& value : document.array()) {
        const QJsonObject object = value.toObject();
        QuadrantTemplate entry;
        entry.title = object.value(QStringLiteral("title")).toString();
        if (entry.title.isEmpty())
            continue;
        entry.tooltip = object.value(QStringLiteral("tooltip")).toString();
        const char* keys[] = {"textFirstQuadrant", "textSecondQuadrant", "textThirdQuadrant",
                              "textFourthQuadrant"};
        for (size_t q = 0; q < 4; ++q)
            entry.quadrantTitles[q] = object.value(QLatin1String(keys[q])).toString();
        entry.centerX = object.value(QStringLiteral("centerX")).toInt(50);
        entry.centerY = object.value(QStringLiteral("centerY")).toInt(50);
        templates.push_back(entry);
    }
    return templates;
}

std::vector<QuadrantTemplate> QuadrantTemplates::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

} // namespace qv
