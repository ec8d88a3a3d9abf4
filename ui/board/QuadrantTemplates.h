#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace qv {

// A built-in board layout a new project can start from.
struct QuadrantTemplate {
    QString title; // the menu title and the new project's name
    QString tooltip;
    std::array<QString, 4> quadrantTitles;
    int centerX = 50; // the axis crossing, percent
    int centerY = 50;
};

// The built-in templates of the resource "templates" (a JSON array of objects with "title",
// "tooltip", "textFirstQuadrant" .. "textFourthQuadrant", "centerX", "centerY"), in file order.
class QuadrantTemplates {
public:
    QuadrantTemplates() = delete;

    static const char* const kResource; // ":/templates.json"

    // Entries without a title are skipped; an unreadable file gives none.
    static std::vector<QuadrantTemplate> parse(const QByteArray& json);
    static std::vector<QuadrantTemplate> load(const QString& path = QString::fromLatin1(kResource));
};

} // namespace qv
