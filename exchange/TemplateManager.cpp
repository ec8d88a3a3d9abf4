#include "exchange/TemplateManager.h"

#include "exchange/ExchangeLogging.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace qv {

namespace {

int percent(const QJsonValue& value)
{
    if (!value.isDouble())
        return 50;
    return std::clamp(value.toInt(50), 0, 100);
}

} // namespace

TemplateManager::TemplateManager(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcExchange, "cannot read the templates %s: %s", qUtf8Printable(resource),
                  qUtf8Printable(file.errorString()));
        return;
    }
    QString error;
    m_templates = parse(file.readAll(), &error);
    if (!error.isEmpty())
        qCWarning(lcExchange, "cannot read the templates %s: %s", qUtf8Printable(resource),
                  qUtf8Printable(error));
}

TemplateManager& TemplateManager::sharedInstance()
{
    static TemplateManager manager;
    return manager;
}

std::vector<TemplateManager::QuadrantTemplate> TemplateManager::parse(const QByteArray& json, QString* error)
{
    std::vector<QuadrantTemplate> templates;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                  : QStringLiteral("not a JSON array");
        return templates;
    }
    for (const QJsonValue& entry : document.array()) {
        const QJsonObject object = entry.toObject();
        QuadrantTemplate quadrantTemplate;
        quadrantTemplate.title = object.value(QStringLiteral("title")).toString().trimmed();
        if (quadrantTemplate.title.isEmpty())
            continue;
        quadrantTemplate.tooltip = object.value(QStringLiteral("tooltip")).toString();
        quadrantTemplate.textFirstQuadrant = object.value(QStringLiteral("textFirstQuadrant")).toString();
        quadrantTemplate.textSecondQuadrant = object.value(QStringLiteral("textSecondQuadrant")).toString();
        quadrantTemplate.textThirdQuadrant = object.value(QStringLiteral("textThirdQuadrant")).toString();
        quadrantTemplate.textFourthQuadrant = object.value(QStringLiteral("textFourthQuadrant")).toString();
        quadrantTemplate.centerX = percent(object.value(QStringLiteral("centerX")));
        quadrantTemplate.centerY = percent(object.value(QStringLiteral("centerY")));
        templates.push_back(std::move(quadrantTemplate));
    }
    return templates;
}

} // namespace qv
