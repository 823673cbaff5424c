#include "platform/linux/wayland/output_layout.h"

#include <algorithm>
#include <limits>

namespace velmora::wayland {

namespace {

std::int32_t clampToInt(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool holdsOrigin(const OutputPlace& o) {
    return o.width > 0 && o.height > 0 && o.x <= 0 && o.y <= 0 && std::int64_t{o.x} + o.width > 0 && std::int64_t{o.y} + o.height > 0;
}

}  // namespace

std::int32_t usableScale(std::int32_t scale) { return std::clamp(scale, 1, kMaxOutputScale); }

std::optional<PixelSize> bufferSize(const OutputPlace& output) {
    if (output.width <= 0 || output.height <= 0) return std::nullopt;
    const std::int64_t scale = usableScale(output.scale);
    return PixelSize{static_cast<std::int32_t>(std::min<std::int64_t>(output.width * scale, kMaxOutputSide)),
                     static_cast<std::int32_t>(std::min<std::int64_t>(output.height * scale, kMaxOutputSide))};
}

std::vector<RectI> placeOutputs(const std::vector<OutputPlace>& outputs) {
    std::int32_t largest = 1;
    for (const OutputPlace& o : outputs) largest = std::max(largest, usableScale(o.scale));
    std::vector<RectI> rects;
    for (const OutputPlace& o : outputs) {
        const std::optional<PixelSize> size = bufferSize(o);
        if (!size) {
            rects.push_back(RectI{});
            continue;
        }
        const std::int64_t left = std::int64_t{o.x} * largest, top = std::int64_t{o.y} * largest;
        rects.push_back(RectI{clampToInt(left), clampToInt(top), clampToInt(left + size->width), clampToInt(top + size->height)});
    }
    return rects;
}

RectI boundsOf(const std::vector<RectI>& rects) {
    std::optional<RectI> bounds;
    for (const RectI& r : rects) {
        if (r.right <= r.left || r.bottom <= r.top) continue;
        if (!bounds) {
            bounds = r;
            continue;
        }
        bounds->left = std::min(bounds->left, r.left);
        bounds->top = std::min(bounds->top, r.top);
        bounds->right = std::max(bounds->right, r.right);
        bounds->bottom = std::max(bounds->bottom, r.bottom);
    }
    return bounds.value_or(RectI{});
}

std::vector<std::size_t> primaryFirst(const std::vector<OutputPlace>& outputs) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (holdsOrigin(outputs[i])) {
            order.push_back(i);
            break;
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (order.empty() || order.front() != i) order.push_back(i);
    }
    return order;
}

}  // namespace velmora::wayland
