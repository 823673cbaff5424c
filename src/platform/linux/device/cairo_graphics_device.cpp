#include "platform/linux/device/cairo_graphics_device.h"

#include "platform/host.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "platform/linux/device/png_decoder.h"
#include "resources/input_file.h"
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

// The whole picture file, or nothing when it is not a regular file, its header states no picture
// within the limits or it is larger than the decoder takes: such a file is not read past its
// header, unless it is small enough to be read whole in one read.
struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
};

// Files up to this size are read whole in one read; larger ones only after their header passed.
constexpr std::uint64_t kReadWholeBytes = std::uint64_t{1} << 20;

FileBytes readPictureFile(const std::u16string& path) {
    FileBytes bytes;
    InputFile file(path);
    if (!file.isOpen()) return bytes;
    const std::uint64_t size = file.statedSize();
    if (size < kPngHeaderBytes || size > kPictureLimits.maxInputBytes) return bytes;
    const bool whole = size <= kReadWholeBytes;
    std::uint8_t header[kPngHeaderBytes];
    if (!whole && (file.read(header, sizeof header) != sizeof header || !withinLimits(readPngHeader(header, sizeof header), kPictureLimits)))
        return bytes;
    bytes.data.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
    if (bytes.data == nullptr) return bytes;
    const std::size_t start = whole ? 0 : sizeof header;
    if (!whole) std::memcpy(bytes.data.get(), header, sizeof header);
    bytes.size = start + file.read(bytes.data.get() + start, static_cast<std::size_t>(size) - start);
    if (whole && (bytes.size < kPngHeaderBytes || !withinLimits(readPngHeader(bytes.data.get(), bytes.size), kPictureLimits))) bytes = {};
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
    auto bitmap = std::make_unique<CairoBitmap>(surface, picture->opaque);
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

// A scaled draw is replaced by a blend of a copy only where it is certain to give the same
// pixels: no sampling position closer than this (in source pixels, plus what the rounding of the
// scale can add up to, see NearestAxis) to the border between two source pixels, and no edge of
// the rectangle closer than kEdgeMargin (in target pixels) to the middle of a pixel. Within these
// margins the last bits of cairo's and pixman's fixed-point arithmetic would decide.
constexpr double kSampleMargin = 1.0 / 1024;
constexpr double kEdgeMargin = 1.0 / 64;

// Copies per bitmap: one for the size it is drawn at, and room for a second (a scene picture
// both placed and moving); a picture drawn at changing sizes finds no room and is drawn scaled.
constexpr std::size_t kMaxCopiesPerBitmap = 2;
// All copies together, and one copy against the target, so that no theme makes the device hold
// without bound; past either, pictures are drawn scaled.
constexpr std::size_t kMaxCopyBytes = 256u * 1024u * 1024u;
constexpr std::size_t kMaxCopyTargets = 4;

// A frame is drawn box by box while its boxes are at most this many and cover at most half of
// it; beyond, drawing it whole costs less than going over its draws box by box.
constexpr std::size_t kMaxRedrawBoxes = 128;
// The window is given the boxes of a frame while they are at most this many and cover at most
// half of it; beyond, one whole frame.
constexpr std::size_t kMaxPresentBoxes = 128;
// A frame of more draws than this is drawn as they come, whole: the records of a few frames stay
// small whatever a theme holds.
constexpr std::size_t kMaxRecordedDraws = 4096;

std::uint64_t newBitmapIdentity() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

// Every pixel a draw can change on a target of width x height: the whole pixels around its
// rectangle under the transform, within the clip. Drawing is hard-edged, so a draw touches only
// the pixels whose middles its rectangle holds, however it samples the picture.
PixelBox drawBounds(const RectF& dest, const Matrix3x2& m, const RectF* clip, int width, int height) {
    const PixelBox all{0, 0, width, height};
    const double xs[4] = {dest.left, dest.right, dest.left, dest.right};
    const double ys[4] = {dest.top, dest.top, dest.bottom, dest.bottom};
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (int i = 0; i < 4; ++i) {
        const double x = xs[i] * m.m11 + ys[i] * m.m21 + m.dx;
        const double y = xs[i] * m.m12 + ys[i] * m.m22 + m.dy;
        if (!std::isfinite(x) || !std::isfinite(y)) return all;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    if (clip != nullptr) {
        x0 = std::max(x0, static_cast<double>(clip->left));
        y0 = std::max(y0, static_cast<double>(clip->top));
        x1 = std::min(x1, static_cast<double>(clip->right));
        y1 = std::min(y1, static_cast<double>(clip->bottom));
        if (!(x0 < x1) || !(y0 < y1)) return PixelBox{};
    }
    const auto edge = [](double v, int side) { return static_cast<std::int32_t>(std::clamp(v, 0.0, static_cast<double>(side))); };
    return PixelBox{edge(std::floor(x0), width), edge(std::floor(y0), height), edge(std::ceil(x1), width), edge(std::ceil(y1), height)};
}

std::uint32_t* pixelRow(cairo_surface_t* surface, std::int64_t y) {
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                            y * static_cast<std::int64_t>(cairo_image_surface_get_stride(surface)));
}

bool allOpaque(cairo_surface_t* surface, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
        const std::uint32_t* row = pixelRow(surface, y);
        for (int x = x0; x < x1; ++x)
            if ((row[x] >> 24) != 0xFFu) return false;
    }
    return true;
}

cairo_surface_t* makeSurface(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxTargetSide || height > kMaxTargetSide) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    return surface;
}

std::size_t surfaceBytes(cairo_surface_t* surface) {
    return static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) *
           static_cast<std::size_t>(cairo_image_surface_get_height(surface));
}

}  // namespace

// A nearest-neighbour draw along one axis, under the identity transform, as cairo and pixman
// sample it: the rectangle's edges round to the nearest pixel edge, and target pixel X shows source
// pixel floor((X + 0.5 - start) * scale), held within the picture, where scale is
// 1 / ((end - start) / side) as cairo computes it.
//
// Pixman computes the position in 16.16 fixed point, with the scale rounded to it (the rest of
// its arithmetic is exact) and the offset chosen by cairo to agree with the exact value near the
// rectangle, within the translation it splits off, which is no larger than the rectangle's start
// in source pixels. So the position it computes is off the exact one by at most the scale's
// rounding times the reach (the target pixel, the rectangle's size and that translation) plus a
// few units of the last fixed-point bit; a sampling position farther than that from a border
// between two source pixels is sampled alike.
struct NearestAxis {
    double start = 0;
    double scale = 0;
    double margin = 0;        // in source pixels, around the borders between them
    std::int64_t origin = 0;  // the target pixel where the rounded rectangle starts
    std::int64_t count = 0;   // its pixels from the rounded start to the rounded end
    std::int64_t first = 0;   // the pixels of it on the target: [first, last)
    std::int64_t last = 0;
};

struct CopyBudget {
    std::size_t bytes = 0;
};

// Where along one axis a moving copy can be placed without sampling the draw anew: draws of this
// scale (and the copy's size) whose start lies past their first target pixel (start - origin)
// by at least low + margin / scale and at most high - margin / scale sample every pixel of the
// copy from the source pixel it holds, each at least the margin from a border (inPhase).
struct PhaseRange {
    double scale = 0;
    double low = 0;
    double high = -1;
};

