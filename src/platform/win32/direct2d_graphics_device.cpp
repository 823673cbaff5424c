#include "direct2d_graphics_device.h"

#include "platform/host.h"

#include <windows.h>
#include <objbase.h>

#include <limits>

#include "wic_compat.h"
#include "wide_text.h"

namespace velmora::win32 {

namespace {

// Off-screen frames are bounded like pictures, so a mistaken size cannot allocate without bound.
constexpr std::uint32_t kMaxOffscreenSide = 16384;

// MinGW spells the code as an unsigned number.
constexpr HRESULT kRecreateTarget = static_cast<HRESULT>(D2DERR_RECREATE_TARGET);

}  // namespace

DeviceSetup Direct2DGraphicsDevice::prepare() {
    if (!wicFactory_ && !createImagingFactory()) return DeviceSetup::Nothing;
    if (!d2dFactory_ && !createDrawingFactory()) return DeviceSetup::ImagingFactory;
    return DeviceSetup::DrawingFactory;
}

DeviceSetup Direct2DGraphicsDevice::createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (!createWindowTarget(window, pixelWidth, pixelHeight)) return DeviceSetup::DrawingFactory;
    return createFrameTarget() ? DeviceSetup::FrameTarget : DeviceSetup::WindowTarget;
}

bool Direct2DGraphicsDevice::createImagingFactory() {
    return SUCCEEDED(CoCreateInstance(kClsidWicImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(wicFactory_.put())));
}

bool Direct2DGraphicsDevice::createDrawingFactory() {
    return SUCCEEDED(D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, IID_ID2D1Factory, nullptr,
                                       reinterpret_cast<void**>(d2dFactory_.put())));
}

bool Direct2DGraphicsDevice::createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (!d2dFactory_) return false;
    // 96 DPI whatever the display's scaling: the program is aware of each monitor's scaling and
    // lays its scenes out in physical pixels, so one drawing unit must stay one pixel (at the
    // default, the desktop's DPI, a 150 % display would enlarge every draw by half again). The
    // frame target made from this one inherits it.
    const D2D1_RENDER_TARGET_PROPERTIES properties =
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), 96.0f, 96.0f);
    const D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties = D2D1::HwndRenderTargetProperties(
        reinterpret_cast<HWND>(window), D2D1::SizeU(pixelWidth, pixelHeight), D2D1_PRESENT_OPTIONS_NONE);
    return SUCCEEDED(d2dFactory_->CreateHwndRenderTarget(&properties, &windowProperties, windowTarget_.put()));
}

bool Direct2DGraphicsDevice::createFrameTarget() {
    if (!windowTarget_) return false;
    if (FAILED(windowTarget_->CreateCompatibleRenderTarget(nullptr, nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                                                           frameBitmapTarget_.put()))) {
        return false;
    }
    frameBitmapTarget_->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    frameTarget_ = frameBitmapTarget_;
    return true;
}

std::unique_ptr<Bitmap> Direct2DGraphicsDevice::loadPictureFile(const std::u16string& path) {
    if (!wicFactory_ || !frameTarget_) return nullptr;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(wicFactory_->CreateDecoderFromFilename(toWide(path).c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                      decoder.put()))) {
        return nullptr;
    }
    return decodeFirstFrame(decoder.get());
}

std::unique_ptr<Bitmap> Direct2DGraphicsDevice::loadPictureBytes(const std::uint8_t* data, std::size_t size) {
    if (!wicFactory_ || !frameTarget_ || data == nullptr || size == 0) return nullptr;
    if (size > std::numeric_limits<DWORD>::max()) return nullptr;
    // The stream reads the caller's buffer in place; it must outlive the decoder, so it is
    // released after it (members of this scope are destroyed in reverse order).
    ComPtr<IWICStream> stream;
    if (FAILED(wicFactory_->CreateStream(stream.put()))) return nullptr;
    if (FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)))) return nullptr;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(wicFactory_->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put()))) {
        return nullptr;
    }
    return decodeFirstFrame(decoder.get());
}

std::unique_ptr<Bitmap> Direct2DGraphicsDevice::decodeFirstFrame(IWICBitmapDecoder* decoder) {
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put()))) return nullptr;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame->GetSize(&width, &height))) return nullptr;
    // Refused before any pixel is decoded: an empty or oversized picture never allocates. The
    // scaler and the converter below only pull pixels when the bitmap is created.
    const auto maxSide = static_cast<UINT>(kMaxPictureSide);
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) return nullptr;
    if (static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height) > kMaxPicturePixels) return nullptr;

    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(wicFactory_->CreateBitmapScaler(scaler.put()))) return nullptr;
    if (FAILED(scaler->Initialize(frame.get(), width, height, kWicInterpolationHighQualityCubic))) return nullptr;

    ComPtr<IWICFormatConverter> converter;
    if (FAILED(wicFactory_->CreateFormatConverter(converter.put()))) return nullptr;
    if (FAILED(converter->Initialize(scaler.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }

    ComPtr<ID2D1Bitmap> bitmap;
    if (FAILED(frameTarget_->CreateBitmapFromWicBitmap(converter.get(), nullptr, bitmap.put()))) return nullptr;
    return std::make_unique<Direct2DBitmap>(std::move(bitmap), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
}

void Direct2DGraphicsDevice::beginDraw() {
    if (frameTarget_) frameTarget_->BeginDraw();
}

void Direct2DGraphicsDevice::setTransform(const Matrix3x2& transform) {
    if (!frameTarget_) return;
    const D2D1_MATRIX_3X2_F matrix = D2D1::Matrix3x2F(transform.m11, transform.m12, transform.m21, transform.m22, transform.dx, transform.dy);
    frameTarget_->SetTransform(&matrix);
}

void Direct2DGraphicsDevice::clear(const ColorF& color) {
    if (!frameTarget_) return;
    const D2D1_COLOR_F value = D2D1::ColorF(color.r, color.g, color.b, color.a);
    frameTarget_->Clear(&value);
}

void Direct2DGraphicsDevice::pushClip(const RectF& rect) {
    if (!frameTarget_ || clipPushed_) return;
    const D2D1_RECT_F clip = D2D1::RectF(rect.left, rect.top, rect.right, rect.bottom);
    frameTarget_->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_ALIASED);
    clipPushed_ = true;
}

void Direct2DGraphicsDevice::popClip() {
    if (!frameTarget_ || !clipPushed_) return;
    frameTarget_->PopAxisAlignedClip();
    clipPushed_ = false;
}

void Direct2DGraphicsDevice::drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) {
    if (!frameTarget_) return;
    // Only this device's bitmaps can be drawn here; anything else is skipped.
    const auto* picture = dynamic_cast<const Direct2DBitmap*>(&bitmap);
    if (picture == nullptr || picture->bitmap() == nullptr) return;
    const D2D1_RECT_F rect = D2D1::RectF(dest.left, dest.top, dest.right, dest.bottom);
    frameTarget_->DrawBitmap(picture->bitmap(), &rect, opacity, static_cast<D2D1_BITMAP_INTERPOLATION_MODE>(mode), nullptr);
}

