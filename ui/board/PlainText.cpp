#include "ui/board/PlainText.h"

#include <QTextDocument>

namespace qv::PlainText {

QString toolTip(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace qv::PlainText