// One copy of a bitmap, scaled to the size it is drawn at.
struct ScaledCopy {
    cairo_surface_t* surface = nullptr;
    // Never the same for two copies, nor for a copy and a bitmap, while the process runs.
    std::uint64_t identity = newBitmapIdentity();
    // The same pixels as pixman sees them, made at the first blend.
    mutable pixman_image_t* image = nullptr;
    std::size_t bytes = 0;
    // Where the copy's first pixel goes on the target for the draw at hand.
    std::int64_t originX = 0, originY = 0;
    // Every pixel has alpha 255.
    bool opaque = false;
    // Where every pixel is either of alpha 255 or zero: the runs of the opaque ones, row by row
    // (row y's are runs[2 * runStart[y]] up to runs[2 * runStart[y + 1]], pairs of begin and end
    // columns). Blending such a copy at full opacity replaces the target's pixels under the runs
    // and leaves the others, so the runs are copied and the rest is not touched.
    bool hasRuns = false;
    std::vector<std::uint32_t> runStart;
    std::vector<std::int32_t> runs;

    // A moving copy (nearest-neighbour draws): the source column of each of its columns and the
    // source row of each of its rows. It serves every draw of the same size that samples the same
    // source pixels on the target, wherever it lies.
    bool moving = false;
    std::vector<std::int32_t> columns, rows;
    PhaseRange phaseX, phaseY;

    // A placed copy (any other draw of the identity transform): the pixels of one draw replayed on
    // a cleared target of the same size, serving only draws of exactly that rectangle and filter.
    RectF rect;
    Interpolation mode = Interpolation::NearestNeighbor;
    int targetWidth = 0, targetHeight = 0;
};

struct ScaledCopies {
    std::shared_ptr<CopyBudget> budget;
    std::vector<ScaledCopy> copies;
    // Counts every change of copies (made or dropped), so that a copy found earlier by its index
    // is known to be still there.
    std::uint64_t generation = 0;
    // The last draw of the bitmap that no copy served: a placed copy is made when the next draw
    // repeats it, so that a picture that moves makes none.
    bool hasLast = false;
    RectF lastRect;
    Interpolation lastMode = Interpolation::NearestNeighbor;
    int lastTargetWidth = 0, lastTargetHeight = 0;

    ~ScaledCopies() {
        for (ScaledCopy& copy : copies) destroy(copy);
    }
    void destroy(ScaledCopy& copy) {
        if (copy.image != nullptr) pixman_image_unref(copy.image);
        cairo_surface_destroy(copy.surface);
        budget->bytes -= copy.bytes;
    }
};

// One scaled draw as cairo makes it: the transform, the clip on the target, and the picture's
// rectangle.
struct ScaledDraw {
    cairo_matrix_t matrix;
    double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    double left = 0, top = 0, right = 0, bottom = 0;
    int bitmapWidth = 0, bitmapHeight = 0;
    RectF dest;
};

