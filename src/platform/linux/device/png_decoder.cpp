#include "platform/linux/device/png_decoder.h"

#include <png.h>
#include <zlib.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace velmora::png_internal {

std::uint32_t adler32Scalar(const std::uint8_t* p, std::size_t n) {
    constexpr std::uint32_t kBase = 65521;
    // The most bytes after which b still fits in 32 bits (zlib's NMAX).
    constexpr std::size_t kBlock = 5552;
    std::uint32_t a = 1, b = 0;
    while (n > 0) {
        const std::size_t length = std::min(n, kBlock);
        for (std::size_t i = 0; i < length; ++i) {
            a += p[i];
            b += a;
        }
        a %= kBase;
        b %= kBase;
        p += length;
        n -= length;
    }
    return b << 16 | a;
}

bool reorderRgbaScalar(const std::uint8_t* row, std::size_t width, std::uint8_t* out) {
    unsigned alphaAll = 0xFF;
    for (std::size_t x = 0; x < width; ++x, row += 4, out += 4) {
        alphaAll &= row[3];
        out[0] = row[2];
        out[1] = row[1];
        out[2] = row[0];
        out[3] = row[3];
    }
    return alphaAll == 0xFF;
}

#if defined(__SSE2__)

// Sixteen bytes a step (zlib's own takes one): the one check of the stream besides the chunks'
// CRCs, and a quarter of the decoding done byte by byte.
std::uint32_t adler32(const std::uint8_t* p, std::size_t n) {
    constexpr std::uint32_t kBase = 65521;
    // Blocks short enough that no 32-bit lane below overflows before the modulo.
    constexpr std::size_t kBlock = 5536;
    std::uint64_t a = 1, b = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (n >= 16) {
        const std::size_t length = std::min(n, kBlock) & ~std::size_t{15};
        __m128i sums = zero, sumsBefore = zero, weighted = zero;
        for (std::size_t i = 0; i < length; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            sumsBefore = _mm_add_epi32(sumsBefore, sums);
            sums = _mm_add_epi32(sums, _mm_sad_epu8(bytes, zero));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weightsLow));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weightsHigh));
        }
        alignas(16) std::uint32_t lanes[3][4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[0]), sums);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[1]), sumsBefore);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[2]), weighted);
        const std::uint64_t sum = std::uint64_t{lanes[0][0]} + lanes[0][2];
        const std::uint64_t before = std::uint64_t{lanes[1][0]} + lanes[1][2];
        const std::uint64_t weights = std::uint64_t{lanes[2][0]} + lanes[2][1] + lanes[2][2] + lanes[2][3];
        b = (b + length * a + 16 * before + weights) % kBase;
        a = (a + sum) % kBase;
        p += length;
        n -= length;
    }
    for (; n > 0; --n, ++p) {
        a += *p;
        b += a;
    }
    return static_cast<std::uint32_t>((b % kBase) << 16 | (a % kBase));
}

// Four pixels a step.
bool reorderRgba(const std::uint8_t* row, std::size_t width, std::uint8_t* out) {
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
    __m128i alphas = _mm_set1_epi32(-1);
    std::size_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x * 4));
        alphas = _mm_and_si128(alphas, pixels);
        const __m128i swapped = _mm_or_si128(_mm_and_si128(pixels, keep),
                                             _mm_or_si128(_mm_slli_epi32(_mm_and_si128(pixels, low), 16),
                                                          _mm_and_si128(_mm_srli_epi32(pixels, 16), low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), swapped);
    }
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), alphas);
    const bool opaque = ((lanes[0] & lanes[1] & lanes[2] & lanes[3]) >> 24) == 0xFF;
    return reorderRgbaScalar(row + x * 4, width - x, out + x * 4) && opaque;
}

#else

std::uint32_t adler32(const std::uint8_t* p, std::size_t n) { return adler32Scalar(p, n); }
bool reorderRgba(const std::uint8_t* row, std::size_t width, std::uint8_t* out) { return reorderRgbaScalar(row, width, out); }

#endif

}  // namespace velmora::png_internal

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

