// The PNG decoder of the Linux device: the same pixels as cairo's own PNG reader gave for every
// kind of PNG, and nothing (quickly, in little memory, never reading past the data) for hostile
// or broken files.
#include "platform/linux/device/png_decoder.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/device/cairo_graphics_device.h"

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Making PNG files ----------------------------------------------------------------------

struct PngSpec {
    std::uint32_t width = 37;
    std::uint32_t height = 23;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    bool interlaced = false;
    bool transparency = false;  // a tRNS chunk
    bool extras = false;        // gAMA, sBIT, cHRM, bKGD and zTXt chunks, which change no pixel
};

int channelsOf(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;
    }
}

void appendOutput(png_structp png, png_bytep data, std::size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// Plain values only: this frame calls setjmp.
struct WriteJob {
    const PngSpec* spec;
    png_bytepp rows;
    const png_color* palette;
    int paletteSize;
    const png_byte* paletteAlpha;
    int paletteAlphaCount;
    const png_color_16* transparentColor;
    Bytes* out;
};

bool writeWithLibpng(const WriteJob& job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    const PngSpec& spec = *job.spec;
    png_set_write_fn(png, job.out, appendOutput, flushNothing);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (spec.colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, job.palette, job.paletteSize);
    if (spec.transparency) {
        png_set_tRNS(png, info, job.paletteAlpha, job.paletteAlphaCount, job.transparentColor);
    }
    if (spec.extras) {
        png_set_gAMA(png, info, 0.45455);
        png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
        png_color_8 significant{};
        significant.red = significant.green = significant.blue = significant.gray = significant.alpha =
            static_cast<png_byte>(std::max(1, std::min(spec.bitDepth, 8) - 1));
        png_set_sBIT(png, info, &significant);
        png_color_16 background{};
        png_set_bKGD(png, info, &background);
        png_text text{};
        text.compression = PNG_TEXT_COMPRESSION_zTXt;
        text.key = const_cast<char*>("Comment");
        text.text = const_cast<char*>("made by the decoder test");
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    if (spec.bitDepth < 8) png_set_packing(png);
    png_write_image(png, job.rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// A picture of pseudo-random samples (in a few hundred pixels most alpha values turn up),
// written by libpng.
Bytes makePng(const PngSpec& spec, std::uint32_t seed = 1) {
    std::uint32_t state = seed * 2654435761u + 12345u;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    const int channels = channelsOf(spec.colorType);
    const int sampleBytes = spec.bitDepth == 16 ? 2 : 1;
    const std::uint32_t sampleMask = spec.bitDepth == 16 ? 0xFFFFu : (1u << spec.bitDepth) - 1;
    const std::size_t rowBytes = std::size_t{spec.width} * static_cast<std::size_t>(channels * sampleBytes);
    std::vector<Bytes> rowData(spec.height, Bytes(rowBytes));
    for (Bytes& row : rowData) {
        for (std::size_t i = 0; i < rowBytes; i += static_cast<std::size_t>(sampleBytes)) {
            const std::uint32_t value = next() & sampleMask;
            if (sampleBytes == 2) {
                row[i] = static_cast<std::uint8_t>(value >> 8);
                row[i + 1] = static_cast<std::uint8_t>(value);
            } else {
                row[i] = static_cast<std::uint8_t>(value);
            }
        }
    }
    std::vector<png_bytep> rows;
    for (Bytes& row : rowData) rows.push_back(row.data());

    std::array<png_color, 256> palette{};
    std::array<png_byte, 256> paletteAlpha{};
    const int paletteSize = spec.colorType == PNG_COLOR_TYPE_PALETTE ? 1 << spec.bitDepth : 0;
    for (int i = 0; i < paletteSize; ++i) {
        palette[static_cast<std::size_t>(i)] = {static_cast<png_byte>(next()), static_cast<png_byte>(next()), static_cast<png_byte>(next())};
        paletteAlpha[static_cast<std::size_t>(i)] = static_cast<png_byte>(next());
    }
    // The transparent colour of grey and RGB pictures is that of the first pixel, so it occurs.
    png_color_16 transparent{};
    auto sample = [&](std::size_t index) {
        return sampleBytes == 2 ? static_cast<png_uint_16>(rowData[0][index * 2] << 8 | rowData[0][index * 2 + 1])
                                : static_cast<png_uint_16>(rowData[0][index]);
    };
    if (spec.colorType == PNG_COLOR_TYPE_GRAY) transparent.gray = sample(0);
    if (spec.colorType == PNG_COLOR_TYPE_RGB) {
        transparent.red = sample(0);
        transparent.green = sample(1);
        transparent.blue = sample(2);
    }

    Bytes out;
    const WriteJob job{&spec, rows.data(), palette.data(), paletteSize, paletteAlpha.data(), std::max(paletteSize - 1, 1),
                       &transparent, &out};
    EXPECT_TRUE(writeWithLibpng(job));
    return out;
}

// ---- Looking into and changing PNG files -------------------------------------------------

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

// Offset of the first chunk of this type (its length field).
std::size_t chunkAt(const Bytes& png, const char* type) {
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + bigEndian32(&png[at])) {
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 0;
}

// A chunk of this type, stated length and body, with a correct checksum over what is there.
Bytes chunk(const char* type, std::uint32_t statedLength, const Bytes& body) {
    Bytes out(12 + body.size());
    putBigEndian32(out.data(), statedLength);
    std::memcpy(&out[4], type, 4);
    std::copy(body.begin(), body.end(), out.begin() + 8);
    putBigEndian32(&out[8 + body.size()], crc32(&out[4], 4 + body.size()));
    return out;
}

// The file with a chunk inserted before its first IDAT.
Bytes withChunkBeforeData(const Bytes& png, const Bytes& extra) {
    Bytes out = png;
    const auto at = static_cast<std::ptrdiff_t>(chunkAt(png, "IDAT"));
    out.insert(out.begin() + at, extra.begin(), extra.end());
    return out;
}

// IHDR's stated size changed, checksum corrected: a well-formed header claiming a new size.
Bytes withStatedSize(Bytes png, std::uint32_t width, std::uint32_t height) {
    putBigEndian32(&png[16], width);
    putBigEndian32(&png[20], height);
    putBigEndian32(&png[29], crc32(&png[12], 17));
    return png;
}

// The bytes placed just before an unreadable page: a read past their end faults at once.
class GuardedBytes {
public:
    explicit GuardedBytes(const Bytes& bytes) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        dataSpan_ = std::max<std::size_t>(1, (bytes.size() + page - 1) / page) * page;
        mapped_ = dataSpan_ + page;
        void* base = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) throw std::bad_alloc();
        base_ = static_cast<std::uint8_t*>(base);
        ::mprotect(base_ + dataSpan_, page, PROT_NONE);
        data_ = base_ + dataSpan_ - bytes.size();
        if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
        size_ = bytes.size();
    }
    ~GuardedBytes() { ::munmap(base_, mapped_); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t dataSpan_ = 0;
    std::size_t mapped_ = 0;
};

std::optional<DecodedPicture> decodeGuarded(const Bytes& png, DecodeCost* cost = nullptr, const DecodeLimits& limits = {}) {
    GuardedBytes guarded(png);
    return decodePng(guarded.data(), guarded.size(), limits, cost);
}

// ---- The reference: cairo's PNG reader, as the device used it before ---------------------

struct MemoryReader {
    const Bytes* data;
    std::size_t offset;
};

cairo_status_t readMemory(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<MemoryReader*>(closure);
    if (reader->data->size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data->data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

struct Reference {
    bool decoded = false;
    std::uint32_t width = 0, height = 0;
    Bytes pixels;  // ARGB32 as in memory, rows without padding
};

// Decoded by cairo, and opaque pictures (RGB24) painted onto ARGB32 as the device did.
Reference cairoDecode(const Bytes& png) {
    Reference ref;
    MemoryReader reader{&png, 0};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readMemory, &reader);
    if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(decoded);
        return ref;
    }
    const int width = cairo_image_surface_get_width(decoded), height = cairo_image_surface_get_height(decoded);
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(argb);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, decoded, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(argb);
    ref.decoded = true;
    ref.width = static_cast<std::uint32_t>(width);
    ref.height = static_cast<std::uint32_t>(height);
    const int stride = cairo_image_surface_get_stride(argb);
    const std::uint8_t* data = cairo_image_surface_get_data(argb);
    for (int y = 0; y < height; ++y) ref.pixels.insert(ref.pixels.end(), data + y * stride, data + y * stride + width * 4);
    cairo_surface_destroy(argb);
    cairo_surface_destroy(decoded);
    return ref;
}

::testing::AssertionResult sameAsCairo(const Bytes& png) {
    const Reference ref = cairoDecode(png);
    const auto picture = decodeGuarded(png);
    if (ref.decoded != picture.has_value()) {
        return ::testing::AssertionFailure() << (ref.decoded ? "cairo decodes it, the decoder does not" : "only the decoder decodes it");
    }
    if (!ref.decoded) return ::testing::AssertionSuccess();
    if (picture->width != ref.width || picture->height != ref.height) {
        return ::testing::AssertionFailure() << "size " << picture->width << "x" << picture->height << ", cairo's " << ref.width << "x"
                                             << ref.height;
    }
    const Bytes got(picture->pixels.get(), picture->pixels.get() + ref.pixels.size());
    const auto mismatch = std::mismatch(got.begin(), got.end(), ref.pixels.begin());
    if (mismatch.first != got.end()) {
        const auto at = static_cast<std::size_t>(mismatch.first - got.begin());
        return ::testing::AssertionFailure() << "byte " << at << " (pixel " << at / 4 << ") is " << int{*mismatch.first} << ", cairo's "
                                             << int{*mismatch.second};
    }
    // What the decoder says of the alpha, which spares the device a pass of its own.
    bool opaque = true;
    for (std::size_t i = 3; i < ref.pixels.size(); i += 4) opaque = opaque && ref.pixels[i] == 0xFF;
    if (picture->opaque != opaque) return ::testing::AssertionFailure() << "opaque is " << picture->opaque << ", the pixels say " << opaque;
    return ::testing::AssertionSuccess();
}

std::string describe(const PngSpec& spec) {
    return "colour type " + std::to_string(spec.colorType) + ", " + std::to_string(spec.bitDepth) + " bits" +
           (spec.interlaced ? ", interlaced" : "") + (spec.transparency ? ", tRNS" : "") + (spec.extras ? ", extra chunks" : "");
}

// ---- Pixels ---------------------------------------------------------------------------------

TEST(PngDecoderTest, EveryColourTypeDepthAndInterlaceGivesCairosPixels) {
    const std::vector<std::pair<int, std::vector<int>>> kinds = {
        {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},  {PNG_COLOR_TYPE_RGB, {8, 16}},       {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
        {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},     {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}},
    };
    int tried = 0;
    for (const auto& [colorType, depths] : kinds) {
        for (int depth : depths) {
            for (bool interlaced : {false, true}) {
                for (bool transparency : {false, true}) {
                    if (transparency && (colorType & PNG_COLOR_MASK_ALPHA) != 0) continue;  // no tRNS with an alpha channel
                    PngSpec spec;
                    spec.colorType = colorType;
                    spec.bitDepth = depth;
                    spec.interlaced = interlaced;
                    spec.transparency = transparency;
                    spec.extras = (tried % 2) == 1;
                    EXPECT_TRUE(sameAsCairo(makePng(spec, static_cast<std::uint32_t>(tried)))) << describe(spec);
                    ++tried;
                }
            }
        }
    }
    EXPECT_EQ(tried, 52);

    // Odd sizes, where Adam7's passes are partly empty.
    for (std::uint32_t side : {1u, 2u, 3u, 9u}) {
        PngSpec spec;
        spec.width = side;
        spec.height = side + 1;
        spec.interlaced = true;
        EXPECT_TRUE(sameAsCairo(makePng(spec))) << side;
    }
}

TEST(PngDecoderTest, PremultipliesEveryAlphaAndColourAsCairoDid) {
    // A 256 x 256 picture of every colour value against every alpha value.
    PngSpec spec;
    spec.width = 256;
    spec.height = 256;
    Bytes out;
    std::vector<Bytes> rowData(256, Bytes(256 * 4));
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            auto* p = &rowData[static_cast<std::size_t>(y)][static_cast<std::size_t>(x) * 4];
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(255 - x);
            p[2] = static_cast<std::uint8_t>(x ^ 0x5A);
            p[3] = static_cast<std::uint8_t>(y);
        }
    }
    std::vector<png_bytep> rows;
    for (Bytes& row : rowData) rows.push_back(row.data());
    ASSERT_TRUE(writeWithLibpng({&spec, rows.data(), nullptr, 0, nullptr, 0, nullptr, &out}));
    EXPECT_TRUE(sameAsCairo(out));
}

TEST(PngDecoderTest, SampleThemePicturesGiveCairosPixelsThroughTheDevice) {
    CairoGraphicsDevice device;
    ASSERT_TRUE(device.createOffscreenTarget(4, 4));
    int pictures = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::path(VELMORA_SOURCE_DIR) / "themes")) {
        if (entry.path().extension() != ".png") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes png{std::istreambuf_iterator<char>(in), {}};
        const Reference ref = cairoDecode(png);
        ASSERT_TRUE(ref.decoded) << entry.path();
        std::vector<std::unique_ptr<Bitmap>> bitmaps;
        bitmaps.push_back(device.loadPictureBytes(png.data(), png.size()));
        bitmaps.push_back(device.loadPictureFile(entry.path().u16string()));
        for (const auto& bitmap : bitmaps) {
            ASSERT_NE(bitmap, nullptr) << entry.path();
            cairo_surface_t* surface = static_cast<const CairoBitmap&>(*bitmap).surface();
            ASSERT_EQ(cairo_image_surface_get_format(surface), CAIRO_FORMAT_ARGB32);
            ASSERT_EQ(cairo_image_surface_get_width(surface), static_cast<int>(ref.width));
            ASSERT_EQ(cairo_image_surface_get_height(surface), static_cast<int>(ref.height));
            const int stride = cairo_image_surface_get_stride(surface);
            for (std::uint32_t y = 0; y < ref.height; ++y) {
                ASSERT_EQ(std::memcmp(cairo_image_surface_get_data(surface) + y * static_cast<std::uint32_t>(stride),
                                      ref.pixels.data() + y * ref.width * 4, ref.width * 4),
                          0)
                    << entry.path() << " row " << y;
            }
        }
        ++pictures;
    }
    EXPECT_GT(pictures, 10);
}

