#include "desktop/frame.h"

#include "desktop/desktop_host.h"
#include "ports/platform.h"

namespace velmora {

void beginFrame() {
    GraphicsDevice* device = platform().graphics;
    if (device == nullptr || !desktopHost.frameTarget) return;
    device->beginDraw();
    device->setTransform(Matrix3x2::identity());
    device->clear(ColorF{0, 0, 0, 1});
}

void presentFrame() {
    GraphicsDevice* device = platform().graphics;
    if (device == nullptr || !desktopHost.frameTarget) return;
    if (device->endDraw()) {
        if (device->fetchFrameBitmap()) desktopHost.frameBitmap = true;
    }
    if (desktopHost.frameBitmap && desktopHost.windowTarget) device->presentFrameBitmap();
}

}  // namespace velmora
