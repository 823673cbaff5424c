#pragma once
// The drawing device of the Linux build: pictures decoded with cairo's PNG reader, frames
// composed on a cairo image surface (premultiplied ARGB32, which is BGRA in memory on the
// little-endian machines we build for). It has no window: the window-target calls do nothing.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ports/graphics_device.h"

namespace velmora {

// A decoded picture: an ARGB32 image surface owned by the bitmap.
class CairoBitmap final : public Bitmap {
public:
    explicit CairoBitmap(cairo_surface_t* surface);
    ~CairoBitmap() override;
    CairoBitmap(const CairoBitmap&) = delete;
    CairoBitmap& operator=(const CairoBitmap&) = delete;

    std::int32_t pixelWidth() const override;
    std::int32_t pixelHeight() const override;
    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
};

// Width and height from a PNG's signature and IHDR chunk (the first 24 bytes of the file);
// false when the bytes are not the start of a PNG file.
bool readPngHeaderSize(const std::uint8_t* header, std::size_t size, std::uint32_t& width, std::uint32_t& height);

class CairoGraphicsDevice final : public OffscreenGraphicsDevice {
public:
    CairoGraphicsDevice() = default;
    ~CairoGraphicsDevice() override;
    CairoGraphicsDevice(const CairoGraphicsDevice&) = delete;
    CairoGraphicsDevice& operator=(const CairoGraphicsDevice&) = delete;

    bool createImagingFactory() override;
    bool createDrawingFactory() override;
    bool createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool createFrameTarget() override;

    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override;
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override;

    void beginDraw() override;
    void setTransform(const Matrix3x2& transform) override;
    void clear(const ColorF& color) override;
    void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) override;
    bool endDraw() override;

    bool fetchFrameBitmap() override;
    void presentFrameBitmap() override;

    bool createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool writeFramePng(const std::u16string& path) override;

    // The frame target and the last fetched frame (null until made); for tests and tools.
    cairo_surface_t* frameSurface() const { return frame_; }
    cairo_surface_t* fetchedFrame() const { return fetched_; }
    std::size_t scaledCopyBytes() const { return 0; }

private:
    std::unique_ptr<Bitmap> decode(cairo_read_func_t read, void* closure);

    cairo_surface_t* frame_ = nullptr;
    cairo_t* context_ = nullptr;
    cairo_surface_t* fetched_ = nullptr;
    Matrix3x2 transform_ = Matrix3x2::identity();
};

}  // namespace velmora
