#pragma once
// Pictures of random pixels for the device's tests.
#include <cairo.h>

#include <cstdint>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "platform/linux/device/cairo_graphics_device.h"

namespace velmora {

// Transparent, translucent and opaque pixels mixed, or all opaque but for the transparent pixels
// listed.
inline std::unique_ptr<Bitmap> randomPicture(std::mt19937& random, int width, int height, bool opaque,
                                             const std::vector<std::pair<int, int>>& holes = {}) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < width; ++x) {
            const std::uint32_t kind = random() % 4;
            const std::uint32_t a = opaque || kind == 3 ? 255 : kind == 0 ? 0 : random() % 256;
            const auto channel = [&] { return a == 0 ? 0u : static_cast<std::uint32_t>(random() % (a + 1)); };
            row[x] = (a << 24) | (channel() << 16) | (channel() << 8) | channel();
        }
    }
    for (const auto& [x, y] : holes) {
        reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface))[x] = 0;
    }
    cairo_surface_mark_dirty(surface);
    return std::make_unique<CairoBitmap>(surface);
}

}  // namespace velmora