namespace {

// Source pixels per target pixel along the axis, as cairo computes it.
double axisScale(double start, double end, int side) { return 1.0 / ((end - start) / side); }

// One axis of a draw; translation is the larger of its two starts in source pixels. False when
// an edge on the target lies within the edge margin, or the scale is beyond what a copy serves.
bool nearestAxis(double start, double end, int side, int targetSide, double translation, NearestAxis& axis) {
    if (!(end > start) || side <= 0) return false;
    if (!(std::fabs(start) < kCoordinateLimit) || !(std::fabs(end) < kCoordinateLimit)) return false;
    for (const double edge : {start, end}) {
        if (edge > -1 && edge < targetSide + 1 && std::fabs(edge - std::floor(edge) - 0.5) < kEdgeMargin) return false;
    }
    const double scale = axisScale(start, end, side);
    const double fixed = std::ldexp(scale, 16);
    const double rounded = std::nearbyint(fixed);
    // A scale halfway between two fixed-point steps could round either way.
    if (!(rounded >= 1 && rounded <= 0x7FFFFFFF) || std::fabs(fixed - rounded) > 0.45) return false;
    axis.start = start;
    axis.scale = scale;
    axis.origin = static_cast<std::int64_t>(std::floor(start + 0.5));
    axis.count = static_cast<std::int64_t>(std::floor(end + 0.5)) - axis.origin;
    if (axis.count <= 0 || axis.count > kMaxTargetSide) return false;
    axis.first = std::max<std::int64_t>(axis.origin, 0);
    axis.last = std::min<std::int64_t>(axis.origin + axis.count, targetSide);
    const double reach = static_cast<double>(std::max(std::llabs(axis.origin), std::llabs(axis.origin + axis.count)) + axis.count) +
                         translation + 2;
    axis.margin = kSampleMargin + std::fabs(fixed - rounded) * 0x1p-16 * reach;
    return axis.margin < 0.25;
}

// The source pixel of each target pixel in [from, to) along the axis. False when a sampling
// position within [checkFrom, checkTo) lies within the margin of a border between two source
// pixels; the others are not drawn from.
bool sampleAxis(const NearestAxis& axis, int side, std::int64_t from, std::int64_t to, std::int64_t checkFrom,
                std::int64_t checkTo, std::vector<std::int32_t>& out) {
    out.resize(static_cast<std::size_t>(std::max<std::int64_t>(to - from, 0)));
    for (std::int64_t x = from; x < to; ++x) {
        const double u = (static_cast<double>(x) + 0.5 - axis.start) * axis.scale;
        const double j = std::floor(u);
        if (x >= checkFrom && x < checkTo) {
            // The borders at 0 and at the far edge are harmless: beyond them the edge pixel repeats.
            if (j >= 1 && u - j < axis.margin) return false;
            if (j + 1 <= side - 1 && j + 1 - u < axis.margin) return false;
        }
        out[static_cast<std::size_t>(x - from)] = static_cast<std::int32_t>(std::clamp(j, 0.0, static_cast<double>(side - 1)));
    }
    return true;
}

// The phases that sample as the axis does (PhaseRange). The position of pixel i of the copy is
// (i + 0.5 - phase) * scale, exact but for the last rounding of the product, so its sample j stays
// while phase lies in [i + 0.5 - (j + 1) / scale, i + 0.5 - j / scale].
PhaseRange phaseRange(const NearestAxis& axis) {
    PhaseRange range;
    range.scale = axis.scale;
    range.low = -HUGE_VAL;
    range.high = HUGE_VAL;
    for (std::int64_t x = axis.origin; x < axis.origin + axis.count; ++x) {
        const double j = std::floor((static_cast<double>(x) + 0.5 - axis.start) * axis.scale);
        const double i = static_cast<double>(x - axis.origin) + 0.5;
        range.low = std::max(range.low, i - (j + 1) / axis.scale);
        range.high = std::min(range.high, i - j / axis.scale);
    }
    return range;
}

// Whether a copy with this range serves the axis (of the copy's size) without sampling it anew.
// The draw's scale may differ from the copy's in its last bits (the rectangle's edges are floats):
// that moves a position by at most the drift, which is kept from the borders on top of the
// margin. The slack, far below any margin, covers the roundings of the range's own arithmetic.
bool inPhase(const PhaseRange& range, const NearestAxis& axis) {
    const double drift = static_cast<double>(axis.count + 1) * std::fabs(axis.scale - range.scale);
    const double reserve = (axis.margin + drift + 1e-7) / range.scale;
    const double phase = axis.start - static_cast<double>(axis.origin);
    return phase >= range.low + reserve && phase <= range.high - reserve;
}

bool sameRect(const RectF& a, const RectF& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool nearestAxes(const ScaledDraw& draw, int targetWidth, int targetHeight, NearestAxis& x, NearestAxis& y) {
    // The translation cairo may split off pixman's transform is bounded by the larger start.
    const double translation = std::max(std::fabs(draw.left * axisScale(draw.left, draw.right, draw.bitmapWidth)),
                                        std::fabs(draw.top * axisScale(draw.top, draw.bottom, draw.bitmapHeight)));
    return std::isfinite(translation) && nearestAxis(draw.left, draw.right, draw.bitmapWidth, targetWidth, translation, x) &&
           nearestAxis(draw.top, draw.bottom, draw.bitmapHeight, targetHeight, translation, y);
}

// The draw itself: the only place where a picture is scaled onto a surface.
void paintScaled(cairo_t* cr, cairo_surface_t* source, const ScaledDraw& draw, double alpha, Interpolation mode) {
    cairo_save(cr);
    cairo_set_matrix(cr, &draw.matrix);
    cairo_rectangle(cr, draw.clipLeft, draw.clipTop, draw.clipRight - draw.clipLeft, draw.clipBottom - draw.clipTop);
    cairo_clip(cr);
    cairo_translate(cr, draw.left, draw.top);
    cairo_scale(cr, (draw.right - draw.left) / draw.bitmapWidth, (draw.bottom - draw.top) / draw.bitmapHeight);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_filter(pattern, mode == Interpolation::Linear ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
    // Samples beyond the edge repeat the edge pixels, so a stretched picture does not fade out
    // towards its border.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

}  // namespace

CairoBitmap::CairoBitmap(cairo_surface_t* surface) : surface_(surface), identity_(newBitmapIdentity()) {
    cairo_surface_flush(surface_);
    opaque_ = cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_ARGB32 &&
              allOpaque(surface_, 0, 0, cairo_image_surface_get_width(surface_), cairo_image_surface_get_height(surface_));
}

CairoBitmap::CairoBitmap(cairo_surface_t* surface, bool opaque) : surface_(surface), opaque_(opaque), identity_(newBitmapIdentity()) {}

CairoBitmap::~CairoBitmap() {
    copies_.reset();
    cairo_surface_destroy(surface_);
}

std::int32_t CairoBitmap::pixelWidth() const { return cairo_image_surface_get_width(surface_); }

std::int32_t CairoBitmap::pixelHeight() const { return cairo_image_surface_get_height(surface_); }

CairoGraphicsDevice::~CairoGraphicsDevice() { releaseTargetSurfaces(); }

void CairoGraphicsDevice::dropTargetImage() {
    if (targetImage_ != nullptr) pixman_image_unref(targetImage_);
    targetImage_ = nullptr;
    targetImageOf_ = nullptr;
}

pixman_image_t* CairoGraphicsDevice::targetImage() {
    if (targetImageOf_ != frame_) {
        dropTargetImage();
        targetImage_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, cairo_image_surface_get_width(frame_), cairo_image_surface_get_height(frame_),
                                                reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(frame_)),
                                                cairo_image_surface_get_stride(frame_));
        if (targetImage_ != nullptr) targetImageOf_ = frame_;
    }
    return targetImage_;
}

void CairoGraphicsDevice::releaseTargetSurfaces() {
    dropTargetImage();
    if (context_ != nullptr) cairo_destroy(context_);
    context_ = nullptr;
    if (frame_ != nullptr) cairo_surface_destroy(frame_);
    frame_ = nullptr;
    if (fetched_ != nullptr) cairo_surface_destroy(fetched_);
    fetched_ = nullptr;
    windowTarget_ = false;
    buffers_[0] = buffers_[1] = nullptr;
    clearPending_ = false;
    finished_ = false;
    stale_ = false;
    skipped_ = false;
    owed_ = false;
    recording_ = false;
    for (FrameRecord& held : held_) held.known = false;
    shown_.known = false;
    freshFrame_ = false;
}

std::size_t CairoGraphicsDevice::scaledCopyBytes() const { return budget_ ? budget_->bytes : 0; }

DeviceSetup CairoGraphicsDevice::createTargets(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (!createWindowTarget(window, pixelWidth, pixelHeight)) return DeviceSetup::DrawingFactory;
    return createFrameTarget() ? DeviceSetup::FrameTarget : DeviceSetup::WindowTarget;
}

bool CairoGraphicsDevice::createWindowTarget(WindowHandle window, std::uint32_t pixelWidth, std::uint32_t pixelHeight) {
    if (presenter_ == nullptr) return false;
    if (pixelWidth == 0 || pixelHeight == 0 || pixelWidth > kMaxTargetSide || pixelHeight > kMaxTargetSide) return false;
    // The targets may lie in the presenter's buffers, which are about to be replaced.
    releaseTargetSurfaces();
    if (!presenter_->createBuffers(window, pixelWidth, pixelHeight)) return false;
    const int width = static_cast<int>(pixelWidth), height = static_cast<int>(pixelHeight);
    const std::size_t stride = presenter_->bufferStride();
    if (stride != static_cast<std::size_t>(cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width))) return false;
    cairo_surface_t* surfaces[FramePresenter::kBuffers] = {};
    bool made = true;
    for (int i = 0; i < FramePresenter::kBuffers; ++i) {
        std::uint8_t* pixels = presenter_->bufferPixels(i);
        surfaces[i] = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, static_cast<int>(stride));
        made = made && pixels != nullptr && cairo_surface_status(surfaces[i]) == CAIRO_STATUS_SUCCESS;
    }
    if (!made) {
        for (cairo_surface_t* surface : surfaces) cairo_surface_destroy(surface);
        return false;
    }
    // The first frame is drawn into buffer 0; buffer 1 stands for the frame shown.
    frame_ = buffers_[0] = surfaces[0];
    fetched_ = buffers_[1] = surfaces[1];
    windowTarget_ = true;
    return true;
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
    // Off screen from now on: a window target lets go of the presenter's buffers.
    dropTargetImage();
    if (windowTarget_) releaseTargetSurfaces();
    if (context_ != nullptr) {
        cairo_destroy(context_);
        context_ = nullptr;
    }
    if (frame_ != nullptr) cairo_surface_destroy(frame_);
    frame_ = surface;
    clearPending_ = false;
    finished_ = false;
    stale_ = false;
    return true;
}

