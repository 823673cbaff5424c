#pragma once
// The drawing device: decodes pictures into bitmaps and composes frames off screen, then shows
// each finished frame on the desktop window with one copy. On Windows it is Direct2D with WIC;
// on Linux a software surface. The core drives it in the order the desktop host lays down.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ports/handles.h"
#include "ports/picture_limits.h"

namespace velmora {

struct RectF {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
};

// Affine transform in Direct2D's row-vector layout: x' = x*m11 + y*m21 + dx.
struct Matrix3x2 {
    float m11 = 1, m12 = 0;
    float m21 = 0, m22 = 1;
    float dx = 0, dy = 0;
    static constexpr Matrix3x2 identity() { return {}; }
    friend bool operator==(const Matrix3x2&, const Matrix3x2&) = default;
};

struct ColorF {
    float r = 0, g = 0, b = 0, a = 1;
};

// Same values as D2D1_BITMAP_INTERPOLATION_MODE.
enum class Interpolation : std::int32_t { NearestNeighbor = 0, Linear = 1 };

// Where and how one picture of the scene is drawn: into the rectangle (x, y, w, h), at an
// opacity, with a filter, mirrored about the rectangle's vertical centre line by the factor
// mirror (0 leaves it, 0.5 narrows it to nothing, 1 flips it).
struct PicturePlacement {
    float x = 0, y = 0, w = 0, h = 0;
    float opacity = 1;
    float mirror = 0;
    Interpolation mode = Interpolation::NearestNeighbor;
};

// The transform that mirrors the rectangle (x, w) about its vertical centre line by the factor
// mirror.
Matrix3x2 mirrorTransform(float x, float w, float mirror);

// A decoded picture living on the device: premultiplied 32-bit BGRA pixels. Destroying it
// releases it; the ImageFrames of one load that name the same picture file share one.
class Bitmap {
public:
    virtual ~Bitmap() = default;
    virtual std::int32_t pixelWidth() const = 0;
    virtual std::int32_t pixelHeight() const = 0;
};

// How far a device's set-up stands, each stage on the one before: the objects a device needs
// before any target (on Windows the imaging and the drawing factory), then its window target and
// the off-screen frame target.
enum class DeviceSetup : std::int32_t { Nothing, ImagingFactory, DrawingFactory, WindowTarget, FrameTarget };

class GraphicsDevice {
public:
    virtual ~GraphicsDevice() = default;

    // Makes what the device needs before any target and does not have yet; DrawingFactory when it
    // is ready for targets. A step that fails ends the set-up: the objects made before it stay,
    // and the result names the last of them.
    virtual DeviceSetup prepare() = 0;
    // The window target of this pixel size on window, then the off-screen frame target compatible
    // with it (same size and format) with aliased (hard-edged) drawing. FrameTarget when both were
    // made, WindowTarget when only the first, DrawingFactory when neither.
    virtual DeviceSetup createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) = 0;

    // Pictures, decoded by content, frame 0, converted to premultiplied BGRA and created on the
    // frame target. Null when the file is missing, not a regular file, unreadable, undecodable,
    // beyond the limits of ports/picture_limits.h, or when there is no frame target.
    virtual std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) = 0;
    virtual std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) = 0;

    // Drawing on the frame target.
    virtual void beginDraw() = 0;
    virtual void setTransform(const Matrix3x2& transform) = 0;
    virtual void clear(const ColorF& color) = 0;
    // Draws the whole bitmap into dest (left, top, right, bottom) under the current transform.
    virtual void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) = 0;
    // Draws one picture of the scene. Unless a device knows better: one drawBitmap into the
    // placement's rectangle, with the mirror transform around it only for a mirrored picture.
    virtual void drawPicture(const Bitmap& bitmap, const PicturePlacement& placement);
    // Limits the draws that follow to rect (target pixels, given under the identity transform)
    // until popClip; scenes side by side use it so that none draws over its neighbour's monitor.
    // Clips do not nest. A device without clipping draws everything.
    virtual void pushClip(const RectF& rect);
    virtual void popClip();
    // Where the target's top left pixel lies in the coordinates of the draws that follow: a scene
    // laid out in screen coordinates over a window that starts left of or above the primary
    // monitor (origin negative) is drawn shifted by it. drawPicture applies it; 0, 0 at first.
    virtual void setOrigin(float x, float y);
    // Ends drawing and takes the finished frame as the one to show; false when the device reports
    // a failure or the frame cannot be taken (the frame taken before stays the one to show).
    virtual bool endDraw() = 0;

    // Copies the frame taken by the last successful endDraw onto the window target: begin, draw
    // at the origin at its own size with opacity 1 and linear interpolation, end (its result is
    // ignored).
    virtual void presentFrameBitmap() = 0;

    // True when the last endDraw failed because the targets must be made again (the device was
    // lost: after sleep, a driver update, a GPU reset). A device that cannot lose its targets
    // never says so.
    virtual bool targetLost();
    // Lets go of the window target, the frame target and the frame taken, so that they can be
    // made again on another window or at another size. Pictures made on the old frame target are
    // not drawn any more; they must be loaded again.
    virtual void releaseTargets();

protected:
    float originX_ = 0;
    float originY_ = 0;
};

}  // namespace velmora

namespace velmora {

// A drawing device with no window: frames are composed off screen and can be saved as PNG.
// The preview tools use it, and the tests compare its pictures.
class OffscreenGraphicsDevice : public GraphicsDevice {
public:
    // Makes what the device needs and an off-screen frame target of this pixel size, in place of
    // the window and frame targets.
    virtual bool createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) = 0;
    // Writes the last finished frame as a PNG file; false when it cannot.
    virtual bool writeFramePng(const std::u16string& path) = 0;
};

}  // namespace velmora
