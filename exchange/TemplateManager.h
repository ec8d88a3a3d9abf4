#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace qv {

// The built-in templates from the "templates" resource, in file order.
class TemplateManager {
public:
    // A built-in project template: the new project's name and quadrant titles.
    struct QuadrantTemplate {
        QString title; // the menu title and the new project's name
        QString tooltip;
        QString textFirstQuadrant;
        QString textSecondQuadrant;
        QString textThirdQuadrant;
        QString textFourthQuadrant;
        int centerX = 50; // the axis crossing, in percent
        int centerY = 50;
    };

    explicit TemplateManager(const QString& resource = QStringLiteral(":/templates.json"));
    // The process's manager over the application's resource, made on first use.
    static TemplateManager& sharedInstance();

    const std::vector<QuadrantTemplate>& getQuadrantTemplates() const { return m_templates; }

    // A JSON array of template objects; entries without a title are skipped. Empty (and the
    // reason in error) for text that is not such an array.
    static std::vector<QuadrantTemplate> parse(const QByteArray& json, QString* error = nullptr);

private:
    std::vector<QuadrantTemplate> m_templates;
};

} // namespace qv
