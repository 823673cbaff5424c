#include "cairo_graphics_device.h"

#include "platform/host.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "png_decoder.h"
#include "resources/png_header.h"

namespace velmora {

namespace {

// Coordinates handed to cairo stay well inside its 24.8 fixed-point range; anything farther
// out than this is off every surface we make.
constexpr double kCoordinateLimit = 1 << 21;

// The largest target we make: cairo's own limit on an image surface's side.
constexpr std::uint32_t kMaxTargetSide = 32767;

// Pictures are decoded into cairo's ARGB32 memory layout as the bytes B, G, R, A.
static_assert(std::endian::native == std::endian::little, "ARGB32 is stored as B, G, R, A only on little-endian machines");

const DecodeLimits kPictureLimits{};

// The whole picture file, or nothing when its header states no picture within the limits or it
// is larger than the decoder takes: such a file is not read past its header.
struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
};

FileBytes readPictureFile(std::FILE* file) {
    FileBytes bytes;
    std::uint8_t header[kPngHeaderBytes];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) return bytes;
    if (!withinLimits(readPngHeader(header, sizeof header), kPictureLimits)) return bytes;
    if (std::fseek(file, 0, SEEK_END) != 0) return bytes;
    const long end = std::ftell(file);
    if (end < 0 || static_cast<unsigned long>(end) > kPictureLimits.maxInputBytes || std::fseek(file, 0, SEEK_SET) != 0) return bytes;
    bytes.data.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(end)]);
    if (bytes.data != nullptr) bytes.size = std::fread(bytes.data.get(), 1, static_cast<std::size_t>(end), file);
    return bytes;
}

// The decoded pixels become the surface's own: cairo frees them with the surface.
const cairo_user_data_key_t kPixelsKey{};

void deletePixels(void* pixels) { delete[] static_cast<std::uint8_t*>(pixels); }

std::unique_ptr<Bitmap> toBitmap(std::optional<DecodedPicture> picture) {
    if (!picture) return nullptr;
    const int width = static_cast<int>(picture->width);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(picture->pixels.get(), CAIRO_FORMAT_ARGB32, width,
                                                                   static_cast<int>(picture->height), width * 4);
    auto bitmap = std::make_unique<CairoBitmap>(surface);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &kPixelsKey, picture->pixels.get(), deletePixels) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    picture->pixels.release();
    return bitmap;
}

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* file = static_cast<std::FILE*>(closure);
    if (std::fwrite(data, 1, length, file) != length) return CAIRO_STATUS_WRITE_ERROR;
    return CAIRO_STATUS_SUCCESS;
}

std::FILE* openFile(const std::u16string& path, const char* mode) {
    std::filesystem::path native(path);
    return std::fopen(native.c_str(), mode);
}

bool allFinite(const RectF& r) {
    return std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom);
}

}  // namespace

CairoBitmap::CairoBitmap(cairo_surface_t* surface) : surface_(surface) {}

CairoBitmap::~CairoBitmap() { cairo_surface_destroy(surface_); }

std::int32_t CairoBitmap::pixelWidth() const { return cairo_image_surface_get_width(surface_); }

std::int32_t CairoBitmap::pixelHeight() const { return cairo_image_surface_get_height(surface_); }

CairoGraphicsDevice::~CairoGraphicsDevice() {
    if (context_ != nullptr) cairo_destroy(context_);
    if (frame_ != nullptr) cairo_surface_destroy(frame_);
    releaseFetched();
}

void CairoGraphicsDevice::releaseFetched() {
    if (fetched_ != nullptr) cairo_surface_destroy(fetched_);
    fetched_ = nullptr;
    windowTarget_ = false;
}

bool CairoGraphicsDevice::createImagingFactory() { return true; }

bool CairoGraphicsDevice::createDrawingFactory() { return true; }

bool CairoGraphicsDevice::createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (presenter_ == nullptr) return false;
    if (pixelWidth == 0 || pixelHeight == 0 || pixelWidth > kMaxTargetSide || pixelHeight > kMaxTargetSide) return false;
    // The fetched frame lives in the presenter's buffer, which is about to be replaced.
    releaseFetched();
    if (!presenter_->createBuffer(window, pixelWidth, pixelHeight)) return false;
    const int width = static_cast<int>(pixelWidth), height = static_cast<int>(pixelHeight);
    const std::size_t stride = presenter_->bufferStride();
    if (stride != static_cast<std::size_t>(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width))) return false;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(presenter_->bufferPixels(), CAIRO_FORMAT_ARGB32, width, height,
                                                                   static_cast<int>(stride));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    fetched_ = surface;
    windowTarget_ = true;
    return true;
}

