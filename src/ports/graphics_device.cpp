#include "ports/graphics_device.h"

namespace velmora {

Matrix3x2 mirrorTransform(float x, float w, float mirror) {
    const float k = (0.5f - mirror) * 2.0f;
    const float c = w * 0.5f + x;
    Matrix3x2 m;
    m.m11 = k;
    m.m12 = 0;
    m.m21 = 0;
    m.m22 = 1.0f;
    m.dx = c - k * c;
    m.dy = 0;
    return m;
}

void GraphicsDevice::drawPicture(const Bitmap& bitmap, const PicturePlacement& placed) {
    PicturePlacement p = placed;
    if (originX_ != 0 || originY_ != 0) {
        p.x = placed.x - originX_;
        p.y = placed.y - originY_;
    }
    const RectF dest{p.x, p.y, p.x + p.w, p.y + p.h};
    if (p.mirror == 0) {
        drawBitmap(bitmap, dest, p.opacity, p.mode);
        return;
    }
    setTransform(mirrorTransform(p.x, p.w, p.mirror));
    drawBitmap(bitmap, dest, p.opacity, p.mode);
    setTransform(Matrix3x2::identity());
}

}  // namespace velmora

namespace velmora {

void GraphicsDevice::pushClip(const RectF&) {}

void GraphicsDevice::popClip() {}

void GraphicsDevice::setOrigin(float x, float y) {
    originX_ = x;
    originY_ = y;
}

bool GraphicsDevice::targetLost() { return false; }

void GraphicsDevice::releaseTargets() {}

}  // namespace velmora