bool Direct2DGraphicsDevice::endDraw() {
    if (!frameTarget_) return false;
    const HRESULT result = frameTarget_->EndDraw(nullptr, nullptr);
    if (result == kRecreateTarget) targetLost_ = true;
    return SUCCEEDED(result) && fetchFrameBitmap();
}

bool Direct2DGraphicsDevice::fetchFrameBitmap() {
    if (offscreenPixels_) {
        // The WIC bitmap behind the off-screen target already holds the finished frame.
        offscreenFrameFetched_ = true;
        return true;
    }
    if (!frameBitmapTarget_) return false;
    ComPtr<ID2D1Bitmap> bitmap;
    if (FAILED(frameBitmapTarget_->GetBitmap(bitmap.put())) || !bitmap) return false;
    frameBitmap_ = std::move(bitmap);
    return true;
}

void Direct2DGraphicsDevice::presentFrameBitmap() {
    if (!windowTarget_ || !frameBitmap_) return;
    windowTarget_->BeginDraw();
    windowTarget_->DrawBitmap(frameBitmap_.get(), nullptr, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    // The window target is where a lost device shows first.
    if (windowTarget_->EndDraw(nullptr, nullptr) == kRecreateTarget) targetLost_ = true;
}

void Direct2DGraphicsDevice::releaseTargets() {
    frameBitmap_.reset();
    frameTarget_.reset();
    frameBitmapTarget_.reset();
    windowTarget_.reset();
    offscreenPixels_.reset();
    offscreenFrameFetched_ = false;
    targetLost_ = false;
}

bool Direct2DGraphicsDevice::createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (pixelWidth == 0 || pixelHeight == 0 || pixelWidth > kMaxOffscreenSide || pixelHeight > kMaxOffscreenSide) return false;
    if (!wicFactory_ && !createImagingFactory()) return false;
    if (!d2dFactory_ && !createDrawingFactory()) return false;

    ComPtr<IWICBitmap> pixels;
    if (FAILED(wicFactory_->CreateBitmap(pixelWidth, pixelHeight, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, pixels.put()))) {
        return false;
    }
    // Software drawing at 96 DPI, so that one drawing unit is one pixel as on the desktop.
    const D2D1_RENDER_TARGET_PROPERTIES properties =
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_SOFTWARE,
                                     D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96.0f, 96.0f);
    ComPtr<ID2D1RenderTarget> target;
    if (FAILED(d2dFactory_->CreateWicBitmapRenderTarget(pixels.get(), &properties, target.put()))) return false;
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);

    windowTarget_.reset();
    frameBitmapTarget_.reset();
    frameBitmap_.reset();
    frameTarget_ = std::move(target);
    offscreenPixels_ = std::move(pixels);
    offscreenFrameFetched_ = false;
    return true;
}

bool Direct2DGraphicsDevice::writeFramePng(const std::u16string& path) {
    if (!wicFactory_ || !offscreenPixels_ || !offscreenFrameFetched_) return false;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(offscreenPixels_->GetSize(&width, &height))) return false;

    ComPtr<IWICStream> stream;
    if (FAILED(wicFactory_->CreateStream(stream.put()))) return false;
    if (FAILED(stream->InitializeFromFilename(toWide(path).c_str(), GENERIC_WRITE))) return false;
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(wicFactory_->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()))) return false;
    if (FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache))) return false;

    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(encoder->CreateNewFrame(frame.put(), options.put()))) return false;
    if (FAILED(frame->Initialize(options.get()))) return false;
    if (FAILED(frame->SetSize(width, height))) return false;
    // PNG stores straight alpha: the encoder names the format it takes, and the premultiplied
    // pixels are converted to it explicitly.
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetPixelFormat(&format))) return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(wicFactory_->CreateFormatConverter(converter.put()))) return false;
    if (FAILED(converter->Initialize(offscreenPixels_.get(), format, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
        return false;
    }
    if (FAILED(frame->WriteSource(converter.get(), nullptr))) return false;
    if (FAILED(frame->Commit())) return false;
    return SUCCEEDED(encoder->Commit());
}

}  // namespace velmora::win32

namespace velmora {

std::unique_ptr<OffscreenGraphicsDevice> createOffscreenGraphicsDevice() { return std::make_unique<win32::Direct2DGraphicsDevice>(); }

}  // namespace velmora