std::unique_ptr<Bitmap> CairoGraphicsDevice::loadPictureFile(const std::u16string& path) {
    if (frame_ == nullptr) return nullptr;
    const FileBytes bytes = readPictureFile(path);
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
    // spoil the next. A recorded frame left unfinished drew nothing.
    if (context_ != nullptr) {
        if (!recording_) prepareTarget();
        cairo_destroy(context_);
        context_ = nullptr;
    }
    recording_ = false;
    transform_ = Matrix3x2::identity();
    // Both buffers on their way to the window (the server has not read the older one yet): this
    // frame is skipped rather than queued behind them; the next one finds a buffer free.
    skipped_ = windowTarget_ && !presenter_->bufferFree(bufferOf(frame_));
    if (skipped_) {
        owed_ = true;
        ++skippedFrames_;
        return;
    }
    owed_ = false;
    context_ = cairo_create(frame_);
    cairo_set_antialias(context_, CAIRO_ANTIALIAS_NONE);
    if (windowTarget_ && partialRedraw_) {
        recording_ = true;
        recorded_.known = false;
        recorded_.draws.clear();
        replays_.clear();
    }
}

void CairoGraphicsDevice::setTransform(const Matrix3x2& transform) { transform_ = transform; }

void CairoGraphicsDevice::pushClip(const RectF& rect) {
    clip_ = rect;
    // A clip that holds the whole target (the one monitor of a desktop) leaves every draw as it
    // is, and so the draws from copies too.
    clipping_ = true;
    if (frame_ != nullptr && rect.left <= 0 && rect.top <= 0 && rect.right >= static_cast<float>(cairo_image_surface_get_width(frame_)) &&
        rect.bottom >= static_cast<float>(cairo_image_surface_get_height(frame_)))
        clipping_ = false;
}

void CairoGraphicsDevice::popClip() { clipping_ = false; }

void CairoGraphicsDevice::clear(const ColorF& color) {
    if (context_ == nullptr) return;
    if (recording_) {
        // Nothing drawn before a clear shows.
        recorded_.known = true;
        recorded_.clear = color;
        recorded_.draws.clear();
        replays_.clear();
        return;
    }
    clearPending_ = true;
    clearColor_ = color;
}

void CairoGraphicsDevice::prepareTarget() {
    if (clearPending_) {
        clearPending_ = false;
        stale_ = false;
        cairo_save(context_);
        cairo_identity_matrix(context_);
        // While a box is redrawn, the clear is the box's.
        if (!boxClipping_) cairo_reset_clip(context_);
        cairo_set_operator(context_, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(context_, clearColor_.r, clearColor_.g, clearColor_.b, clearColor_.a);
        cairo_paint(context_);
        cairo_restore(context_);
        return;
    }
    if (stale_) {
        // Drawn over without a clear: the target holds the last finished frame, as it would
        // without the swap.
        stale_ = false;
        cairo_surface_flush(frame_);
        cairo_surface_flush(fetched_);
        std::memcpy(cairo_image_surface_get_data(frame_), cairo_image_surface_get_data(fetched_), surfaceBytes(frame_));
        cairo_surface_mark_dirty(frame_);
    }
}

void CairoGraphicsDevice::drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) {
    if (context_ == nullptr) return;
    // Every bitmap drawn here was made by this device.
    const auto& picture = static_cast<const CairoBitmap&>(bitmap);
    if (recording_) {
        recordDraw(picture, dest, opacity, mode);
        return;
    }
    drawNow(picture, dest, opacity, mode);
}

void CairoGraphicsDevice::recordDraw(const CairoBitmap& bitmap, const RectF& dest, float opacity, Interpolation mode) {
    // What drawNow would not draw at all is not recorded.
    if (!allFinite(dest) || !(opacity > 0) || dest.left == dest.right || dest.top == dest.bottom) return;
    if (recorded_.draws.size() >= kMaxRecordedDraws) {
        stopRecording();
        drawNow(bitmap, dest, opacity, mode);
        return;
    }
    DrawRecord draw;
    draw.picture = bitmap.identity();
    draw.dest = dest;
    draw.opacity = opacity;
    draw.mode = mode;
    draw.transform = transform_;
    draw.clipped = clipping_;
    if (clipping_) draw.clip = clip_;
    draw.bounds = drawBounds(dest, transform_, clipping_ ? &clip_ : nullptr, cairo_image_surface_get_width(frame_),
                             cairo_image_surface_get_height(frame_));
    if (draw.bounds.empty()) return;
    Replay replay;
    replay.bitmap = &bitmap;
    replay.dest = dest;
    PixelBox placed;
    if (scaledCopies_ && !clipping_ && transform_ == Matrix3x2::identity() && mode == Interpolation::NearestNeighbor &&
        findMovingCopy(bitmap, dest, replay, placed)) {
        // Draws that one copy serves at one place give its pixels there, wherever their
        // rectangles lie within a pixel: the record names the copy and its place, so that a
        // picture that moved less than a pixel's sampling is not drawn again.
        draw.picture = replay.copies->copies[replay.copy].identity;
        draw.dest = RectF{static_cast<float>(placed.left), static_cast<float>(placed.top), static_cast<float>(placed.right),
                          static_cast<float>(placed.bottom)};
        draw.bounds = intersection(placed, PixelBox{0, 0, cairo_image_surface_get_width(frame_), cairo_image_surface_get_height(frame_)});
        if (draw.bounds.empty()) return;
    }
    recorded_.draws.push_back(draw);
    replays_.push_back(replay);
}

bool CairoGraphicsDevice::findMovingCopy(const CairoBitmap& bitmap, const RectF& dest, Replay& replay, PixelBox& placed) const {
    ScaledCopies* copies = bitmap.copies_.get();
    if (copies == nullptr) return false;
    ScaledDraw draw;
    draw.left = dest.left;
    draw.top = dest.top;
    draw.right = dest.right;
    draw.bottom = dest.bottom;
    draw.bitmapWidth = bitmap.pixelWidth();
    draw.bitmapHeight = bitmap.pixelHeight();
    NearestAxis x, y;
    if (!nearestAxes(draw, cairo_image_surface_get_width(frame_), cairo_image_surface_get_height(frame_), x, y)) return false;
    for (std::size_t i = 0; i < copies->copies.size(); ++i) {
        const ScaledCopy& copy = copies->copies[i];
        if (copy.moving && static_cast<std::int64_t>(copy.columns.size()) == x.count && static_cast<std::int64_t>(copy.rows.size()) == y.count &&
            inPhase(copy.phaseX, x) && inPhase(copy.phaseY, y)) {
            replay.copies = copies;
            replay.generation = copies->generation;
            replay.copy = i;
            replay.originX = x.origin;
            replay.originY = y.origin;
            // Origins and sizes lie within the coordinate limit, far inside 32 bits.
            placed = PixelBox{static_cast<std::int32_t>(x.origin), static_cast<std::int32_t>(y.origin),
                              static_cast<std::int32_t>(x.origin + x.count), static_cast<std::int32_t>(y.origin + y.count)};
            return true;
        }
    }
    return false;
}

