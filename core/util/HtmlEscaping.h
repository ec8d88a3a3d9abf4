#pragma once

#include <QString>

#include <span>

namespace qv {

// Escaping of text for HTML output (project export, mail bodies), per UTF-16 code unit.
class HtmlEscaping {
public:
    HtmlEscaping() = delete;

    struct Entity {
        const char16_t* escape; // e.g. u"&amp;"
        char16_t character;
    };

    // The markup characters and the HTML 4.01 special set, sorted by character.
    static std::span<const Entity> htmlTable();

    // Units found in the table (which must be sorted by character) become their escape;
    // with escapingUnicode, any other unit of 128 or above becomes "&#N;" (a character
    // outside the basic plane gives one reference per surrogate). An empty text comes back
    // as it is.
    static QString stringByEscapingHTML(const QString& text, std::span<const Entity> table,
                                        bool escapingUnicode);
    // The HTML table without numeric escaping.
    static QString stringByEscapingForHTML(const QString& text);
};

} // namespace qv
