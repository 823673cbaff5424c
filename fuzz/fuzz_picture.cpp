// Picture bytes as the Linux drawing device decodes them (an archive member's bytes), and the
// picture drawn once when it decodes. A picture the decoder inflated straight into the pixels must
// be what libpng alone makes of the same bytes.
//
// libFuzzer's own mutations almost never leave a chunk's CRC or the image data's Adler-32 right,
// and with either wrong both decoders stop early. So most mutations are repaired: the CRCs
// recomputed after mutating the bytes, or the inflated rows mutated and deflated again.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "fuzz_support.h"
#include "platform/linux/device/png_decoder.h"

using namespace velmora;

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

void putBigEndian32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Each whole chunk (length, type, data, CRC) after the signature, in order.
template <typename Visit>
void eachChunk(std::uint8_t* data, std::size_t size, Visit visit) {
    for (std::size_t at = 8; size >= at && size - at >= 12;) {
        const std::uint32_t length = bigEndian32(data + at);
        if (length > size - at - 12) return;
        visit(data + at, std::size_t{length});
        at += 12 + std::size_t{length};
    }
}

void repairCrcs(std::uint8_t* data, std::size_t size) {
    eachChunk(data, size, [](std::uint8_t* chunk, std::size_t length) {
        putBigEndian32(chunk + 8 + length, static_cast<std::uint32_t>(crc32(0, chunk + 4, static_cast<uInt>(length + 4))));
    });
}

// The image data inflated, its rows mutated, deflated again with a random level and window, and
// cut into chunks of a random size; 0 when the image data does not inflate.
std::size_t mutateRows(std::uint8_t* data, std::size_t size, std::size_t maxSize, std::minstd_rand& random) {
    Bytes before, stream, after;
    bool seen = false;
    eachChunk(data, size, [&](std::uint8_t* chunk, std::size_t length) {
        const bool image = std::memcmp(chunk + 4, "IDAT", 4) == 0;
        seen = seen || image;
        Bytes& to = image ? stream : seen ? after : before;
        to.insert(to.end(), chunk + (image ? 8 : 0), chunk + (image ? 8 + length : 12 + length));
    });
    if (!seen) return 0;
    static Bytes rows(std::size_t{256} << 10);
    uLongf rowsSize = static_cast<uLongf>(rows.size());
    if (uncompress(rows.data(), &rowsSize, stream.data(), static_cast<uLong>(stream.size())) != Z_OK) return 0;
    rowsSize = LLVMFuzzerMutate(rows.data(), rowsSize, rows.size());

    z_stream deflater{};
    if (deflateInit2(&deflater, static_cast<int>(random() % 10), Z_DEFLATED, 9 + static_cast<int>(random() % 7), 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return 0;
    stream.assign(deflateBound(&deflater, rowsSize), 0);
    deflater.next_in = rows.data();
    deflater.avail_in = static_cast<uInt>(rowsSize);
    deflater.next_out = stream.data();
    deflater.avail_out = static_cast<uInt>(stream.size());
    const int result = deflate(&deflater, Z_FINISH);
    stream.resize(deflater.total_out);
    deflateEnd(&deflater);
    if (result != Z_STREAM_END) return 0;

    Bytes png(data, data + 8);
    png.insert(png.end(), before.begin(), before.end());
    const std::size_t piece = random() % 2 == 0 ? stream.size() : 1 + random() % 64;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t length = std::min(piece, stream.size() - at);
        const std::size_t start = png.size();
        png.resize(start + 8);
        putBigEndian32(&png[start], static_cast<std::uint32_t>(length));
        std::memcpy(&png[start + 4], "IDAT", 4);
        png.insert(png.end(), stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(at + length));
        png.resize(png.size() + 4);
    }
    png.insert(png.end(), after.begin(), after.end());
    if (png.size() > maxSize) return 0;
    std::memcpy(data, png.data(), png.size());
    repairCrcs(data, png.size());
    return png.size();
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned seed) {
    std::minstd_rand random(seed);
    switch (random() % 4) {
        case 0: return LLVMFuzzerMutate(data, size, maxSize);
        case 1:
            if (const std::size_t mutated = mutateRows(data, size, maxSize, random); mutated != 0) return mutated;
            [[fallthrough]];
        default:
            size = LLVMFuzzerMutate(data, size, maxSize);
            repairCrcs(data, size);
            return size;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecodeCost cost;
    const std::optional<DecodedPicture> picture = decodePng(data, size, {}, &cost);
    if (cost.direct) {
        const std::optional<DecodedPicture> libpng = png_internal::decodeThroughLibpng(data, size);
        if (!picture || !libpng || libpng->width != picture->width || libpng->height != picture->height ||
            libpng->opaque != picture->opaque ||
            std::memcmp(libpng->pixels.get(), picture->pixels.get(), std::size_t{picture->width} * picture->height * 4) != 0)
            __builtin_trap();
    }
    OffscreenGraphicsDevice& device = fuzz::offscreenDevice();
    std::unique_ptr<Bitmap> bitmap = device.loadPictureBytes(data, size);
    if (!bitmap) return 0;
    const std::int32_t width = bitmap->pixelWidth(), height = bitmap->pixelHeight();
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) __builtin_trap();
    device.beginDraw();
    device.drawBitmap(*bitmap, RectF{-3, 2, 40, 30}, 0.5f, Interpolation::NearestNeighbor);
    device.drawPicture(*bitmap, PicturePlacement{1, 1, 20, 10, 1.0f, 0.25f, Interpolation::Linear});
    device.endDraw();
    return 0;
}
