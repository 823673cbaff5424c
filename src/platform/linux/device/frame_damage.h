#pragma once
// Which pixels of a frame can differ from another frame, told from the draws that made the two.
// A device that keeps a frame's pixels redraws only those for the next frame and hands only those
// to the window: between two frames of a scene at rest, a few per cent of the pixels change.
//
// A pixel's value is the clear colour, then each draw that touches it in turn, and nothing else.
// So where two frames were made by the same draws in the same order over the same clear, their
// pixels are equal; only where a draw appeared, vanished or changed (its picture, rectangle,
// opacity, filter, transform or clip, compared bit for bit) can they differ.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ports/graphics_device.h"

namespace velmora {

// Whole pixels [left, right) x [top, bottom).
struct PixelBox {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return left >= right || top >= bottom; }
    std::int64_t area() const { return empty() ? 0 : std::int64_t{right - left} * (bottom - top); }
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

PixelBox intersection(const PixelBox& a, const PixelBox& b);
PixelBox boundingBox(const PixelBox& a, const PixelBox& b);
bool overlap(const PixelBox& a, const PixelBox& b);

// Everything that decides the pixels of one draw, and the pixels it can touch.
struct DrawRecord {
    // The picture's identity, never reused by another picture while the process runs.
    std::uint64_t picture = 0;
    RectF dest;
    float opacity = 1;
    Interpolation mode = Interpolation::NearestNeighbor;
    Matrix3x2 transform;
    bool clipped = false;
    RectF clip;
    // Every pixel the draw can change lies in it (on the target).
    PixelBox bounds;
};

// Bit for bit the same draw.
bool sameDraw(const DrawRecord& a, const DrawRecord& b);

// A frame as its draws made it: a clear over the whole target, then the draws, back to front.
struct FrameRecord {
    // The pixels are what the clear and the draws make (false: unknown, e.g. drawn over an
    // earlier frame without a clear, or never drawn).
    bool known = false;
    std::int32_t width = 0, height = 0;
    ColorF clear;
    std::vector<DrawRecord> draws;
};

// Where the pixels of two frames can differ: boxes on the target (they may overlap), or the whole
// target when the frames cannot be compared (either unknown, another size or clear) or when the
// boxes would be more than a device gains from (over maxBoxes of them).
struct FrameDamage {
    bool whole = true;
    std::vector<PixelBox> boxes;
    // The pixels the boxes cover, counting overlaps once per box.
    std::int64_t area() const;
};

// The damage between frame before and frame after. Boxes that overlap, or whose bounding box adds
// little, are merged, so that a draw that moved a little is one box and not two.
void findDamage(const FrameRecord& before, const FrameRecord& after, std::size_t maxBoxes, FrameDamage& damage);

}  // namespace velmora
