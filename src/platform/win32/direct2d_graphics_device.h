#pragma once
// The drawing device of the Windows build: pictures decoded with the Windows Imaging Component,
// frames composed with Direct2D. The program's device draws into a target compatible with the
// desktop window's target and copies each frame to the window; the off-screen device of the
// tools draws into a WIC bitmap in software and saves it as PNG.
#include <d2d1.h>
#include <wincodec.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "com_ptr.h"
#include "ports/graphics_device.h"

namespace velmora::win32 {

// A decoded picture: the Direct2D bitmap, released with this object.
class Direct2DBitmap final : public Bitmap {
public:
    Direct2DBitmap(ComPtr<ID2D1Bitmap> bitmap, std::int32_t width, std::int32_t height)
        : bitmap_(std::move(bitmap)), width_(width), height_(height) {}

    std::int32_t pixelWidth() const override { return width_; }
    std::int32_t pixelHeight() const override { return height_; }
    ID2D1Bitmap* bitmap() const { return bitmap_.get(); }

private:
    ComPtr<ID2D1Bitmap> bitmap_;
    std::int32_t width_;
    std::int32_t height_;
};

class Direct2DGraphicsDevice final : public OffscreenGraphicsDevice {
public:
    // The factories not made yet: the imaging factory, then the drawing factory.
    DeviceSetup prepare() override;
    // The window target, then the compatible frame target.
    DeviceSetup createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;

    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string& path) override;
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t* data, std::size_t size) override;

    void beginDraw() override;
    void setTransform(const Matrix3x2& transform) override;
    void clear(const ColorF& color) override;
    void pushClip(const RectF& rect) override;
    void popClip() override;
    void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) override;
    // EndDraw on the frame target, then, when it succeeded, its bitmap as the frame to show.
    bool endDraw() override;
    void presentFrameBitmap() override;
    bool targetLost() override { return targetLost_; }
    void releaseTargets() override;

    bool createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) override;
    bool writeFramePng(const std::u16string& path) override;

private:
    // Direct2D's life cycle, in the order the desktop's set-up and every frame go through it.
    bool createImagingFactory();
    bool createDrawingFactory();
    bool createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight);
    bool createFrameTarget();
    bool fetchFrameBitmap();

    std::unique_ptr<Bitmap> decodeFirstFrame(IWICBitmapDecoder* decoder);

    ComPtr<IWICImagingFactory> wicFactory_;
    ComPtr<ID2D1Factory> d2dFactory_;
    ComPtr<ID2D1HwndRenderTarget> windowTarget_;
    // The target every picture is created on and every frame drawn into: the compatible bitmap
    // target of the window, or the WIC bitmap target of the off-screen device.
    ComPtr<ID2D1RenderTarget> frameTarget_;
    // A clip is pushed on frameTarget_ (pushes and pops must pair within one draw).
    bool clipPushed_ = false;
    ComPtr<ID2D1BitmapRenderTarget> frameBitmapTarget_;
    ComPtr<ID2D1Bitmap> frameBitmap_;
    // Off-screen device only: the pixels behind frameTarget_, and whether a finished frame has
    // been taken from them.
    ComPtr<IWICBitmap> offscreenPixels_;
    bool offscreenFrameFetched_ = false;
    // An end of drawing reported D2DERR_RECREATE_TARGET; cleared when the targets go.
    bool targetLost_ = false;
};

}  // namespace velmora::win32
