#pragma once

#include <QString>

namespace qv::PlainText {

// A tooltip that shows what a user or a teammate typed as it was typed: Qt takes a tooltip that
// looks like markup for rich text, so such a text is escaped and kept in its lines.
QString toolTip(const QString& text);
// The text of a menu item, a button or a check box that shows what a user or a teammate typed as
// it was typed: Qt takes an "&" there for the mark of a keyboard shortcut, so each is doubled.
QString menuText(const QString& text);

} // namespace qv::PlainText