bool CairoGraphicsDevice::createFrameTarget() {
    if (!windowTarget_) return frame_ != nullptr;
    return replaceFrameSurface(static_cast<std::uint32_t>(cairo_image_surface_get_width(fetched_)),
                               static_cast<std::uint32_t>(cairo_image_surface_get_height(fetched_)));
}

bool CairoGraphicsDevice::createOffscreenTarget(std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    return replaceFrameSurface(pixelWidth, pixelHeight);
}

bool CairoGraphicsDevice::replaceFrameSurface(std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (pixelWidth == 0 || pixelHeight == 0 || pixelWidth > kMaxTargetSide || pixelHeight > kMaxTargetSide) return false;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(pixelWidth), static_cast<int>(pixelHeight));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    if (context_ != nullptr) {
        cairo_destroy(context_);
        context_ = nullptr;
    }
    if (frame_ != nullptr) cairo_surface_destroy(frame_);
    frame_ = surface;
    return true;
}

std::unique_ptr<Bitmap> CairoGraphicsDevice::loadPictureFile(const std::u16string& path) {
    if (frame_ == nullptr) return nullptr;
    std::FILE* file = openFile(path, "rb");
    if (file == nullptr) return nullptr;
    const FileBytes bytes = readPictureFile(file);
    std::fclose(file);
    if (bytes.data == nullptr) return nullptr;
    return toBitmap(decodePng(bytes.data.get(), bytes.size, kPictureLimits));
}

std::unique_ptr<Bitmap> CairoGraphicsDevice::loadPictureBytes(const std::uint8_t* data, std::size_t size) {
    if (frame_ == nullptr || data == nullptr) return nullptr;
    return toBitmap(decodePng(data, size, kPictureLimits));
}

void CairoGraphicsDevice::beginDraw() {
    if (frame_ == nullptr) return;
    // A fresh context per frame: an error in one frame (cairo's errors are sticky) does not
    // spoil the next.
    if (context_ != nullptr) cairo_destroy(context_);
    context_ = cairo_create(frame_);
    cairo_set_antialias(context_, CAIRO_ANTIALIAS_NONE);
    transform_ = Matrix3x2::identity();
}

void CairoGraphicsDevice::setTransform(const Matrix3x2& transform) { transform_ = transform; }

