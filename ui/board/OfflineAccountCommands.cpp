#include "ui/board/OfflineAccountCommands.h"

#include "ui/board/BoardLogging.h"

#include <QDesktopServices>

namespace qv {

QString OfflineAccountCommands::unavailableReason() const
{
    return QStringLiteral("This copy of Quadrivo has no sync server set (QUADRIVO_SYNC_URL).");
}

DesktopBrowser::DesktopBrowser(std::function<bool(const QUrl&)> opener) : m_opener(std::move(opener)) {}

void DesktopBrowser::showURLInInternalWebBrowser(const QUrl& url)
{
    qCDebug(lcBoard, "Opening a page of the service in the desktop's browser");
    const bool opened = m_opener ? m_opener(url) : QDesktopServices::openUrl(url);
    if (!opened)
        qCWarning(lcBoard, "The desktop could not open a page of the service");
}

} // namespace qv
