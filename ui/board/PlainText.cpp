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

QString menuText(const QString& text)
{
    QString doubled = text;
    return doubled.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace qv::PlainText