void CairoGraphicsDevice::replayDraws(const PixelBox* box) {
    const Matrix3x2 transform = transform_;
    const bool clipping = clipping_;
    const RectF clip = clip_;
    for (std::size_t i = 0; i < recorded_.draws.size(); ++i) {
        const DrawRecord& draw = recorded_.draws[i];
        if (box != nullptr && !overlap(draw.bounds, *box)) continue;
        const Replay& replay = replays_[i];
        if (replay.copies != nullptr && replay.copies->generation == replay.generation) {
            ScaledCopy& copy = replay.copies->copies[replay.copy];
            copy.originX = replay.originX;
            copy.originY = replay.originY;
            drawCopy(copy, std::clamp(static_cast<double>(draw.opacity), 0.0, 1.0));
            continue;
        }
        transform_ = draw.transform;
        clipping_ = draw.clipped;
        clip_ = draw.clip;
        drawNow(*replay.bitmap, replay.dest, draw.opacity, draw.mode);
    }
    transform_ = transform;
    clipping_ = clipping;
    clip_ = clip;
}

void CairoGraphicsDevice::stopRecording() {
    // The frame goes on drawing at once from here; its pixels are no longer told by its draws.
    recording_ = false;
    if (recorded_.known) {
        clearPending_ = true;
        clearColor_ = recorded_.clear;
    }
    replayDraws(nullptr);
    recorded_.known = false;
}

void CairoGraphicsDevice::makeRecordedFrame() {
    recording_ = false;
    const int width = cairo_image_surface_get_width(frame_);
    const int height = cairo_image_surface_get_height(frame_);
    const std::int64_t area = std::int64_t{width} * height;
    recorded_.width = width;
    recorded_.height = height;
    FrameRecord& held = held_[bufferOf(frame_)];
    bool boxes = false;
    if (recorded_.known && held.known) {
        findDamage(held, recorded_, kMaxRedrawBoxes, damage_);
        boxes = !damage_.whole && damage_.area() * 2 <= area;
    }
    cairo_surface_flush(frame_);
    directAccess_ = true;
    if (boxes) {
        // The buffer holds its own frame, made by the same draws outside the boxes.
        stale_ = false;
        // In the order of memory, so that neighbouring boxes share what is in the cache.
        std::sort(damage_.boxes.begin(), damage_.boxes.end(),
                  [](const PixelBox& a, const PixelBox& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
        for (const PixelBox& box : damage_.boxes) {
            boxClipping_ = true;
            box_ = box;
            cairo_save(context_);
            cairo_rectangle(context_, box.left, box.top, box.right - box.left, box.bottom - box.top);
            cairo_clip(context_);
            clearPending_ = true;
            clearColor_ = recorded_.clear;
            replayDraws(&box);
            prepareTarget();
            cairo_restore(context_);
            boxClipping_ = false;
        }
        drawnPixels_ += static_cast<std::uint64_t>(damage_.area());
    } else {
        if (recorded_.known) {
            clearPending_ = true;
            clearColor_ = recorded_.clear;
        }
        replayDraws(nullptr);
        prepareTarget();
        drawnPixels_ += static_cast<std::uint64_t>(area);
    }
    directAccess_ = false;
    cairo_surface_mark_dirty(frame_);
    // The buffer's pixels are now this frame's; the old record's storage serves the next.
    std::swap(held, recorded_);
}

void CairoGraphicsDevice::drawNow(const CairoBitmap& picture, const RectF& dest, float opacity, Interpolation mode) {
    cairo_surface_t* source = picture.surface();
    const int bitmapWidth = cairo_image_surface_get_width(source);
    const int bitmapHeight = cairo_image_surface_get_height(source);
    if (bitmapWidth <= 0 || bitmapHeight <= 0 || !allFinite(dest)) return;
    const double alpha = std::clamp(static_cast<double>(opacity), 0.0, 1.0);
    if (!(alpha > 0)) return;  // also NaN
    double left = dest.left, top = dest.top, right = dest.right, bottom = dest.bottom;
    const double width = right - left, height = bottom - top;
    if (width == 0 || height == 0 || !std::isfinite(width) || !std::isfinite(height)) return;

    ScaledDraw draw;
    cairo_matrix_init(&draw.matrix, transform_.m11, transform_.m12, transform_.m21, transform_.m22, transform_.dx, transform_.dy);
    cairo_matrix_t inverse = draw.matrix;
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) return;  // a degenerate transform shows nothing

    // Only the part of the rectangle over the target is handed to cairo as the clip, so that
    // far-off coordinates never reach its fixed-point rasteriser.
    const double surfaceWidth = cairo_image_surface_get_width(frame_);
    const double surfaceHeight = cairo_image_surface_get_height(frame_);
    double clipLeft = std::min(left, right), clipRight = std::max(left, right);
    double clipTop = std::min(top, bottom), clipBottom = std::max(top, bottom);
    if (transform_.m12 == 0 && transform_.m21 == 0) {
        double x0 = -1, y0 = -1, x1 = surfaceWidth + 1, y1 = surfaceHeight + 1;
        if (clipping_) {
            x0 = std::max(x0, static_cast<double>(clip_.left));
            y0 = std::max(y0, static_cast<double>(clip_.top));
            x1 = std::min(x1, static_cast<double>(clip_.right));
            y1 = std::min(y1, static_cast<double>(clip_.bottom));
            if (!(x0 < x1) || !(y0 < y1)) return;
        }
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
            cairo_matrix_transform_point(&draw.matrix, &xs[i], &ys[i]);
            if (!(std::fabs(xs[i]) < kCoordinateLimit) || !(std::fabs(ys[i]) < kCoordinateLimit)) return;
        }
    }
    draw.clipLeft = clipLeft;
    draw.clipTop = clipTop;
    draw.clipRight = clipRight;
    draw.clipBottom = clipBottom;
    draw.left = left;
    draw.top = top;
    draw.right = right;
    draw.bottom = bottom;
    draw.bitmapWidth = bitmapWidth;
    draw.bitmapHeight = bitmapHeight;
    draw.dest = dest;

    // A copy may be placed by the target's bounds alone, so clipped draws are painted.
    if (scaledCopies_ && !clipping_ && transform_ == Matrix3x2::identity() && drawFromCopy(picture, draw, alpha, mode)) return;
    prepareTarget();
    paintScaled(context_, source, draw, alpha, mode);
}

