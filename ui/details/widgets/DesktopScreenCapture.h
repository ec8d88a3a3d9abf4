#pragma once

#include "ui/board/ScreenCapture.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <functional>

namespace qv {

class SelectionOverlay;

// Screen capture with what the desktop offers: the desktop portal's Screenshot call (the user
// picks the region in the portal's own interface), else on X11 a full-screen overlay over a
// picture of the screen in which the user drags out the region.
class DesktopScreenCapture final : public QObject, public ScreenCapture {
    Q_OBJECT
public:
    explicit DesktopScreenCapture(QObject* parent = nullptr);
    ~DesktopScreenCapture() override;

    bool isAvailable(QString* why) const override;
    void captureSelection(std::function<void(const QImage& image)> done) override;

private slots:
    void portalResponse(uint response, const QVariantMap& results);

private:
    bool hasPortal() const;
    void finish(const QImage& image);

    mutable std::optional<bool> m_portal;
    std::function<void(const QImage&)> m_done;
    QString m_requestPath;
    QPointer<SelectionOverlay> m_overlay;
};

} // namespace qv