// ---- Straight into the pixels -------------------------------------------------------------

// Rows as a PNG stores them (a filter type, then the filtered samples), of random samples: any
// bytes undo to some picture under any filter.
Bytes storedRows(std::uint32_t width, std::uint32_t height, int channels, std::uint32_t seed, int filter = -1) {
    std::uint32_t state = seed * 2654435761u + 7u;
    Bytes rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        state = state * 1103515245u + 12345u;
        rows.push_back(static_cast<std::uint8_t>(filter >= 0 ? filter : static_cast<int>((state >> 16) % 5)));
        for (std::uint32_t i = 0; i < width * static_cast<std::uint32_t>(channels); ++i) {
            state = state * 1103515245u + 12345u;
            // Runs of repeated bytes, so that the stream holds matches.
            rows.push_back(static_cast<std::uint8_t>((state >> 24) < 96 ? 0xFF : state >> 16));
        }
    }
    return rows;
}

Bytes deflated(const Bytes& raw, int windowBits = 15) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, static_cast<uLong>(raw.size())));
    stream.next_in = const_cast<Bytef*>(raw.data());
    stream.avail_in = static_cast<uInt>(raw.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A PNG of the given image data stream, cut into chunks of at most pieceBytes, with extra chunks
// before and after the image data.
Bytes assembled(std::uint32_t width, std::uint32_t height, int colorType, const Bytes& stream, std::size_t pieceBytes = 1u << 20,
                const Bytes& before = {}, const Bytes& after = {}) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header(13);
    putBigEndian32(&header[0], width);
    putBigEndian32(&header[4], height);
    header[8] = 8;
    header[9] = static_cast<std::uint8_t>(colorType);
    const Bytes ihdr = chunk("IHDR", 13, header);
    png.insert(png.end(), ihdr.begin(), ihdr.end());
    png.insert(png.end(), before.begin(), before.end());
    for (std::size_t at = 0; at < stream.size(); at += pieceBytes) {
        const Bytes piece(stream.begin() + static_cast<std::ptrdiff_t>(at),
                          stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), at + pieceBytes)));
        const Bytes idat = chunk("IDAT", static_cast<std::uint32_t>(piece.size()), piece);
        png.insert(png.end(), idat.begin(), idat.end());
    }
    png.insert(png.end(), after.begin(), after.end());
    const Bytes iend = chunk("IEND", 0, {});
    png.insert(png.end(), iend.begin(), iend.end());
    return png;
}