bool CairoGraphicsDevice::drawFromCopy(const CairoBitmap& bitmap, const ScaledDraw& draw, double alpha, Interpolation mode) {
    if (!budget_) budget_ = std::make_shared<CopyBudget>();
    if (!bitmap.copies_) {
        bitmap.copies_ = std::make_unique<ScaledCopies>();
        bitmap.copies_->budget = budget_;
    }
    ScaledCopies& copies = *bitmap.copies_;
    const int targetWidth = cairo_image_surface_get_width(frame_);
    const int targetHeight = cairo_image_surface_get_height(frame_);

    // A nearest-neighbour draw: any copy of this size that samples the same source pixels over
    // the target serves it, wherever it lies.
    NearestAxis x, y;
    if (mode == Interpolation::NearestNeighbor && nearestAxes(draw, targetWidth, targetHeight, x, y)) {
        if (x.first >= x.last || y.first >= y.last) return true;  // nothing of it on the target
        // A copy whose pixels this draw samples alike wherever it lies, known without sampling.
        for (ScaledCopy& copy : copies.copies) {
            if (copy.moving && static_cast<std::int64_t>(copy.columns.size()) == x.count &&
                static_cast<std::int64_t>(copy.rows.size()) == y.count && inPhase(copy.phaseX, x) && inPhase(copy.phaseY, y)) {
                copy.originX = x.origin;
                copy.originY = y.origin;
                drawCopy(copy, alpha);
                return true;
            }
        }
        if (!sampleAxis(x, draw.bitmapWidth, x.first, x.last, x.first, x.last, columns_) ||
            !sampleAxis(y, draw.bitmapHeight, y.first, y.last, y.first, y.last, rows_))
            return false;
        for (ScaledCopy& copy : copies.copies) {
            if (!copy.moving || static_cast<std::int64_t>(copy.columns.size()) != x.count ||
                static_cast<std::int64_t>(copy.rows.size()) != y.count)
                continue;
            if (std::equal(columns_.begin(), columns_.end(), copy.columns.begin() + (x.first - x.origin)) &&
                std::equal(rows_.begin(), rows_.end(), copy.rows.begin() + (y.first - y.origin))) {
                copy.originX = x.origin;
                copy.originY = y.origin;
                drawCopy(copy, alpha);
                return true;
            }
        }
        if (makeMovingCopy(bitmap, copies, draw, x, y)) {
            ScaledCopy& copy = copies.copies.back();
            copy.originX = x.origin;
            copy.originY = y.origin;
            drawCopy(copy, alpha);
            return true;
        }
        return false;
    }

    // Any other draw: a copy of exactly this draw serves it.
    for (ScaledCopy& copy : copies.copies) {
        if (!copy.moving && copy.mode == mode && sameRect(copy.rect, draw.dest) && copy.targetWidth == targetWidth &&
            copy.targetHeight == targetHeight) {
            drawCopy(copy, alpha);
            return true;
        }
    }
    const bool repeated = copies.hasLast && sameRect(copies.lastRect, draw.dest) && copies.lastMode == mode &&
                          copies.lastTargetWidth == targetWidth && copies.lastTargetHeight == targetHeight;
    if (repeated && makePlacedCopy(bitmap, copies, draw, mode)) {
        drawCopy(copies.copies.back(), alpha);
        return true;
    }
    copies.hasLast = true;
    copies.lastRect = draw.dest;
    copies.lastMode = mode;
    copies.lastTargetWidth = targetWidth;
    copies.lastTargetHeight = targetHeight;
    return false;
}

namespace {

// A copy's runs are kept only where they are few: at most one for this many pixels, so that they
// cost at most an eighth of the copy's own bytes and far less time than the blend they replace.
constexpr std::size_t kPixelsPerRun = 16;

// Finds the copy's opaque runs (ScaledCopy::runs) when it has them, within the bytes allowed
// beside it; adds their bytes to the copy's.
void findOpaqueRuns(ScaledCopy& copy, std::size_t allowed) {
    const int width = cairo_image_surface_get_width(copy.surface);
    const int height = cairo_image_surface_get_height(copy.surface);
    const std::size_t maxRuns = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) / kPixelsPerRun;
    const std::size_t rowBytes = (static_cast<std::size_t>(height) + 1) * sizeof(std::uint32_t);
    if (rowBytes + maxRuns * 2 * sizeof(std::int32_t) > allowed) return;
    std::vector<std::uint32_t> runStart;
    std::vector<std::int32_t> runs;
    runStart.reserve(static_cast<std::size_t>(height) + 1);
    for (int y = 0; y < height; ++y) {
        runStart.push_back(static_cast<std::uint32_t>(runs.size() / 2));
        const std::uint32_t* row = pixelRow(copy.surface, y);
        for (int x = 0; x < width;) {
            if (row[x] == 0) {
                ++x;
                continue;
            }
            if ((row[x] >> 24) != 0xFFu) return;  // a pixel to blend
            const int begin = x;
            while (x < width && (row[x] >> 24) == 0xFFu) ++x;
            if (runs.size() / 2 >= maxRuns) return;
            runs.push_back(begin);
            runs.push_back(x);
        }
    }
    runStart.push_back(static_cast<std::uint32_t>(runs.size() / 2));
    runs.shrink_to_fit();
    copy.bytes += runStart.size() * sizeof(std::uint32_t) + runs.size() * sizeof(std::int32_t);
    copy.runStart = std::move(runStart);
    copy.runs = std::move(runs);
    copy.hasRuns = true;
}

// Bytes the limits (all copies together, one copy against the target) still allow beside a copy
// of this many bytes.
std::size_t allowedBeside(const ScaledCopies& copies, std::size_t bytes, std::size_t targetBytes) {
    const std::size_t all = kMaxCopyBytes - std::min(kMaxCopyBytes, copies.budget->bytes + bytes);
    const std::size_t one = kMaxCopyTargets * targetBytes - std::min(kMaxCopyTargets * targetBytes, bytes);
    return std::min(all, one);
}

// Room for one more copy of this many bytes, making room by dropping placed copies made for a
// target of another size, which no draw can use again.
bool roomForCopy(ScaledCopies& copies, std::size_t bytes, std::size_t targetBytes, int targetWidth, int targetHeight) {
    auto& list = copies.copies;
    for (auto it = list.begin(); it != list.end() && list.size() >= kMaxCopiesPerBitmap;) {
        if (!it->moving && (it->targetWidth != targetWidth || it->targetHeight != targetHeight)) {
            copies.destroy(*it);
            it = list.erase(it);
            ++copies.generation;
        } else {
            ++it;
        }
    }
    return list.size() < kMaxCopiesPerBitmap && bytes <= kMaxCopyTargets * targetBytes &&
           bytes <= kMaxCopyBytes - std::min(kMaxCopyBytes, copies.budget->bytes);
}

}  // namespace

bool CairoGraphicsDevice::makeMovingCopy(const CairoBitmap& bitmap, ScaledCopies& copies, const ScaledDraw& draw,
                                         const NearestAxis& x, const NearestAxis& y) {
    const int targetWidth = cairo_image_surface_get_width(frame_);
    const int targetHeight = cairo_image_surface_get_height(frame_);
    const auto bytes = static_cast<std::size_t>(x.count) * static_cast<std::size_t>(y.count) * 4;
    if (!roomForCopy(copies, bytes, surfaceBytes(frame_), targetWidth, targetHeight)) return false;
    // The whole rectangle, also where it lies beyond the target, so that it serves the picture
    // wherever it moves; only the part on the target is drawn now (and was checked).
    ScaledCopy copy;
    copy.moving = true;
    if (!sampleAxis(x, draw.bitmapWidth, x.origin, x.origin + x.count, x.first, x.last, copy.columns) ||
        !sampleAxis(y, draw.bitmapHeight, y.origin, y.origin + y.count, y.first, y.last, copy.rows))
        return false;
    copy.phaseX = phaseRange(x);
    copy.phaseY = phaseRange(y);
    copy.surface = makeSurface(x.count, y.count);
    if (copy.surface == nullptr) return false;
    cairo_surface_t* source = bitmap.surface();
    cairo_surface_flush(source);
    for (std::size_t row = 0; row < copy.rows.size(); ++row) {
        std::uint32_t* out = pixelRow(copy.surface, static_cast<std::int64_t>(row));
        if (row > 0 && copy.rows[row] == copy.rows[row - 1]) {
            std::memcpy(out, pixelRow(copy.surface, static_cast<std::int64_t>(row) - 1), copy.columns.size() * 4);
            continue;
        }
        const std::uint32_t* in = pixelRow(source, copy.rows[row]);
        for (std::size_t column = 0; column < copy.columns.size(); ++column) out[column] = in[copy.columns[column]];
    }
    cairo_surface_mark_dirty(copy.surface);
    copy.opaque = bitmap.opaque();
    copy.bytes = surfaceBytes(copy.surface);
    findOpaqueRuns(copy, allowedBeside(copies, copy.bytes, surfaceBytes(frame_)));
    copies.budget->bytes += copy.bytes;
    copies.copies.push_back(std::move(copy));
    ++copies.generation;
    return true;
}

