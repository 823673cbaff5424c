#include "desktop/frame.h"

#include "ground/records.h"
#include "ports/platform.h"

namespace velmora {

void beginFrame() {
    if (!desktopHost.frameTarget) return;
    GraphicsDevice& device = *platform().graphics;
    device.beginDraw();
    device.setTransform(Matrix3x2::identity());
    device.clear(ColorF{0, 0, 0, 1});
}

void presentFrame() {
    if (!desktopHost.frameTarget) return;
    GraphicsDevice& device = *platform().graphics;
    if (device.endDraw()) desktopHost.frameBitmap = true;
    if (desktopHost.frameBitmap && desktopHost.windowTarget) device.presentFrameBitmap();
    // Either end may report a lost device; the window procedure makes the targets again after
    // this frame.
    if (device.targetLost()) desktopHost.targetLost = true;
}

}  // namespace velmora