TEST(PngDecoderTest, PlainPicturesAreInflatedStraightIntoThePixelsWithCairosPixels) {
    const Bytes text = chunk("tEXt", 12, Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'a', 'b', 'c', 'd'});
    struct Case {
        std::uint32_t width, height;
        int filter;  // -1: each row its own
        std::size_t pieceBytes;
        bool extraChunks;
    };
    const std::vector<Case> cases = {
        {1, 1, -1, 1u << 20, false}, {37, 23, 0, 1u << 20, false}, {37, 23, 1, 1u << 20, false}, {37, 23, 2, 1u << 20, false},
        {37, 23, 3, 1u << 20, false}, {37, 23, 4, 1u << 20, false}, {300, 40, -1, 1u << 20, true},
        // The stream in chunks of one byte, and of three: its checksum split between chunks.
        {9, 7, -1, 1, false}, {9, 7, -1, 3, true}, {200, 3, -1, 997, false},
    };
    int seed = 0;
    for (const Case& c : cases) {
        for (int colorType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}) {
            const int channels = colorType == PNG_COLOR_TYPE_RGB ? 3 : 4;
            const Bytes png = assembled(c.width, c.height, colorType, deflated(storedRows(c.width, c.height, channels, ++seed, c.filter)),
                                        c.pieceBytes, c.extraChunks ? text : Bytes{}, c.extraChunks ? text : Bytes{});
            DecodeCost cost;
            EXPECT_TRUE(decodeGuarded(png, &cost)) << c.width << "x" << c.height << " filter " << c.filter << " type " << colorType;
            EXPECT_TRUE(cost.direct) << c.width << "x" << c.height << " filter " << c.filter << " type " << colorType;
            EXPECT_LT(cost.libraryPeakBytes, std::size_t{64} << 10);
            EXPECT_TRUE(sameAsCairo(png)) << c.width << "x" << c.height << " filter " << c.filter << " type " << colorType;
        }
    }
    // libpng's own files, the theme's pictures among them, take this way too.
    DecodeCost cost;
    EXPECT_TRUE(decodeGuarded(makePng(PngSpec{}), &cost));
    EXPECT_TRUE(cost.direct);
}