// ---- Straight into the pixels ----------------------------------------------------------------
// Most theme pictures are 8-bit RGB or RGBA, not interlaced, with no chunk but image data and
// chunks that change no pixel. Their image data is inflated in one go straight into the pixel
// buffer and unfiltered there, a row at a time: no copy through libpng's row buffer and none of
// its per-row calls. Only a file libpng would read without complaint is taken this way, to the
// same pixels; anything else, and anything this path finds wrong, goes to libpng, so that a
// damaged or hostile file ends as libpng ends it.

voidpf allocateInflater(voidpf opaque, uInt items, uInt size) {
    auto* session = static_cast<Session*>(opaque);
    const std::size_t bytes = std::size_t{items} * size;
    if (bytes > session->libraryBudget - session->libraryInUse) return nullptr;
    auto* block = static_cast<std::uint8_t*>(std::malloc(bytes + kBlockHeader));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    session->libraryInUse += bytes;
    session->libraryPeak = std::max(session->libraryPeak, session->libraryInUse);
    return block + kBlockHeader;
}

void releaseInflater(voidpf opaque, voidpf pointer) {
    if (pointer == nullptr) return;
    auto* session = static_cast<Session*>(opaque);
    std::uint8_t* block = static_cast<std::uint8_t*>(pointer) - kBlockHeader;
    std::size_t bytes = 0;
    std::memcpy(&bytes, block, sizeof bytes);
    session->libraryInUse -= bytes;
    std::free(block);
}

struct Inflater {
    z_stream stream{};
    bool ready = false;
    ~Inflater() {
        if (ready) inflateEnd(&stream);
    }
};

bool isLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Where the run of image data chunks starts, when every chunk up to IEND is one libpng reads
// without complaint: sound checksums, image data in one run, besides it only ancillary chunks
// that change no pixel (libpng skips them unread) of at most the chunk limit. 0 otherwise.
std::size_t plainImageData(const std::uint8_t* data, std::size_t size, std::uint64_t rawBytes, std::size_t rowBytes,
                           const DecodeLimits& limits, std::size_t* last) {
    enum { Before, Inside, After } stage = Before;
    // libpng's bound on one image data chunk: the rows and deflate's overhead on them.
    const std::uint64_t dataLimit = rawBytes + 6 + 5 * (rawBytes / std::min<std::uint64_t>(rowBytes, 32566) + 1);
    std::size_t first = 0;
    std::size_t at = 8;
    while (size - at >= 12) {
        const std::uint32_t length = bigEndian32(data + at);
        const std::uint8_t* type = data + at + 4;
        if (length > 0x7FFFFFFFu || length > size - at - 12) return 0;
        if (!isLetter(type[0]) || !isLetter(type[1]) || !isLetter(type[2]) || !isLetter(type[3])) return 0;
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), type, static_cast<uInt>(length + 4));
        if (crc != bigEndian32(data + at + 8 + length)) return 0;
        if (at == 8) {
            if (std::memcmp(type, "IHDR", 4) != 0) return 0;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (stage == After || length == 0 || length > dataLimit) return 0;
            if (stage == Before) first = at;
            stage = Inside;
            *last = at;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            return stage != Before && length == 0 ? first : 0;
        } else {
            // Critical chunks (PLTE, a second IHDR, unknown ones) and tRNS change what is read.
            if ((type[0] & 0x20) == 0 || std::memcmp(type, "tRNS", 4) == 0 || length > limits.maxChunkBytes) return 0;
            if (stage == Inside) stage = After;
        }
        at += 12 + std::size_t{length};
    }
    return 0;
}

