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
#include <pixman.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/linux/device/frame_damage.h"
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
    // Whether every pixel is opaque is already known (the decoder saw every alpha).
    CairoBitmap(cairo_surface_t* surface, bool opaque);
    ~CairoBitmap() override;
    CairoBitmap(const CairoBitmap&) = delete;
    CairoBitmap& operator=(const CairoBitmap&) = delete;

    std::int32_t pixelWidth() const override;
    std::int32_t pixelHeight() const override;
    cairo_surface_t* surface() const { return surface_; }
    // Every pixel has alpha 255; found once, when the bitmap is made.
    bool opaque() const { return opaque_; }
    // Never the same for two bitmaps of one process (an address may be reused).
    std::uint64_t identity() const { return identity_; }

private:
    friend class CairoGraphicsDevice;
    cairo_surface_t* surface_;
    bool opaque_ = false;
    std::uint64_t identity_;
    mutable std::unique_ptr<ScaledCopies> copies_;
};

// Where a device with a window shows its frames: two pixel buffers of the window's size in the
// frame's own format (premultiplied ARGB32, rows of bufferStride bytes), which the device draws
// its frames into in turn, and the transfer of one of them onto the window. The window system
// may go on reading a buffer after present returns; the device draws into a buffer only while
// it is free, so that a frame costs no copy of its own and never waits for the window system.
class FramePresenter {
public:
    static constexpr int kBuffers = 2;
    virtual ~FramePresenter() = default;
    // Makes the buffers for this window and pixel size, replacing the previous ones (whose pixels
    // the device no longer uses); false when it cannot.
    virtual bool createBuffers(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) = 0;
    virtual std::uint8_t* bufferPixels(int buffer) = 0;
    virtual std::size_t bufferStride() const = 0;
    // Whether the window system is done reading the buffer, which may then be drawn into.
    virtual bool bufferFree(int buffer) = 0;
    // Shows the buffer on the window: the pixels in the boxes changed (they may overlap), and
    // elsewhere the buffer holds what the window shows already, the buffer presented before. The
    // first present of a window, and one after the window lost its pixels, has one box over the
    // whole buffer; a present with no box changes nothing.
    virtual void present(int buffer, std::span<const PixelBox> changed) = 0;
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
    // The two steps of createTargets: the presenter's buffers on the window, one the frame target
    // and the other the frame shown; then whether there is a frame target.
    bool createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight);
    bool createFrameTarget() const { return frame_ != nullptr; }

    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override;
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override;

    // With a window target, a frame whose buffer the window system still reads is skipped: nothing
    // of it is drawn, its endDraw fails and its present shows nothing new.
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
    // Shows the fetched frame on the window (after a skipped frame: nothing): the pixels where it
    // differs from the frame shown before; all of it when it was shown already (the window may
    // have lost its pixels: uncovered, exposed).
    void presentFrameBitmap() override;
    // The last frame was skipped and none has been drawn since: the window shows an older scene.
    bool owesFrame() const { return owed_; }
    std::uint64_t skippedFrames() const { return skippedFrames_; }
    // With a window target: the pixels drawn and the pixels handed to the window, over all the
    // frames so far (a whole frame counts all of its pixels).
    std::uint64_t drawnPixels() const { return drawnPixels_; }
    std::uint64_t presentedPixels() const { return presentedPixels_; }
    // Drawing only where a frame differs from the one its buffer holds (on unless switched off;
    // with a window target). The pixels are the same either way; the tests compare them.
    void setPartialRedraw(bool enabled) { partialRedraw_ = enabled; }

    bool createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool writeFramePng(const std::u16string& path) override;

    // The frame target and the last fetched frame (null until made); for tests and tools. With
    // a window target both lie in the presenter's buffers.
    cairo_surface_t* frameSurface() const { return frame_; }
    cairo_surface_t* fetchedFrame() const { return fetched_; }

    // Drawing from scaled copies, and copying an opaque picture that covers the whole target in
    // place of the clear under it (on unless switched off). The pixels are the same either way;
    // the tests compare them.
    void setScaledCopies(bool enabled) { scaledCopies_ = enabled; }
    // Bytes held in the scaled copies of the bitmaps this device made copies of.
    std::size_t scaledCopyBytes() const;