bool CairoGraphicsDevice::makePlacedCopy(const CairoBitmap& bitmap, ScaledCopies& copies, const ScaledDraw& draw,
                                         Interpolation mode) {
    const int targetWidth = cairo_image_surface_get_width(frame_);
    const int targetHeight = cairo_image_surface_get_height(frame_);
    // Every pixel the draw can touch: its clip, widened to whole pixels.
    const auto x0 = static_cast<int>(std::clamp(std::floor(draw.clipLeft), 0.0, static_cast<double>(targetWidth)));
    const auto x1 = static_cast<int>(std::clamp(std::ceil(draw.clipRight), 0.0, static_cast<double>(targetWidth)));
    const auto y0 = static_cast<int>(std::clamp(std::floor(draw.clipTop), 0.0, static_cast<double>(targetHeight)));
    const auto y1 = static_cast<int>(std::clamp(std::ceil(draw.clipBottom), 0.0, static_cast<double>(targetHeight)));
    if (x0 >= x1 || y0 >= y1) return false;
    const auto bytes = static_cast<std::size_t>(x1 - x0) * static_cast<std::size_t>(y1 - y0) * 4;
    if (!roomForCopy(copies, bytes, surfaceBytes(frame_), targetWidth, targetHeight)) return false;

    // The same draw, on a cleared target of the same size: the same calls give the same samples.
    cairo_surface_t* replay = makeSurface(targetWidth, targetHeight);
    if (replay == nullptr) return false;
    cairo_t* cr = cairo_create(replay);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    paintScaled(cr, bitmap.surface(), draw, 1.0, mode);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(replay);
    if (!ok) {
        cairo_surface_destroy(replay);
        return false;
    }
    ScaledCopy copy;
    copy.rect = draw.dest;
    copy.mode = mode;
    copy.targetWidth = targetWidth;
    copy.targetHeight = targetHeight;
    copy.originX = x0;
    copy.originY = y0;
    if (x0 == 0 && y0 == 0 && x1 == targetWidth && y1 == targetHeight) {
        copy.surface = replay;
    } else {
        copy.surface = makeSurface(x1 - x0, y1 - y0);
        if (copy.surface == nullptr) {
            cairo_surface_destroy(replay);
            return false;
        }
        for (int row = y0; row < y1; ++row) {
            std::memcpy(pixelRow(copy.surface, row - y0), pixelRow(replay, row) + x0, static_cast<std::size_t>(x1 - x0) * 4);
        }
        cairo_surface_mark_dirty(copy.surface);
        cairo_surface_destroy(replay);
    }
    // Pixels the draw did not reach stay transparent, so the copy is opaque only where the draw
    // covered all of it.
    copy.opaque = allOpaque(copy.surface, 0, 0, x1 - x0, y1 - y0);
    copy.bytes = surfaceBytes(copy.surface);
    findOpaqueRuns(copy, allowedBeside(copies, copy.bytes, surfaceBytes(frame_)));
    copies.budget->bytes += copy.bytes;
    copies.copies.push_back(std::move(copy));
    ++copies.generation;
    return true;
}

void CairoGraphicsDevice::drawCopy(const ScaledCopy& copy, double alpha) {
    const std::int64_t targetWidth = cairo_image_surface_get_width(frame_);
    const std::int64_t targetHeight = cairo_image_surface_get_height(frame_);
    const std::int64_t copyWidth = cairo_image_surface_get_width(copy.surface);
    const std::int64_t copyHeight = cairo_image_surface_get_height(copy.surface);
    // An opaque copy over all that is cleared (the target, or the box redrawn), first after the
    // clear: blending it would leave nothing of the clear, so it is copied in its place.
    const PixelBox cleared = boxClipping_ ? box_ : PixelBox{0, 0, static_cast<std::int32_t>(targetWidth), static_cast<std::int32_t>(targetHeight)};
    if (clearPending_ && alpha >= 1.0 && copy.opaque && copy.originX <= cleared.left && copy.originY <= cleared.top &&
        copy.originX + copyWidth >= cleared.right && copy.originY + copyHeight >= cleared.bottom) {
        clearPending_ = false;
        stale_ = false;
        if (!directAccess_) cairo_surface_flush(frame_);
        for (std::int64_t row = cleared.top; row < cleared.bottom; ++row) {
            std::memcpy(pixelRow(frame_, row) + cleared.left, pixelRow(copy.surface, row - copy.originY) + (cleared.left - copy.originX),
                        static_cast<std::size_t>(cleared.right - cleared.left) * 4);
        }
        if (!directAccess_)
            cairo_surface_mark_dirty_rectangle(frame_, cleared.left, cleared.top, cleared.right - cleared.left, cleared.bottom - cleared.top);
        return;
    }
    prepareTarget();
    if (copy.hasRuns && alpha >= 1.0) {
        drawRuns(copy);
        return;
    }
    blendCopy(copy, alpha);
}