// Inflates the run of image data chunks from first into out, which it must fill exactly, with
// the stream's own checksum checked as libpng has zlib check it.
bool inflateImageData(const std::uint8_t* data, std::size_t first, std::size_t last, std::uint8_t* out, std::size_t outBytes,
                      Session& session) {
    Inflater inflater;
    inflater.stream.zalloc = allocateInflater;
    inflater.stream.zfree = releaseInflater;
    inflater.stream.opaque = &session;
    // The window the stream's header states, as libpng has zlib take it.
    if (inflateInit2(&inflater.stream, 0) != Z_OK) return false;
    inflater.ready = true;
    // The stream's checksum is its last four bytes; when they are in the last chunk it is
    // checked here, faster, after the stream ends, instead of by zlib.
    const std::uint32_t lastLength = bigEndian32(data + last);
    const bool checkHere = lastLength >= 4;
    if (checkHere && inflateValidate(&inflater.stream, 0) != Z_OK) return false;
    inflater.stream.next_out = out;
    inflater.stream.avail_out = static_cast<uInt>(outBytes);
    for (std::size_t at = first; std::memcmp(data + at + 4, "IDAT", 4) == 0; at += 12 + std::size_t{bigEndian32(data + at)}) {
        inflater.stream.next_in = const_cast<Bytef*>(data + at + 8);  // zlib only reads it
        inflater.stream.avail_in = bigEndian32(data + at);
        const int result = inflate(&inflater.stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            // The stream ends with the last image data chunk and fills the pixels exactly.
            const std::size_t next = at + 12 + std::size_t{bigEndian32(data + at)};
            if (inflater.stream.avail_in != 0 || inflater.stream.avail_out != 0 || std::memcmp(data + next + 4, "IDAT", 4) == 0) return false;
            return !checkHere || png_internal::adler32(out, outBytes) == bigEndian32(data + last + 8 + lastLength - 4);
        }
        if (result != Z_OK || inflater.stream.avail_in != 0) return false;
    }
    return false;
}

std::uint8_t paeth(std::uint8_t left, std::uint8_t up, std::uint8_t upLeft) {
    const int p = left + up - upLeft;
    const int toLeft = std::abs(p - left), toUp = std::abs(p - up), toUpLeft = std::abs(p - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft) return left;
    return toUp <= toUpLeft ? up : upLeft;
}

// One row's filter undone into row, from the row above (zeros for the first). False for a
// filter type that does not exist.
bool unfilter(std::uint8_t filter, const std::uint8_t* in, const std::uint8_t* above, std::uint8_t* row, std::size_t bytes, std::size_t bpp) {
    switch (filter) {
        case 0: std::memcpy(row, in, bytes); return true;
        case 1:
            for (std::size_t i = 0; i < bytes; ++i) row[i] = static_cast<std::uint8_t>(in[i] + (i >= bpp ? row[i - bpp] : 0));
            return true;
        case 2:
            for (std::size_t i = 0; i < bytes; ++i) row[i] = static_cast<std::uint8_t>(in[i] + above[i]);
            return true;
        case 3:
            for (std::size_t i = 0; i < bytes; ++i)
                row[i] = static_cast<std::uint8_t>(in[i] + (((i >= bpp ? row[i - bpp] : 0) + unsigned{above[i]}) >> 1));
            return true;
        case 4:
            for (std::size_t i = 0; i < bytes; ++i)
                row[i] = static_cast<std::uint8_t>(in[i] + (i >= bpp ? paeth(row[i - bpp], above[i], above[i - bpp]) : above[i]));
            return true;
        default: return false;
    }
}

// An unfiltered R, G, B(, A) row as premultiplied B, G, R, A. Whether every pixel was opaque.
bool toDevicePixels(const std::uint8_t* row, std::size_t width, std::size_t channels, std::uint8_t* out) {
    if (channels == 3) {
        for (std::size_t x = 0; x < width; ++x, row += 3, out += 4) {
            const std::uint32_t pixel = std::uint32_t{row[2]} | std::uint32_t{row[1]} << 8 | std::uint32_t{row[0]} << 16 | 0xFF000000u;
            std::memcpy(out, &pixel, 4);
        }
        return true;
    }
    // Opaque rows, the most, need nothing more.
    if (png_internal::reorderRgba(row, width, out)) return true;
    premultiply(out, width);
    return false;
}