private:
    struct Replay;
    bool replaceFrameSurface(std::uint32_t pixelWidth, std::uint32_t pixelHeight);
    void releaseTargetSurfaces();
    int bufferOf(cairo_surface_t* surface) const { return surface == buffers_[0] ? 0 : 1; }

    void prepareTarget();
    void drawNow(const CairoBitmap& bitmap, const RectF& dest, float opacity, Interpolation mode);
    void recordDraw(const CairoBitmap& bitmap, const RectF& dest, float opacity, Interpolation mode);
    bool findMovingCopy(const CairoBitmap& bitmap, const RectF& dest, Replay& replay, PixelBox& placed) const;
    void makeRecordedFrame();
    void replayDraws(const PixelBox* box);
    void stopRecording();
    bool drawFromCopy(const CairoBitmap& bitmap, const ScaledDraw& draw, double alpha, Interpolation mode);
    void drawCopy(const ScaledCopy& copy, double alpha);
    void blendCopy(const ScaledCopy& copy, double alpha);
    pixman_image_t* targetImage();
    void dropTargetImage();
    void drawRuns(const ScaledCopy& copy);
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
    // frame_ and fetched_ wrap the presenter's buffers, which are these surfaces.
    bool windowTarget_ = false;
    cairo_surface_t* buffers_[FramePresenter::kBuffers] = {};
    bool skipped_ = false;
    bool owed_ = false;
    std::uint64_t skippedFrames_ = 0;

    // The clear is made when the next draw needs it, so that an opaque picture covering the
    // whole target can take its place.
    bool clearPending_ = false;
    ColorF clearColor_;
    // A fetch hands the finished frame over by swapping the two buffers (with a window target,
    // the presenter's): the target is then the older buffer, which holds what the target shows
    // only once it is cleared or restored.
    bool finished_ = false;
    bool stale_ = false;

    // With a window target a frame's draws are recorded and made at its end: where its buffer
    // holds a frame made by mostly the same draws, only the boxes where the two differ are drawn.
    // Each buffer's record says what its pixels are, shown_ what the window shows.
    bool partialRedraw_ = true;
    bool recording_ = false;
    FrameRecord recorded_;
    // Per recorded draw: what it draws, and the moving copy that serves it, found when it was
    // recorded (while the bitmap's copies stay as they were, it is drawn from it straight).
    struct Replay {
        const CairoBitmap* bitmap = nullptr;
        RectF dest;
        ScaledCopies* copies = nullptr;
        std::uint64_t generation = 0;
        std::size_t copy = 0;
        std::int64_t originX = 0, originY = 0;
    };
    std::vector<Replay> replays_;
    FrameRecord held_[FramePresenter::kBuffers];
    FrameRecord shown_;
    // A frame was finished since the last present.
    bool freshFrame_ = false;
    FrameDamage damage_;
    std::vector<PixelBox> presentBoxes_;
    // The frame target as pixman sees it: blends of copies go to pixman straight, as cairo would
    // hand them on (made for the target at hand).
    pixman_image_t* targetImage_ = nullptr;
    cairo_surface_t* targetImageOf_ = nullptr;
    // Within a recorded frame the target is flushed once before its draws and marked dirty once
    // after them, not around each draw that writes its pixels directly.
    bool directAccess_ = false;
    // While a box is redrawn, nothing outside it is touched.
    bool boxClipping_ = false;
    PixelBox box_;
    std::uint64_t drawnPixels_ = 0;
    std::uint64_t presentedPixels_ = 0;

    bool scaledCopies_ = true;
    std::shared_ptr<CopyBudget> budget_;
    // Per draw: the source columns and rows a draw samples on the target.
    std::vector<std::int32_t> columns_, rows_;
};

}  // namespace velmora
