#include "platform/linux/device/png_decoder.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

namespace velmora {

namespace {

// Besides one chunk's data, libpng keeps row buffers (at most 8 bytes a pixel of the widest row)
// and zlib's inflater: well under 1 MiB for the widest picture allowed.
constexpr std::size_t kLibraryWorkingBytes = std::size_t{4} << 20;

// Ancillary chunks libpng may keep in memory at once; all but tRNS are skipped unread anyway.
constexpr png_uint_32 kChunkCacheMax = 32;

// Deflate turns at most 1032 bytes into one (a 258-byte match in two one-bit codes), so a file
// of n bytes holds at most 1032 n bytes of picture data; twice that leaves room to spare.
constexpr std::uint64_t kMaxInflation = 2 * 1032;

// Image data read after the last row to finish the stream: a real encoder leaves a few bytes, and
// this much inflates to at most 66 MiB.
constexpr std::uint64_t kTrailingImageData = 64 * 1024;

// Everything the libpng callbacks reach. It lives in decodePng's frame; the frames that call
// setjmp hold only plain values, so that a longjmp skips no destructor.
struct Session {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
    std::size_t libraryBudget;
    std::size_t libraryInUse;
    std::size_t libraryPeak;
    // Set once the header is read: the rows, so that reads after the last one are recognised.
    std::uint32_t height;
    bool rowsDone;            // png_read_image returned
    std::size_t trailing;     // bytes read after the last row while the image data is finished
    bool trailingCut;         // the image data went on past kTrailingImageData and was not inflated
    std::uint32_t rowsFinished;  // rows read one by one and premultiplied while still in the cache
    bool translucent;            // some premultiplied pixel was not opaque
};

void readFromMemory(png_structp png, png_bytep out, std::size_t length) {
    auto* session = static_cast<Session*>(png_get_io_ptr(png));
    // After the last row of the last pass libpng inflates the rest of the image data to its end;
    // past kTrailingImageData it is not fed any more.
    if (!session->rowsDone && session->height != 0 &&
        (png_get_current_pass_number(png) >= 7 || png_get_current_row_number(png) >= session->height)) {
        session->trailing += length;
        if (session->trailing > kTrailingImageData) {
            session->trailingCut = true;
            png_error(png, "image data goes on past the pixels");
        }
    }
    if (session->size - session->offset < length) png_error(png, "data ends early");
    std::memcpy(out, session->data + session->offset, length);
    session->offset += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Warnings do not stop the decode, as with cairo's reader; they are not printed.
void onWarning(png_structp, png_const_charp) {}

// libpng's heap, counted: each block carries its size in front of it, and nothing is handed out
// past the budget (libpng then fails with "out of memory").
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

png_voidp allocate(png_structp png, png_alloc_size_t size) {
    auto* session = static_cast<Session*>(png_get_mem_ptr(png));
    if (size > session->libraryBudget - session->libraryInUse) return nullptr;
    auto* block = static_cast<std::uint8_t*>(std::malloc(size + kBlockHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &size, sizeof size);
    session->libraryInUse += size;
    if (session->libraryInUse > session->libraryPeak) session->libraryPeak = session->libraryInUse;
    return block + kBlockHeader;
}

void release(png_structp png, png_voidp pointer) {
    if (pointer == nullptr) return;
    auto* session = static_cast<Session*>(png_get_mem_ptr(png));
    std::uint8_t* block = static_cast<std::uint8_t*>(pointer) - kBlockHeader;
    png_alloc_size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    session->libraryInUse -= size;
    std::free(block);
}

class ReadStruct {
public:
    explicit ReadStruct(Session* session)
        : png_(png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning, session, allocate, release)) {
        if (png_ != nullptr) info_ = png_create_info_struct(png_);
    }
    ~ReadStruct() {
        if (png_ != nullptr) png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
    }
    ReadStruct(const ReadStruct&) = delete;
    ReadStruct& operator=(const ReadStruct&) = delete;

    bool ok() const { return png_ != nullptr && info_ != nullptr; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_ = nullptr;
};

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
    int interlace;
    int channels;
};

// Each step below that calls into libpng sets its own return point: a jump never lands in a
// frame that has returned, and these frames hold nothing to destroy.

bool readHeader(png_structp png, png_infop info, const DecodeLimits& limits, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, limits.maxSide, limits.maxSide);
    png_set_chunk_malloc_max(png, limits.maxChunkBytes);
    png_set_chunk_cache_max(png, kChunkCacheMax);
    // Only tRNS of the ancillary chunks changes pixels here (cairo applies no gamma, colour
    // profile or background): the others are skipped over without being read into memory.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);
    png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType, &header->interlace,
                 nullptr, nullptr);
    header->channels = png_get_channels(png, info);
    return true;
}

// Every colour type and depth to 8-bit B, G, R, A, with the transforms cairo's reader sets.
bool setUpConversion(png_structp png, png_infop info, const Header& header) {
    if (setjmp(png_jmpbuf(png))) return false;
    if (header.colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (header.colorType == PNG_COLOR_TYPE_GRAY) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
    if (header.bitDepth == 16) png_set_strip_16(png);
    if (header.bitDepth < 8) png_set_packing(png);
    if (header.colorType == PNG_COLOR_TYPE_GRAY || header.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if (header.interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_read_update_info(png, info);
    return png_get_bit_depth(png, info) == 8 && png_get_channels(png, info) == 4 &&
           png_get_rowbytes(png, info) == std::size_t{header.width} * 4;
}

// cairo's rounding of a * c / 255.
std::uint8_t multiplyAlpha(unsigned alpha, unsigned color) {
    const unsigned t = alpha * color + 0x80;
    return static_cast<std::uint8_t>(((t >> 8) + t) >> 8);
}

// Whether every pixel was opaque.
bool premultiply(std::uint8_t* pixels, std::size_t count) {
    bool opaque = true;
    for (std::uint8_t* p = pixels; count > 0; --count, p += 4) {
        const unsigned alpha = p[3];
        if (alpha == 0xFF) continue;
        opaque = false;
        if (alpha == 0) {
            p[0] = p[1] = p[2] = 0;
            continue;
        }
        p[0] = multiplyAlpha(alpha, p[0]);
        p[1] = multiplyAlpha(alpha, p[1]);
        p[2] = multiplyAlpha(alpha, p[2]);
    }
    return opaque;
}

// All rows. An interlaced picture is read whole (each pass revisits every row); any other row by
// row, each premultiplied (when it can hold alpha) straight after it is read, while it is still
// in the cache: one pass over the pixels instead of two.
bool readRows(png_structp png, png_bytepp rows, std::uint32_t width, bool interlaced, bool alpha, Session& session) {
    if (setjmp(png_jmpbuf(png))) return false;
    if (interlaced) {
        png_read_image(png, rows);
        return true;
    }
    for (std::uint32_t y = 0; y < session.height; ++y) {
        png_read_row(png, rows[y], nullptr);
        if (alpha && !premultiply(rows[y], width)) session.translucent = true;
        session.rowsFinished = y + 1;
    }
    return true;
}

bool readEnd(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_end(png, info);
    return true;
}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

// The chunks after the signature, as far as they fit in the data.
template <typename Visit>
void walkChunks(const std::uint8_t* data, std::size_t size, Visit visit) {
    std::size_t at = 8;
    while (size - at >= 12) {
        const std::uint64_t length = bigEndian32(data + at);
        if (length > size - at - 12) return;
        if (!visit(data + at + 4, at + 8, static_cast<std::size_t>(length))) return;
        at += 12 + static_cast<std::size_t>(length);
    }
}

// What reading to the end checks, without inflating the rest of the image data: the file goes on
// to IEND, and the image data and IEND chunks from offset on have sound checksums.
bool soundEnd(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    bool ended = false, sound = true;
    walkChunks(data, size, [&](const std::uint8_t* type, std::size_t start, std::size_t length) {
        const bool end = std::memcmp(type, "IEND", 4) == 0;
        if ((end || std::memcmp(type, "IDAT", 4) == 0) && start + length + 4 > offset) {
            const uLong crc = crc32(crc32(0L, Z_NULL, 0), type, static_cast<uInt>(length + 4));
            sound = sound && crc == bigEndian32(data + start + length);
        }
        ended = end;
        return !end;
    });
    return ended && sound;
}

}  // namespace

bool withinLimits(const PngHeader& header, const DecodeLimits& limits) {
    return header.status == PngHeaderStatus::Ok && header.width > 0 && header.height > 0 && header.width <= limits.maxSide &&
           header.height <= limits.maxSide && std::uint64_t{header.width} * header.height <= limits.maxPixels;
}

namespace {

std::optional<DecodedPicture> decodeSession(Session& session, const DecodeLimits& limits, std::size_t* pixelBytesTaken) {
    ReadStruct reader(&session);
    if (!reader.ok()) return std::nullopt;
    png_set_read_fn(reader.png(), &session, readFromMemory);

    Header header{};
    if (!readHeader(reader.png(), reader.info(), limits, &header)) return std::nullopt;
    // The same IHDR the caller's check read; checked again on libpng's values, as they size the
    // allocation below.
    if (!withinLimits(PngHeader{PngHeaderStatus::Ok, header.width, header.height}, limits)) return std::nullopt;
    const std::uint64_t packedBytes =
        (std::uint64_t{header.width} * static_cast<unsigned>(header.channels * header.bitDepth) + 7) / 8 * header.height;
    if (packedBytes > std::uint64_t{session.size} * kMaxInflation) return std::nullopt;  // the data cannot hold it

    if (!setUpConversion(reader.png(), reader.info(), header)) return std::nullopt;

    const std::size_t rowBytes = std::size_t{header.width} * 4;
    const std::size_t pixelBytes = rowBytes * header.height;
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[pixelBytes]);
    std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[header.height]);
    if (pixels == nullptr || rows == nullptr) return std::nullopt;
    *pixelBytesTaken = pixelBytes;
    for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = pixels.get() + y * rowBytes;

    session.height = header.height;
    // Without an alpha channel or a transparent colour every pixel is opaque after the filler.
    const bool alpha = (header.colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(reader.png(), reader.info(), PNG_INFO_tRNS) != 0;
    if (readRows(reader.png(), rows.get(), header.width, header.interlace != PNG_INTERLACE_NONE, alpha, session)) {
        session.rowsDone = true;
        // Through IEND, so that a file cut short after its image data is refused too.
        if (!readEnd(reader.png(), reader.info())) return std::nullopt;
    } else if (!session.trailingCut || !soundEnd(session.data, session.size, session.offset)) {
        // Image data left over past the pixels (a stream that inflates on and on) is not
        // inflated: its chunks are only checked.
        return std::nullopt;
    }
    // What the row loop did not finish: an interlaced picture, or the last row when reading on
    // past it stopped at the trailing data.
    if (alpha && session.rowsFinished < header.height &&
        !premultiply(pixels.get() + std::size_t{session.rowsFinished} * rowBytes,
                     std::size_t{header.width} * (header.height - session.rowsFinished)))
        session.translucent = true;

    DecodedPicture picture;
    picture.width = header.width;
    picture.height = header.height;
    picture.pixels = std::move(pixels);
    picture.opaque = !session.translucent;
    return picture;
}

}  // namespace

std::optional<DecodedPicture> decodePng(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits, DecodeCost* cost) {
    if (cost != nullptr) *cost = {};
    if (data == nullptr || size > limits.maxInputBytes || !withinLimits(readPngHeader(data, size), limits)) return std::nullopt;
    Session session{data, size, 0, limits.maxChunkBytes + kLibraryWorkingBytes, 0, 0, 0, false, 0, false, 0, false};
    std::size_t pixelBytes = 0;
    std::optional<DecodedPicture> picture = decodeSession(session, limits, &pixelBytes);
    if (cost != nullptr) *cost = {session.libraryPeak, pixelBytes};
    return picture;
}

}  // namespace velmora