// The picture, or nothing when the file is not of the kind this path takes (libpng then decodes
// it). *pixelBytesTaken says what the pixels took, as in decodeSession.
std::optional<DecodedPicture> decodeDirect(Session& session, const DecodeLimits& limits, std::size_t* pixelBytesTaken) {
    const std::uint8_t* data = session.data;
    const std::size_t size = session.size;
    if (size < 8 + 25) return std::nullopt;
    const std::uint8_t* ihdr = data + 16;
    const std::uint32_t width = bigEndian32(ihdr), height = bigEndian32(ihdr + 4);
    const int bitDepth = ihdr[8], colorType = ihdr[9];
    if (bigEndian32(data + 8) != 13 || bitDepth != 8 || (colorType != PNG_COLOR_TYPE_RGB && colorType != PNG_COLOR_TYPE_RGB_ALPHA) ||
        ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
        return std::nullopt;
    if (!withinLimits(PngHeader{PngHeaderStatus::Ok, width, height}, limits)) return std::nullopt;
    const std::size_t channels = colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
    const std::size_t rowIn = std::size_t{width} * channels, rowOut = std::size_t{width} * 4;
    const std::size_t rawBytes = (rowIn + 1) * height;
    if (rawBytes > std::uint64_t{size} * kMaxInflation) return std::nullopt;
    // zlib counts the output of one call in 32 bits (the limits keep pictures far below).
    if (std::uint64_t{width} * 4 * height + height > std::numeric_limits<uInt>::max()) return std::nullopt;
    std::size_t last = 0;
    const std::size_t first = plainImageData(data, size, rawBytes, rowIn + 1, limits, &last);
    if (first == 0) return std::nullopt;
    // zlib holds a picture's earlier rows only as far back as the stated window; past it, a
    // stream libpng's row by row inflation refuses could inflate in one go.
    const unsigned windowBits = data[first + 8] >> 4;
    if (windowBits > 7 || (windowBits < 7 && rawBytes > (std::size_t{256} << windowBits))) return std::nullopt;

    // The stream's bytes go at the end of the pixels (one more byte a row, for the filter type):
    // each row is unfiltered into a row of its own before its pixels overwrite it or the rows
    // before it, so nothing is read after it is overwritten.
    const std::size_t pixelBytes = rowOut * height;
    const std::size_t bufferBytes = pixelBytes + height;
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[bufferBytes]);
    std::unique_ptr<std::uint8_t[]> rows(new (std::nothrow) std::uint8_t[2 * rowIn]);
    if (pixels == nullptr || rows == nullptr) return std::nullopt;
    std::uint8_t* raw = pixels.get() + (bufferBytes - rawBytes);
    if (!inflateImageData(data, first, last, raw, rawBytes, session)) return std::nullopt;
    *pixelBytesTaken = pixelBytes;

    std::uint8_t* above = rows.get();
    std::uint8_t* row = rows.get() + rowIn;
    std::memset(above, 0, rowIn);
    bool opaque = true;
    for (std::uint32_t y = 0; y < height; ++y, raw += rowIn + 1) {
        if (!unfilter(raw[0], raw + 1, above, row, rowIn, channels)) {
            *pixelBytesTaken = 0;
            return std::nullopt;
        }
        opaque = toDevicePixels(row, width, channels, pixels.get() + y * rowOut) && opaque;
        std::swap(above, row);
    }
    DecodedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = std::move(pixels);
    picture.opaque = opaque;
    return picture;
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

namespace {

std::optional<DecodedPicture> decode(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits, DecodeCost* cost,
                                     bool tryDirect) {
    if (cost != nullptr) *cost = {};
    if (data == nullptr || size > limits.maxInputBytes || !withinLimits(readPngHeader(data, size), limits)) return std::nullopt;
    Session session{data, size, 0, limits.maxChunkBytes + kLibraryWorkingBytes, 0, 0, 0, false, 0, false, 0, false};
    std::size_t pixelBytes = 0;
    std::optional<DecodedPicture> picture;
    if (tryDirect) picture = decodeDirect(session, limits, &pixelBytes);
    const bool direct = picture.has_value();
    if (!direct) {
        session = Session{data, size, 0, limits.maxChunkBytes + kLibraryWorkingBytes, 0, 0, 0, false, 0, false, 0, false};
        picture = decodeSession(session, limits, &pixelBytes);
    }
    if (cost != nullptr) *cost = {session.libraryPeak, pixelBytes, direct};
    return picture;
}

}  // namespace

std::optional<DecodedPicture> decodePng(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits, DecodeCost* cost) {
    return decode(data, size, limits, cost, true);
}

std::optional<DecodedPicture> png_internal::decodeThroughLibpng(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits) {
    return decode(data, size, limits, nullptr, false);
}

}  // namespace velmora
