#pragma once

#include "ui/board/ScreenCapture.h"

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QVariantMap>

#include <functional>
#include <optional>

class QScreen;
class QWidget;

namespace qv {

class Scheduler;
class SelectionOverlay;

// Screen capture with what the desktop offers: the desktop portal's Screenshot call (the user
// picks the region in the portal's own interface), else on X11 a full-screen overlay over a
// picture of the screen in which the user drags out the region. A menu still open (the one the
// capture was chosen from, say) is closed first, and the screen pictured once it has gone.
class DesktopScreenCapture final : public QObject, public ScreenCapture {
    Q_OBJECT
public:
    // How the screen is reached; by default the desktop's own ways.
    struct Desktop {
        // A picture of the whole screen; when empty, the window system's, which X11 alone gives.
        std::function<QPixmap(QScreen* screen)> grab;
        // Whether the desktop portal takes the picture; looked up on the session bus when unset.
        std::optional<bool> portal;
    };

    // scheduler: the wait for a closed menu to leave the screen.
    explicit DesktopScreenCapture(Scheduler& scheduler, Desktop desktop = {}, QObject* parent = nullptr);
    ~DesktopScreenCapture() override;

    bool isAvailable(QString* why) const override;
    void captureSelection(std::function<void(const QImage& image)> done) override;
    // The picture in which the region is dragged out, while it is shown.
    QWidget* overlay() const;

private slots:
    void portalResponse(uint response, const QVariantMap& results);

private:
    bool hasPortal() const;
    void showOverlay();
    void finish(const QImage& image);

    Scheduler& m_scheduler;
    Desktop m_desktop;
    mutable std::optional<bool> m_portal;
    std::function<void(const QImage&)> m_done;
    QString m_requestPath;
    QPointer<SelectionOverlay> m_overlay;
};

} // namespace qv