TEST(PngDecoderTest, ImageDataLibpngWouldFaultIsLeftToLibpng) {
    constexpr std::uint32_t kWidth = 40, kHeight = 30;
    const Bytes rows = storedRows(kWidth, kHeight, 4, 3);
    const Bytes stream = deflated(rows);
    auto withStream = [](Bytes s) { return assembled(kWidth, kHeight, PNG_COLOR_TYPE_RGB_ALPHA, s); };
    Bytes badChecksum = stream;
    badChecksum.back() ^= 0x01;
    Bytes badFilter = rows;
    badFilter[(kWidth * 4 + 1) * 7] = 5;
    Bytes trailing = stream;
    trailing.insert(trailing.end(), {1, 2, 3, 4});
    const Bytes text = chunk("tEXt", 4, Bytes{'a', 0, 'b', 'c'});
    Bytes interrupted = assembled(kWidth, kHeight, PNG_COLOR_TYPE_RGB_ALPHA, stream, stream.size() / 2);
    const Bytes secondIdat = chunk("IDAT", 0, {});
    interrupted.insert(interrupted.begin() + static_cast<std::ptrdiff_t>(chunkAt(interrupted, "IDAT") + 12 +
                                                                          bigEndian32(&interrupted[chunkAt(interrupted, "IDAT")])),
                       text.begin(), text.end());
    Bytes badTextChecksum = assembled(kWidth, kHeight, PNG_COLOR_TYPE_RGB_ALPHA, stream, 1u << 20, text);
    badTextChecksum[chunkAt(badTextChecksum, "tEXt") + 12] ^= 0x01;
    const Bytes palette = chunk("PLTE", 3, Bytes{1, 2, 3});

    const std::vector<std::pair<const char*, Bytes>> files = {
        {"a wrong stream checksum", withStream(badChecksum)},
        {"a wrong stream checksum split between chunks", assembled(kWidth, kHeight, PNG_COLOR_TYPE_RGB_ALPHA, badChecksum, 2)},
        {"a filter type that does not exist", withStream(deflated(badFilter))},
        {"a row too few", withStream(deflated(Bytes(rows.begin(), rows.end() - kWidth * 4 - 1)))},
        {"a row too many", withStream(deflated(storedRows(kWidth, kHeight + 1, 4, 3)))},
        {"bytes after the stream", withStream(trailing)},
        {"a chunk inside the image data", interrupted},
        {"a damaged chunk that changes no pixel", badTextChecksum},
        {"a palette in an RGB picture", assembled(kWidth, kHeight, PNG_COLOR_TYPE_RGB_ALPHA, stream, 1u << 20, palette)},
        // A window smaller than the rows: libpng inflates row by row within it.
        {"a 512-byte window", withStream(deflated(rows, 9))},
        {"a 16-bit picture", [&] {
             Bytes png = withStream(stream);
             png[24] = 16;
             putBigEndian32(&png[29], crc32(&png[12], 17));
             return png;
         }()},
    };
    for (const auto& [what, png] : files) {
        DecodeCost cost;
        decodeGuarded(png, &cost);
        EXPECT_FALSE(cost.direct) << what;
        EXPECT_TRUE(sameAsCairo(png)) << what;
    }
    // Within its window the small window changes nothing.
    const Bytes small = storedRows(5, 4, 4, 9);
    DecodeCost cost;
    EXPECT_TRUE(decodeGuarded(assembled(5, 4, PNG_COLOR_TYPE_RGB_ALPHA, deflated(small, 9)), &cost));
    EXPECT_TRUE(cost.direct);
}