void CairoGraphicsDevice::clear(const ColorF& color) {
    if (context_ == nullptr) return;
    cairo_save(context_);
    cairo_identity_matrix(context_);
    cairo_reset_clip(context_);
    cairo_set_operator(context_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(context_, color.r, color.g, color.b, color.a);
    cairo_paint(context_);
    cairo_restore(context_);
}

void CairoGraphicsDevice::drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) {
    if (context_ == nullptr) return;
    // Every bitmap drawn here was made by this device.
    cairo_surface_t* source = static_cast<const CairoBitmap&>(bitmap).surface();
    const int bitmapWidth = cairo_image_surface_get_width(source);
    const int bitmapHeight = cairo_image_surface_get_height(source);
    if (bitmapWidth <= 0 || bitmapHeight <= 0 || !allFinite(dest)) return;
    const double alpha = std::clamp(static_cast<double>(opacity), 0.0, 1.0);
    if (!(alpha > 0)) return;  // also NaN
    double left = dest.left, top = dest.top, right = dest.right, bottom = dest.bottom;
    const double width = right - left, height = bottom - top;
    if (width == 0 || height == 0 || !std::isfinite(width) || !std::isfinite(height)) return;

    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, transform_.m11, transform_.m12, transform_.m21, transform_.m22, transform_.dx, transform_.dy);
    cairo_matrix_t inverse = matrix;
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) return;  // a degenerate transform shows nothing

    // Only the part of the rectangle over the target is handed to cairo as the clip, so that
    // far-off coordinates never reach its fixed-point rasteriser.
    const double surfaceWidth = cairo_image_surface_get_width(frame_);
    const double surfaceHeight = cairo_image_surface_get_height(frame_);
    double clipLeft = std::min(left, right), clipRight = std::max(left, right);
    double clipTop = std::min(top, bottom), clipBottom = std::max(top, bottom);
    if (transform_.m12 == 0 && transform_.m21 == 0) {
        double x0 = -1, y0 = -1, x1 = surfaceWidth + 1, y1 = surfaceHeight + 1;
        cairo_matrix_transform_point(&inverse, &x0, &y0);
        cairo_matrix_transform_point(&inverse, &x1, &y1);
        clipLeft = std::max(clipLeft, std::min(x0, x1));
        clipRight = std::min(clipRight, std::max(x0, x1));
        clipTop = std::max(clipTop, std::min(y0, y1));
        clipBottom = std::min(clipBottom, std::max(y0, y1));
        if (!(clipLeft < clipRight) || !(clipTop < clipBottom)) return;
    } else {
        double xs[4] = {clipLeft, clipRight, clipLeft, clipRight};
        double ys[4] = {clipTop, clipTop, clipBottom, clipBottom};
        for (int i = 0; i < 4; ++i) {
            cairo_matrix_transform_point(&matrix, &xs[i], &ys[i]);
            if (!(std::fabs(xs[i]) < kCoordinateLimit) || !(std::fabs(ys[i]) < kCoordinateLimit)) return;
        }
    }

    cairo_t* cr = context_;
    cairo_save(cr);
    cairo_set_matrix(cr, &matrix);
    cairo_rectangle(cr, clipLeft, clipTop, clipRight - clipLeft, clipBottom - clipTop);
    cairo_clip(cr);
    cairo_translate(cr, left, top);
    cairo_scale(cr, width / bitmapWidth, height / bitmapHeight);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_filter(pattern, mode == Interpolation::Linear ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
    // Samples beyond the edge repeat the edge pixels, so a stretched picture does not fade out
    // towards its border.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

bool CairoGraphicsDevice::endDraw() {
    if (context_ == nullptr) return false;
    const bool ok = cairo_status(context_) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(context_);
    context_ = nullptr;
    cairo_surface_flush(frame_);
    return ok;
}

bool CairoGraphicsDevice::fetchFrameBitmap() {
    if (frame_ == nullptr) return false;
    const int width = cairo_image_surface_get_width(frame_);
    const int height = cairo_image_surface_get_height(frame_);
    if (windowTarget_) {
        // The one copy of a frame on its way to the window: straight into the presenter's
        // buffer. A frame target of another size (its re-creation failed) gives what overlaps.
        cairo_surface_flush(frame_);
        cairo_surface_flush(fetched_);
        const int rows = std::min(height, cairo_image_surface_get_height(fetched_));
        const auto rowBytes = static_cast<std::size_t>(std::min(width, cairo_image_surface_get_width(fetched_))) * 4u;
        const unsigned char* from = cairo_image_surface_get_data(frame_);
        unsigned char* to = cairo_image_surface_get_data(fetched_);
        const int fromStride = cairo_image_surface_get_stride(frame_), toStride = cairo_image_surface_get_stride(fetched_);
        for (int y = 0; y < rows; ++y) std::memcpy(to + y * toStride, from + y * fromStride, rowBytes);
        cairo_surface_mark_dirty(fetched_);
        return true;
    }
    if (fetched_ == nullptr || cairo_image_surface_get_width(fetched_) != width || cairo_image_surface_get_height(fetched_) != height) {
        if (fetched_ != nullptr) cairo_surface_destroy(fetched_);
        fetched_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        if (cairo_surface_status(fetched_) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(fetched_);
            fetched_ = nullptr;
            return false;
        }
    }
    cairo_surface_flush(frame_);
    cairo_surface_flush(fetched_);
    const int stride = cairo_image_surface_get_stride(frame_);
    std::memcpy(cairo_image_surface_get_data(fetched_), cairo_image_surface_get_data(frame_),
                static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    cairo_surface_mark_dirty(fetched_);
    return true;
}

void CairoGraphicsDevice::presentFrameBitmap() {
    if (windowTarget_) presenter_->present();
}

bool CairoGraphicsDevice::writeFramePng(const std::u16string& path) {
    if (fetched_ == nullptr) return false;
    std::FILE* file = openFile(path, "wb");
    if (file == nullptr) return false;
    const bool written = cairo_surface_write_to_png_stream(fetched_, writeToFile, file) == CAIRO_STATUS_SUCCESS;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

std::unique_ptr<OffscreenGraphicsDevice> createOffscreenGraphicsDevice() { return std::make_unique<CairoGraphicsDevice>(); }

}  // namespace velmora
