// Picture bytes as the Linux drawing device decodes them (an archive member's bytes), and the
// picture drawn once when it decodes. A picture the decoder inflated straight into the pixels must
// be what libpng alone makes of the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "platform/linux/device/png_decoder.h"

using namespace velmora;

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
