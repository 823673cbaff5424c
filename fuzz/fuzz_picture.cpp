// Picture bytes as the Linux drawing device decodes them (an archive member's bytes), and the
// picture drawn once when it decodes.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
