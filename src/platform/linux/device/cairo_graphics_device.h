#pragma once
// The drawing device of the Linux build: pictures decoded with libpng (png_decoder.h), frames
// composed on a cairo image surface (premultiplied ARGB32, which is BGRA in memory on the
// little-endian machines we build for). Off screen it has no window: the window-target calls do
// nothing. Given a FramePresenter it shows its frames on a window.
//
// Scaling a picture every frame costs far more than blending it, so the device keeps, per
// bitmap, copies scaled to the sizes it is drawn at and blends those, where it can tell that the
// pixels come out exactly as cairo's scaled draw gives them; elsewhere it draws as cairo does.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ports/graphics_device.h"

namespace velmora {

// Defined with the device.
struct ScaledCopies;
struct ScaledCopy;
struct ScaledDraw;
struct CopyBudget;
struct NearestAxis;

// A decoded picture: an ARGB32 image surface owned by the bitmap, and the scaled copies the
// device made of it, which live as long as it does.
class CairoBitmap final : public Bitmap {
public:
    explicit CairoBitmap(cairo_surface_t* surface);
    ~CairoBitmap() override;
    CairoBitmap(const CairoBitmap&) = delete;
    CairoBitmap& operator=(const CairoBitmap&) = delete;

    std::int32_t pixelWidth() const override;
    std::int32_t pixelHeight() const override;
    cairo_surface_t* surface() const { return surface_; }
    // Every pixel has alpha 255; found once, when the bitmap is made.
    bool opaque() const { return opaque_; }

private:
    friend class CairoGraphicsDevice;
    cairo_surface_t* surface_;
    bool opaque_ = false;
    mutable std::unique_ptr<ScaledCopies> copies_;
};

// Where a device with a window shows its frames: a pixel buffer of the window's size in the
// frame's own format (premultiplied ARGB32, rows of bufferStride bytes), which the device fills
// with one copy of each finished frame, and the transfer of that buffer onto the window.
class FramePresenter {
public:
    virtual ~FramePresenter() = default;
    // Makes the buffer for this window and pixel size, replacing the previous one (whose pixels
    // the device no longer uses); false when it cannot.
    virtual bool createBuffer(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) = 0;
    virtual std::uint8_t* bufferPixels() = 0;
    virtual std::size_t bufferStride() const = 0;
    // Shows the buffer on the window.
    virtual void present() = 0;
};

class CairoGraphicsDevice final : public OffscreenGraphicsDevice {
public:
    CairoGraphicsDevice() = default;
    // A device that shows its frames through presenter, which must outlive it.
    explicit CairoGraphicsDevice(FramePresenter* presenter) : presenter_(presenter) {}
    ~CairoGraphicsDevice() override;
    CairoGraphicsDevice(const CairoGraphicsDevice&) = delete;
    CairoGraphicsDevice& operator=(const CairoGraphicsDevice&) = delete;

    // Nothing to make before the targets.
    DeviceSetup prepare() override { return DeviceSetup::DrawingFactory; }
    DeviceSetup createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    // The two steps of createTargets: the presenter's buffer on the window as the window target,
    // and a frame target of its size (without a window target: whether there is a frame target).
    bool createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight);
    bool createFrameTarget();

    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override;
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override;

    void beginDraw() override;
    void setTransform(const Matrix3x2& transform) override;
    void pushClip(const RectF& rect) override;
    void popClip() override;
    void clear(const ColorF& color) override;
    void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) override;
    // Ends drawing, then takes the finished frame (fetchFrameBitmap).
    bool endDraw() override;

    // Takes the frame target's pixels as the frame to show: the finished frame, or while drawing
    // what the target holds so far.
    bool fetchFrameBitmap();
    void presentFrameBitmap() override;

    bool createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool writeFramePng(const std::u16string& path) override;

    // The frame target and the last fetched frame (null until made); for tests and tools. With
    // a window target the fetched frame lies in the presenter's buffer.
    cairo_surface_t* frameSurface() const { return frame_; }
    cairo_surface_t* fetchedFrame() const { return fetched_; }

    // Drawing from scaled copies, and copying an opaque picture that covers the whole target in
    // place of the clear under it (on unless switched off). The pixels are the same either way;
    // the tests compare them.
    void setScaledCopies(bool enabled) { scaledCopies_ = enabled; }
    // Bytes held in the scaled copies of the bitmaps this device made copies of.
    std::size_t scaledCopyBytes() const;

private:
    bool replaceFrameSurface(std::uint32_t pixelWidth, std::uint32_t pixelHeight);
    void releaseFetched();

    void prepareTarget();
    bool drawFromCopy(const CairoBitmap& bitmap, const ScaledDraw& draw, double alpha, Interpolation mode);
    void drawCopy(const ScaledCopy& copy, double alpha);
    bool makeMovingCopy(const CairoBitmap& bitmap, ScaledCopies& copies, const ScaledDraw& draw, const NearestAxis& x,
                        const NearestAxis& y);
    bool makePlacedCopy(const CairoBitmap& bitmap, ScaledCopies& copies, const ScaledDraw& draw, Interpolation mode);
    bool copyFrame(cairo_surface_t* from, cairo_surface_t*& to);

    cairo_surface_t* frame_ = nullptr;
    cairo_t* context_ = nullptr;
    cairo_surface_t* fetched_ = nullptr;
    Matrix3x2 transform_ = Matrix3x2::identity();
    // The clip of pushClip, in target pixels, while clipping_.
    RectF clip_{};
    bool clipping_ = false;
    FramePresenter* presenter_ = nullptr;
    bool windowTarget_ = false;  // fetched_ wraps the presenter's buffer

    // The clear is made when the next draw needs it, so that an opaque picture covering the
    // whole target can take its place.
    bool clearPending_ = false;
    ColorF clearColor_;
    // A fetch hands the finished frame over by swapping the two buffers: the target is then the
    // older buffer, which holds what the target shows only once it is cleared or restored.
    bool finished_ = false;
    bool stale_ = false;

    bool scaledCopies_ = true;
    std::shared_ptr<CopyBudget> budget_;
    // Per draw: the source columns and rows a draw samples on the target.
    std::vector<std::int32_t> columns_, rows_;
};

}  // namespace velmora
