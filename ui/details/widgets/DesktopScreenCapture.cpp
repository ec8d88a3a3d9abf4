#include "ui/details/widgets/DesktopScreenCapture.h"

#include "platform/Scheduler.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QUrl>
#include <QWidget>

namespace qv {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
// A closed menu leaves the screen when the window system and its effects are done with it.
constexpr qint64 kMenuGoneMs = 300;

// The open menus (a submenu and the menu it came from) go.
void closeMenus()
{
    for (int open = 0; open < 8; ++open) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup)
            return;
        popup->close();
    }
}

} // namespace

// A picture of the screen, shown over it; the region dragged out with the mouse is the capture.
class SelectionOverlay final : public QWidget {
public:
    SelectionOverlay(QScreen* screen, const QPixmap& picture, std::function<void(const QImage&)> done)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
          m_done(std::move(done)), m_picture(picture)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setCursor(Qt::CrossCursor);
        setGeometry(screen->geometry());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawPixmap(rect(), m_picture);
        painter.fillRect(rect(), QColor(0, 0, 0, 90));
        if (!m_selection.isNull()) {
            const qreal ratio = m_picture.devicePixelRatio();
            const QRect source(m_selection.topLeft() * ratio, m_selection.size() * ratio);
            painter.drawPixmap(m_selection, m_picture, source);
            painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
            painter.drawRect(m_selection.adjusted(0, 0, -1, -1));
        }
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_origin = event->position().toPoint();
        m_selection = QRect(m_origin, QSize());
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        m_selection = QRect(m_origin, event->position().toPoint()).normalized();
        update();
    }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        const qreal ratio = m_picture.devicePixelRatio();
        const QRect source(m_selection.topLeft() * ratio, m_selection.size() * ratio);
        end(m_selection.width() > 2 && m_selection.height() > 2 ? m_picture.copy(source).toImage()
                                                                : QImage());
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            end({});
    }

private:
    void end(const QImage& image)
    {
        auto done = std::move(m_done);
        close();
        if (done)
            done(image);
    }

    std::function<void(const QImage&)> m_done;
    QPixmap m_picture;
    QPoint m_origin;
    QRect m_selection;
};

DesktopScreenCapture::DesktopScreenCapture(Scheduler& scheduler, Desktop desktop, QObject* parent)
    : QObject(parent), m_scheduler(scheduler), m_desktop(std::move(desktop)), m_portal(m_desktop.portal)
{
}

DesktopScreenCapture::~DesktopScreenCapture()
{
    if (m_overlay)
        delete m_overlay.data();
}

bool DesktopScreenCapture::hasPortal() const
{
    if (!m_portal) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bool found =
            bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kPortalService);
        if (found) {
            QDBusMessage get = QDBusMessage::createMethodCall(
                kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Get"));
            get << kScreenshot << QStringLiteral("version");
            found = bus.call(get, QDBus::Block, 1000).type() == QDBusMessage::ReplyMessage;
        }
        m_portal = found;
    }
    return *m_portal;
}

bool DesktopScreenCapture::isAvailable(QString* why) const
{
    if (hasPortal() || m_desktop.grab || QGuiApplication::platformName() == QLatin1String("xcb"))
        return true;
    if (why)
        *why = tr("Capturing the screen needs the desktop portal's screenshot service or an X11 session.");
    return false;
}

void DesktopScreenCapture::captureSelection(std::function<void(const QImage& image)> done)
{
    if (m_done || !isAvailable(nullptr)) {
        if (done)
            done({});
        return;
    }
    m_done = std::move(done);
    // The menu the capture was chosen from is no part of what is captured.
    closeMenus();
    if (!hasPortal()) {
        m_scheduler.after(kMenuGoneMs, this, [this] { showOverlay(); });
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString token = QStringLiteral("quadrivo%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    m_requestPath = QStringLiteral("%1/request/%2/%3").arg(kPortalPath, sender, token);
    bus.connect(kPortalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"), this, SLOT(portalResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenshot,
                                                       QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), true},
                        {QStringLiteral("modal"), true}};
    if (bus.call(call, QDBus::Block, 5000).type() != QDBusMessage::ReplyMessage)
        finish({});
}

QWidget* DesktopScreenCapture::overlay() const
{
    return m_overlay;
}

void DesktopScreenCapture::showOverlay()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!m_done || !screen) {
        finish({});
        return;
    }
    const QPixmap picture = m_desktop.grab ? m_desktop.grab(screen) : screen->grabWindow(0);
    m_overlay = new SelectionOverlay(screen, picture, [this](const QImage& image) { finish(image); });
    m_overlay->show();
    m_overlay->activateWindow();
}

void DesktopScreenCapture::portalResponse(uint response, const QVariantMap& results)
{
    QDBusConnection::sessionBus().disconnect(
        kPortalService, m_requestPath, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Response"), this, SLOT(portalResponse(uint, QVariantMap)));
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    finish(response == 0 && uri.isLocalFile() ? QImage(uri.toLocalFile()) : QImage());
}

void DesktopScreenCapture::finish(const QImage& image)
{
    auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(image);
}

} // namespace qv
