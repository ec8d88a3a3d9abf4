#pragma once

#include <QString>

#include <functional>

class QImage;

namespace qv {

// Lets the user pick a region of the screen and hands over its picture. The widgets layer
// implements it with what the desktop offers; tests use a fake.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    // false, with the reason the user is told, when this desktop offers no way to capture.
    virtual bool isAvailable(QString* why) const = 0;
    // done runs once with the picture, or with a null image when the user cancelled.
    virtual void captureSelection(std::function<void(const QImage& image)> done) = 0;
};

} // namespace qv