// The SIMD steps against their plain versions (the ones machines without SSE2 run) and zlib, at
// lengths around the vector width and the 32-bit sums' block, with bytes at their largest too.
TEST(PngDecoderTest, SimdStepsMatchTheirPlainVersions) {
    std::uint32_t state = 12345;
    auto next = [&] { return static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16); };
    for (std::size_t n : {0, 1, 15, 16, 17, 5535, 5536, 5537, 100000}) {
        for (const bool largest : {false, true}) {
            Bytes bytes(n * 4);
            for (std::uint8_t& b : bytes) b = largest ? 0xFF : next();
            const std::uint32_t zlib = static_cast<std::uint32_t>(::adler32(1, bytes.data(), static_cast<uInt>(n)));
            EXPECT_EQ(png_internal::adler32Scalar(bytes.data(), n), zlib) << n;
            EXPECT_EQ(png_internal::adler32(bytes.data(), n), zlib) << n;
            // Opaque but for at most one pixel, in the vector steps or in the tail.
            for (std::size_t x = 0; x < n; ++x) bytes[x * 4 + 3] = 0xFF;
            for (const std::size_t translucent : {n, n / 2, n - 1}) {
                if (translucent < n) bytes[translucent * 4 + 3] = next() & 0x7F;
                Bytes plain(n * 4), simd(n * 4);
                const bool plainOpaque = png_internal::reorderRgbaScalar(bytes.data(), n, plain.data());
                EXPECT_EQ(plainOpaque, translucent >= n) << n;
                EXPECT_EQ(png_internal::reorderRgba(bytes.data(), n, simd.data()), plainOpaque) << n << " " << translucent;
                EXPECT_EQ(simd, plain) << n;
                for (std::size_t x = 0; x < n; ++x) EXPECT_EQ(plain[x * 4], bytes[x * 4 + 2]);
            }
        }
    }
}