// A blend at a whole-pixel position, which cairo hands to pixman untransformed (paint_with_alpha:
// OVER with a solid mask of the opacity in 16 bits, none when it is opaque); here it goes to
// pixman straight, without cairo's set-up around each draw.
void CairoGraphicsDevice::blendCopy(const ScaledCopy& copy, double alpha) {
    const auto alphaShort = static_cast<std::uint16_t>(alpha * 65535.0 + 0.5);
    if (alphaShort <= 0x00FF) return;  // the mask's 8 bits are 0: nothing shows
    const int targetWidth = cairo_image_surface_get_width(frame_);
    const int targetHeight = cairo_image_surface_get_height(frame_);
    const int copyWidth = cairo_image_surface_get_width(copy.surface);
    const int copyHeight = cairo_image_surface_get_height(copy.surface);
    const PixelBox on = boxClipping_ ? box_ : PixelBox{0, 0, targetWidth, targetHeight};
    // Origins lie within the coordinate limit, far inside 32 bits.
    const auto left = static_cast<std::int32_t>(copy.originX), top = static_cast<std::int32_t>(copy.originY);
    const PixelBox r = intersection(on, PixelBox{left, top, left + copyWidth, top + copyHeight});
    if (r.empty()) return;
    if (copy.image == nullptr) {
        copy.image = pixman_image_create_bits(PIXMAN_a8r8g8b8, copyWidth, copyHeight,
                                              reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(copy.surface)),
                                              cairo_image_surface_get_stride(copy.surface));
    }
    pixman_image_t* target = targetImage();
    if (copy.image == nullptr || target == nullptr) return;
    pixman_image_t* mask = nullptr;
    if (alphaShort < 0xFF00) {
        const pixman_color_t opacity{0, 0, 0, alphaShort};
        mask = pixman_image_create_solid_fill(&opacity);
        if (mask == nullptr) return;
    }
    if (!directAccess_) cairo_surface_flush(frame_);
    pixman_image_composite32(PIXMAN_OP_OVER, copy.image, mask, target, r.left - left, r.top - top, 0, 0, r.left, r.top, r.right - r.left,
                             r.bottom - r.top);
    if (mask != nullptr) pixman_image_unref(mask);
    if (!directAccess_) cairo_surface_mark_dirty_rectangle(frame_, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void CairoGraphicsDevice::drawRuns(const ScaledCopy& copy) {
    const std::int64_t targetWidth = cairo_image_surface_get_width(frame_);
    const std::int64_t targetHeight = cairo_image_surface_get_height(frame_);
    // The part of the copy on the target, in the copy's pixels.
    // The part of the copy on the target (within the box redrawn), in the copy's pixels.
    const PixelBox on = boxClipping_ ? box_ : PixelBox{0, 0, static_cast<std::int32_t>(targetWidth), static_cast<std::int32_t>(targetHeight)};
    const std::int64_t x0 = std::max<std::int64_t>(0, on.left - copy.originX);
    const std::int64_t x1 = std::min<std::int64_t>(cairo_image_surface_get_width(copy.surface), on.right - copy.originX);
    const std::int64_t y0 = std::max<std::int64_t>(0, on.top - copy.originY);
    const std::int64_t y1 = std::min<std::int64_t>(cairo_image_surface_get_height(copy.surface), on.bottom - copy.originY);
    if (x0 >= x1 || y0 >= y1) return;
    if (!directAccess_) cairo_surface_flush(frame_);
    const unsigned char* fromPixels = cairo_image_surface_get_data(copy.surface);
    unsigned char* toPixels = cairo_image_surface_get_data(frame_);
    const std::int64_t fromStride = cairo_image_surface_get_stride(copy.surface);
    const std::int64_t toStride = cairo_image_surface_get_stride(frame_);
    for (std::int64_t y = y0; y < y1; ++y) {
        const auto* from = reinterpret_cast<const std::uint32_t*>(fromPixels + y * fromStride);
        auto* to = reinterpret_cast<std::uint32_t*>(toPixels + (y + copy.originY) * toStride);
        const std::size_t end = copy.runStart[static_cast<std::size_t>(y) + 1];
        for (std::size_t run = copy.runStart[static_cast<std::size_t>(y)]; run < end; ++run) {
            const std::int64_t begin = std::max<std::int64_t>(copy.runs[2 * run], x0);
            const std::int64_t stop = std::min<std::int64_t>(copy.runs[2 * run + 1], x1);
            if (begin < stop) std::memcpy(to + (begin + copy.originX), from + begin, static_cast<std::size_t>(stop - begin) * 4);
        }
    }
    if (!directAccess_) {
        cairo_surface_mark_dirty_rectangle(frame_, static_cast<int>(x0 + copy.originX), static_cast<int>(y0 + copy.originY),
                                           static_cast<int>(x1 - x0), static_cast<int>(y1 - y0));
    }
}

bool CairoGraphicsDevice::endDraw() {
    if (context_ == nullptr) return false;
    if (recording_) {
        makeRecordedFrame();
    } else if (windowTarget_) {
        held_[bufferOf(frame_)].known = false;
        drawnPixels_ += static_cast<std::uint64_t>(cairo_image_surface_get_width(frame_)) *
                        static_cast<std::uint64_t>(cairo_image_surface_get_height(frame_));
    }
    prepareTarget();
    const bool ok = cairo_status(context_) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(context_);
    context_ = nullptr;
    cairo_surface_flush(frame_);
    if (windowTarget_ && !ok) held_[bufferOf(frame_)].known = false;
    finished_ = true;
    const bool fetched = ok && fetchFrameBitmap();
    freshFrame_ = freshFrame_ || fetched;
    return fetched;
}

bool CairoGraphicsDevice::copyFrame(cairo_surface_t* from, cairo_surface_t*& to) {
    const int width = cairo_image_surface_get_width(from);
    const int height = cairo_image_surface_get_height(from);
    if (to == nullptr || cairo_image_surface_get_width(to) != width || cairo_image_surface_get_height(to) != height) {
        if (to != nullptr) cairo_surface_destroy(to);
        to = makeSurface(width, height);
        if (to == nullptr) return false;
    }
    cairo_surface_flush(from);
    cairo_surface_flush(to);
    std::memcpy(cairo_image_surface_get_data(to), cairo_image_surface_get_data(from), surfaceBytes(from));
    cairo_surface_mark_dirty(to);
    if (windowTarget_) held_[bufferOf(to)].known = false;
    return true;
}

bool CairoGraphicsDevice::fetchFrameBitmap() {
    if (frame_ == nullptr) return false;
    if (context_ != nullptr) {
        // Fetched while drawing: what the target holds so far.
        if (recording_) stopRecording();
        prepareTarget();
        cairo_surface_flush(frame_);
        return copyFrame(frame_, fetched_);
    }
    if (!finished_) {
        // Nothing drawn since the last fetch: it stands. Nothing drawn since the target was made:
        // its pixels.
        return stale_ || copyFrame(frame_, fetched_);
    }
    // The finished frame becomes the fetched one as it is; the target moves to the other buffer.
    // With a window target both are the presenter's, of the window's size.
    const int width = cairo_image_surface_get_width(frame_);
    const int height = cairo_image_surface_get_height(frame_);
    if (fetched_ == nullptr || cairo_image_surface_get_width(fetched_) != width || cairo_image_surface_get_height(fetched_) != height) {
        cairo_surface_t* other = makeSurface(width, height);
        if (other == nullptr) return false;
        if (fetched_ != nullptr) cairo_surface_destroy(fetched_);
        fetched_ = other;
    }
    std::swap(frame_, fetched_);
    finished_ = false;
    stale_ = true;
    return true;
}

void CairoGraphicsDevice::presentFrameBitmap() {
    // A skipped frame left the window showing the frame before, which is still on its way.
    if (windowTarget_ && !skipped_) {
        const int buffer = bufferOf(fetched_);
        const FrameRecord& frame = held_[buffer];
        const PixelBox whole{0, 0, cairo_image_surface_get_width(fetched_), cairo_image_surface_get_height(fetched_)};
        damage_.whole = true;
        if (freshFrame_ && partialRedraw_) findDamage(shown_, frame, kMaxPresentBoxes, damage_);
        if (damage_.whole || damage_.area() * 2 > whole.area()) {
            presentBoxes_.assign(1, whole);
        } else {
            presentBoxes_ = damage_.boxes;
        }
        presenter_->present(buffer, presentBoxes_);
        for (const PixelBox& box : presentBoxes_) presentedPixels_ += static_cast<std::uint64_t>(box.area());
        shown_.known = frame.known;
        shown_.width = frame.width;
        shown_.height = frame.height;
        shown_.clear = frame.clear;
        shown_.draws = frame.draws;
        freshFrame_ = false;
    }
    skipped_ = false;
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
