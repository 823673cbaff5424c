#include "platform/linux/wayland/output_damage.h"

#include <algorithm>
#include <cstring>

namespace velmora::wayland {

namespace {

bool holds(const PixelBox& outer, const PixelBox& inner) {
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right && outer.bottom >= inner.bottom;
}

}  // namespace

void OwedDamage::add(const PixelBox& box) {
    if (whole_ || box.empty()) return;
    if (std::any_of(boxes_.begin(), boxes_.end(), [&](const PixelBox& owed) { return holds(owed, box); })) return;
    std::erase_if(boxes_, [&](const PixelBox& owed) { return holds(box, owed); });
    if (boxes_.size() >= kMaxBoxes) {
        addWhole();
        return;
    }
    boxes_.push_back(box);
}

PixelBox FrameWindow::toBuffer(const PixelBox& frameBox) const {
    const std::int64_t left = std::max<std::int64_t>(frameBox.left - originX, covered.left);
    const std::int64_t top = std::max<std::int64_t>(frameBox.top - originY, covered.top);
    const std::int64_t right = std::min<std::int64_t>(frameBox.right - originX, covered.right);
    const std::int64_t bottom = std::min<std::int64_t>(frameBox.bottom - originY, covered.bottom);
    if (left >= right || top >= bottom) return {};
    // Within covered, so within the buffer.
    return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
            static_cast<std::int32_t>(bottom)};
}

FrameWindow frameWindow(const RectI& outputRect, const RectI& frameBounds, std::int32_t frameWidth, std::int32_t frameHeight,
                        std::int32_t bufferWidth, std::int32_t bufferHeight) {
    FrameWindow window;
    window.originX = std::int64_t{outputRect.left} - frameBounds.left;
    window.originY = std::int64_t{outputRect.top} - frameBounds.top;
    const std::int64_t x0 = std::max<std::int64_t>(0, -window.originX), y0 = std::max<std::int64_t>(0, -window.originY);
    const std::int64_t x1 =
        std::min<std::int64_t>({bufferWidth, frameWidth - window.originX, std::int64_t{outputRect.right} - outputRect.left});
    const std::int64_t y1 =
        std::min<std::int64_t>({bufferHeight, frameHeight - window.originY, std::int64_t{outputRect.bottom} - outputRect.top});
    if (x1 > x0 && y1 > y0) {
        window.covered = {static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0), static_cast<std::int32_t>(x1),
                          static_cast<std::int32_t>(y1)};
    }
    return window;
}

void fillBuffer(const FrameWindow& window, const std::uint8_t* frame, std::size_t frameStride, OwedDamage& owed,
                std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const PixelBox all{0, 0, width, height};
    const auto copy = [&](const PixelBox& box) {
        const PixelBox b = intersection(box, window.covered);
        if (b.empty()) return;
        const auto bytes = static_cast<std::size_t>(b.right - b.left) * 4;
        for (std::int32_t y = b.top; y < b.bottom; ++y) {
            const std::uint8_t* from = frame + static_cast<std::size_t>(window.originY + y) * frameStride +
                                       static_cast<std::size_t>(window.originX + b.left) * 4;
            std::memcpy(pixels + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(b.left) * 4, from, bytes);
        }
    };
    if (owed.whole()) {
        if (window.covered != all) std::memset(pixels, 0, stride * static_cast<std::size_t>(height));
        copy(window.covered);
    } else {
        for (const PixelBox& box : owed.boxes()) copy(box);
    }
    owed.clear();
}

}  // namespace velmora::wayland