// ---- Limits -------------------------------------------------------------------------------

TEST(PngDecoderTest, SizesOverEitherLimitAreRefusedBeforeAnyPixelMemory) {
    DecodeLimits small;
    small.maxSide = 64;
    small.maxPixels = 64 * 32;
    auto sized = [](std::uint32_t width, std::uint32_t height) {
        PngSpec spec;
        spec.width = width;
        spec.height = height;
        spec.colorType = PNG_COLOR_TYPE_GRAY;
        return makePng(spec);
    };
    EXPECT_TRUE(decodeGuarded(sized(64, 32), nullptr, small));
    EXPECT_TRUE(decodeGuarded(sized(32, 64), nullptr, small));
    DecodeCost cost;
    for (const auto& [width, height] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{{65, 1}, {1, 65}, {64, 33}}) {
        EXPECT_FALSE(decodeGuarded(sized(width, height), &cost, small)) << width << "x" << height;
        EXPECT_EQ(cost.pixelBytes, 0u);
    }

    // Headers claiming sizes the default limits refuse, or no pixels at all, with a few bytes of
    // data behind them.
    const Bytes tiny = makePng(PngSpec{});
    for (const auto& [width, height] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {16384, 16384}, {9000, 9000}, {16385, 1}, {0x7FFFFFFF, 1}, {0xFFFFFFFF, 0xFFFFFFFF}, {0, 0}, {0, 10}}) {
        EXPECT_FALSE(decodeGuarded(withStatedSize(tiny, width, height), &cost)) << width << "x" << height;
        EXPECT_EQ(cost.pixelBytes, 0u);
    }
    // Within both limits, but far more pixels than a few hundred bytes of deflate data can hold.
    EXPECT_FALSE(decodeGuarded(withStatedSize(tiny, 16384, 4096), &cost));
    EXPECT_EQ(cost.pixelBytes, 0u);
    // The same claim backed by enough data is decoded up to where the data runs out.
    EXPECT_FALSE(decodeGuarded(withStatedSize(tiny, 400, 300), &cost));
    EXPECT_EQ(cost.pixelBytes, 400u * 300 * 4);
}

