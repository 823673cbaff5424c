#include "platform/linux/device/frame_damage.h"

#include <algorithm>
#include <bit>

namespace velmora {

namespace {

// Two boxes become one when their bounding box holds at most this many pixels that neither
// holds: redrawing a few pixels more costs less than going over the draws once more. Boxes
// farther apart than kMergeReach are not weighed at all.
constexpr std::int64_t kMergeSlack = 1024;
constexpr std::int32_t kMergeReach = 32;

bool farApart(const PixelBox& a, const PixelBox& b) {
    return a.left > b.right + kMergeReach || b.left > a.right + kMergeReach || a.top > b.bottom + kMergeReach ||
           b.top > a.bottom + kMergeReach;
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

bool sameBits(const RectF& a, const RectF& b) {
    return bits(a.left) == bits(b.left) && bits(a.top) == bits(b.top) && bits(a.right) == bits(b.right) &&
           bits(a.bottom) == bits(b.bottom);
}

bool sameBits(const Matrix3x2& a, const Matrix3x2& b) {
    return bits(a.m11) == bits(b.m11) && bits(a.m12) == bits(b.m12) && bits(a.m21) == bits(b.m21) && bits(a.m22) == bits(b.m22) &&
           bits(a.dx) == bits(b.dx) && bits(a.dy) == bits(b.dy);
}

bool sameBits(const ColorF& a, const ColorF& b) {
    return bits(a.r) == bits(b.r) && bits(a.g) == bits(b.g) && bits(a.b) == bits(b.b) && bits(a.a) == bits(b.a);
}

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h;
}

std::uint64_t hashOf(const DrawRecord& d) {
    std::uint64_t h = d.picture;
    for (const float f : {d.dest.left, d.dest.top, d.dest.right, d.dest.bottom, d.opacity}) h = mix(h, bits(f));
    return mix(h, static_cast<std::uint64_t>(d.mode));
}

// Adds box to the damage, merged with the boxes it overlaps or nearly fills a box with.
void addBox(std::vector<PixelBox>& boxes, PixelBox box) {
    if (box.empty()) return;
    for (std::size_t i = 0; i < boxes.size();) {
        if (farApart(boxes[i], box)) {
            ++i;
            continue;
        }
        const PixelBox around = boundingBox(boxes[i], box);
        const std::int64_t both = boxes[i].area() + box.area() - intersection(boxes[i], box).area();
        if (overlap(boxes[i], box) || around.area() - both <= kMergeSlack) {
            // The merged box may now reach boxes it did not before: it is added anew.
            box = around;
            boxes[i] = boxes.back();
            boxes.pop_back();
            i = 0;
            continue;
        }
        ++i;
    }
    boxes.push_back(box);
}

}  // namespace

PixelBox intersection(const PixelBox& a, const PixelBox& b) {
    return PixelBox{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

PixelBox boundingBox(const PixelBox& a, const PixelBox& b) {
    return PixelBox{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

bool overlap(const PixelBox& a, const PixelBox& b) { return !intersection(a, b).empty(); }

bool sameDraw(const DrawRecord& a, const DrawRecord& b) {
    return a.picture == b.picture && sameBits(a.dest, b.dest) && bits(a.opacity) == bits(b.opacity) && a.mode == b.mode &&
           sameBits(a.transform, b.transform) && a.clipped == b.clipped && (!a.clipped || sameBits(a.clip, b.clip)) &&
           a.bounds == b.bounds;
}

std::int64_t FrameDamage::area() const {
    std::int64_t sum = 0;
    for (const PixelBox& box : boxes) sum += box.area();
    return sum;
}

void findDamage(const FrameRecord& before, const FrameRecord& after, std::size_t maxBoxes, FrameDamage& damage) {
    damage.whole = true;
    damage.boxes.clear();
    if (!before.known || !after.known || before.width != after.width || before.height != after.height ||
        !sameBits(before.clear, after.clear))
        return;
    if (before.draws.size() == after.draws.size()) {
        // The same number of draws: most likely each the same draw as before or that draw
        // changed in place (moved a little, faded, another frame of its picture). Draws are
        // matched by their place in the order; a pair that differs is damage at both. A pair of
        // other pictures apart from each other tells of draws gone and come instead: then the
        // draws are matched by what they are.
        bool inPlace = true;
        for (std::size_t i = 0; inPlace && i < after.draws.size(); ++i) {
            const DrawRecord& was = before.draws[i];
            const DrawRecord& is = after.draws[i];
            if (sameDraw(was, is)) continue;
            if (overlap(was.bounds, is.bounds)) {
                addBox(damage.boxes, boundingBox(was.bounds, is.bounds));
            } else if (was.picture == is.picture) {
                addBox(damage.boxes, was.bounds);
                addBox(damage.boxes, is.bounds);
            } else {
                inPlace = false;
            }
            if (damage.boxes.size() > maxBoxes) return;
        }
        if (inPlace) {
            damage.whole = false;
            return;
        }
        damage.boxes.clear();
    }
    // The draws of before by hash; within one hash in drawing order.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> index;
    index.reserve(before.draws.size());
    for (std::size_t i = 0; i < before.draws.size(); ++i) index.emplace_back(hashOf(before.draws[i]), static_cast<std::uint32_t>(i));
    std::sort(index.begin(), index.end());
    std::vector<bool> matched(before.draws.size(), false);

    // Each draw of after is matched with the first equal draw of before past the last match, so
    // that the matched draws keep their order: a pixel that only matched draws touch is made by
    // the same draws in the same order in both frames. The rest is damage.
    std::int64_t last = -1;
    for (const DrawRecord& draw : after.draws) {
        const std::uint64_t h = hashOf(draw);
        auto it = std::lower_bound(index.begin(), index.end(), std::make_pair(h, static_cast<std::uint32_t>(last + 1)));
        for (; it != index.end() && it->first == h; ++it) {
            if (sameDraw(before.draws[it->second], draw)) break;
        }
        if (it != index.end() && it->first == h) {
            matched[it->second] = true;
            last = it->second;
        } else {
            addBox(damage.boxes, draw.bounds);
        }
        if (damage.boxes.size() > maxBoxes) return;
    }
    for (std::size_t i = 0; i < before.draws.size(); ++i) {
        if (!matched[i]) addBox(damage.boxes, before.draws[i].bounds);
        if (damage.boxes.size() > maxBoxes) return;
    }
    damage.whole = false;
}

}  // namespace velmora