TEST(PngDecoderTest, ChunksClaimingHugeLengthsCostLittle) {
    const Bytes png = makePng(PngSpec{});
    const DecodeLimits limits;
    DecodeCost cost;
    // What libpng needs besides the pixels for a small picture: its structures, row buffers and
    // the inflater.
    constexpr std::size_t kLittle = 256 * 1024;
    ASSERT_TRUE(decodeGuarded(png, &cost));
    EXPECT_LT(cost.libraryPeakBytes, kLittle);

    // A chunk stating nearly 2 GB, with a handful of bytes behind it, of each kind libpng reads
    // into memory (text, compressed text, colour profile) or caches (unknown), and as image data.
    for (const char* type : {"tEXt", "zTXt", "iTXt", "iCCP", "sPLT", "vpAg", "IDAT"}) {
        const Bytes hostile = withChunkBeforeData(png, chunk(type, 0x7FFFFFF0u, Bytes(16, 'x')));
        EXPECT_FALSE(decodeGuarded(hostile, &cost)) << type;
        EXPECT_LT(cost.libraryPeakBytes, kLittle) << type;
    }
    // A length past PNG's 31-bit limit.
    EXPECT_FALSE(decodeGuarded(withChunkBeforeData(png, chunk("tEXt", 0xFFFFFFF0u, Bytes(16, 'x'))), &cost));

    // Real chunks larger than the chunk limit are skipped over, as cairo's reader kept them
    // out of the pixels: the picture decodes, and the chunk never enters memory.
    Bytes big(limits.maxChunkBytes + 1000, 'y');
    std::memcpy(big.data(), "Comment\0", 8);
    for (const char* type : {"tEXt", "zTXt", "vpAg"}) {
        const Bytes large = withChunkBeforeData(png, chunk(type, static_cast<std::uint32_t>(big.size()), big));
        EXPECT_TRUE(decodeGuarded(large, &cost)) << type;
        EXPECT_LT(cost.libraryPeakBytes, kLittle) << type;
    }
}

TEST(PngDecoderTest, TheWidestDeepestPictureNeedsLittleWorkingMemory) {
    PngSpec spec;
    spec.width = 16384;
    spec.height = 2;
    spec.bitDepth = 16;
    spec.interlaced = true;
    DecodeCost cost;
    const auto picture = decodeGuarded(makePng(spec), &cost);
    ASSERT_TRUE(picture);
    EXPECT_EQ(cost.pixelBytes, 16384u * 2 * 4);
    EXPECT_LT(cost.libraryPeakBytes, std::size_t{2} << 20);
}

// ---- Broken files -------------------------------------------------------------------------

TEST(PngDecoderTest, DataEndingEarlyGivesNothingAtEveryLength) {
    PngSpec palette;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.transparency = true;
    palette.interlaced = true;
    PngSpec plain;
    plain.extras = true;
    for (const PngSpec& spec : {plain, palette}) {
        const Bytes png = makePng(spec);
        ASSERT_TRUE(decodeGuarded(png)) << describe(spec);
        for (std::size_t length = 0; length < png.size(); ++length) {
            const Bytes cut(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_FALSE(decodeGuarded(cut)) << describe(spec) << ", cut to " << length << " of " << png.size();
        }
    }
    EXPECT_FALSE(decodePng(nullptr, 100));
}

TEST(PngDecoderTest, DamagedBytesAreTreatedAsCairoTreatedThem) {
    PngSpec spec;
    spec.width = 5;
    spec.height = 4;
    spec.extras = true;
    const Bytes png = makePng(spec);

    // A wrong checksum on the header or the image data refuses the picture; on a chunk that
    // changes no pixel it is ignored.
    for (const char* type : {"IHDR", "IDAT", "IEND"}) {
        Bytes bad = png;
        const std::size_t at = chunkAt(png, type);
        bad[at + 8 + bigEndian32(&png[at])] ^= 0x01;
        EXPECT_FALSE(decodeGuarded(bad)) << type;
        EXPECT_TRUE(sameAsCairo(bad)) << type;
    }
    Bytes badText = png;
    const std::size_t text = chunkAt(png, "zTXt");
    badText[text + 8 + bigEndian32(&png[text])] ^= 0x01;
    EXPECT_TRUE(decodeGuarded(badText));
    EXPECT_TRUE(sameAsCairo(badText));

    // Every single damaged byte: decoded or refused exactly as cairo's reader did, with the
    // same pixels, and never a read past the end.
    for (std::size_t at = 0; at < png.size(); ++at) {
        for (std::uint8_t mask : {0x01, 0xFF}) {
            Bytes damaged = png;
            damaged[at] ^= mask;
            EXPECT_TRUE(sameAsCairo(damaged)) << "byte " << at << " ^ " << int{mask};
        }
    }
}

TEST(PngDecoderTest, ImageDataThatDoesNotInflateGivesNothing) {
    const Bytes png = makePng(PngSpec{});
    const std::size_t at = chunkAt(png, "IDAT");
    const std::uint32_t length = bigEndian32(&png[at]);
    // Data replaced by garbage, with a checksum that matches it.
    Bytes garbage = png;
    for (std::uint32_t i = 2; i < length; ++i) garbage[at + 8 + i] = static_cast<std::uint8_t>(i * 37);
    putBigEndian32(&garbage[at + 8 + length], crc32(&garbage[at + 4], 4 + length));
    EXPECT_FALSE(decodeGuarded(garbage));
}

// Deflate's bits, least significant first; Huffman codes go in from their first (highest) bit.
class DeflateBits {
public:
    void bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) put((value >> i) & 1u);
    }
    void code(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) put((value >> i) & 1u);
    }
    Bytes take() { return std::move(out_); }

private:
    void put(std::uint32_t bit) {
        if (used_ == 0) out_.push_back(0);
        out_.back() = static_cast<std::uint8_t>(out_.back() | (bit << used_));
        used_ = (used_ + 1) % 8;
    }
    Bytes out_;
    int used_ = 0;
};

TEST(PngDecoderTest, ImageDataPastThePixelsIsNotInflated) {
    // A 1x1 picture whose image data goes on to inflate 4 GiB past its one row: a fixed-code
    // block of the row, then matches of 258 bytes, each in 13 bits.
    DeflateBits deflate;
    deflate.bits(0x78, 8);
    deflate.bits(0x01, 8);
    deflate.bits(0, 1);  // not the last block
    deflate.bits(1, 2);  // fixed codes
    for (int i = 0; i < 5; ++i) deflate.code(0x30 + (i == 0 ? 0 : 0x40), 8);  // filter 0, then 0x40 four times
    const std::uint64_t matches = (std::uint64_t{4} << 30) / 258;
    for (std::uint64_t i = 0; i < matches; ++i) {
        deflate.code(0xC5, 8);  // length 258
        deflate.code(0, 5);     // distance 1
    }
    deflate.code(0, 7);  // end of block
    deflate.bits(1, 1);  // the last block: empty
    deflate.bits(1, 2);
    deflate.code(0, 7);
    Bytes data = deflate.take();
    data.insert(data.end(), {0, 0, 0, 0});  // a checksum nobody reaches

    Bytes png = makePng(PngSpec{1, 1});
    const std::size_t at = chunkAt(png, "IDAT");
    const Bytes idat = chunk("IDAT", static_cast<std::uint32_t>(data.size()), data);
    png.erase(png.begin() + static_cast<std::ptrdiff_t>(at),
              png.begin() + static_cast<std::ptrdiff_t>(at + 12 + bigEndian32(&png[at])));
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(at), idat.begin(), idat.end());

    const auto start = std::chrono::steady_clock::now();
    const auto picture = decodeGuarded(png);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels[3], 0x40);
    // Inflating it all takes several seconds.
    EXPECT_LT(seconds, 1.0);
    // Cut short after the image data, it is still refused.
    png.resize(png.size() - 12);
    EXPECT_FALSE(decodeGuarded(png));
}

}  // namespace
}  // namespace velmora
