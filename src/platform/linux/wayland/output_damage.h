#pragma once
// What an output's buffers and surface owe the frame. Each present tells which boxes of the frame
// changed; a buffer of an output holds the frame as it was when the buffer was last filled, so
// filling it again copies only the boxes presented since, and the compositor is told only the
// boxes presented since the output's previous commit. Plain arithmetic, tested without a
// compositor.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/linux/device/frame_damage.h"
#include "ports/handles.h"

namespace velmora::wayland {

// The boxes of a buffer (they may overlap) that no longer hold the frame as it stands, or the
// whole buffer. A buffer never filled owes the whole of it.
class OwedDamage {
public:
    // Past this many boxes the whole buffer is owed: many small copies gain little over one.
    static constexpr std::size_t kMaxBoxes = 64;

    // A box already owed, or inside one owed, adds nothing (a scene at rest changes the same
    // boxes frame after frame); an empty one neither.
    void add(const PixelBox& box);
    void addWhole() {
        whole_ = true;
        boxes_.clear();
    }
    void clear() {
        whole_ = false;
        boxes_.clear();
    }
    bool whole() const { return whole_; }
    bool none() const { return !whole_ && boxes_.empty(); }
    // The boxes owed; none when the whole is.
    std::span<const PixelBox> boxes() const { return boxes_; }

private:
    bool whole_ = true;
    std::vector<PixelBox> boxes_;
};

// Where an output's buffer takes its pixels from the frame: the buffer's pixel (x, y) is the
// frame's pixel (x + originX, y + originY), and the frame holds those of the buffer in covered
// (empty when it holds none: an output come since the frame was made). The rest stays black.
struct FrameWindow {
    std::int64_t originX = 0;
    std::int64_t originY = 0;
    PixelBox covered;
    // A box of the frame's pixels as the buffer's pixels it changes (clipped to covered).
    PixelBox toBuffer(const PixelBox& frameBox) const;
};

// The window of an output at outputRect (in the frame's coordinates, as when the frame was made)
// on a frame of frameWidth x frameHeight pixels whose first pixel lies at frameBounds' corner, for
// a buffer of bufferWidth x bufferHeight.
FrameWindow frameWindow(const RectI& outputRect, const RectI& frameBounds, std::int32_t frameWidth, std::int32_t frameHeight,
                        std::int32_t bufferWidth, std::int32_t bufferHeight);

// Brings a buffer (rows of width * 4 bytes) up to the frame (rows of frameStride bytes) by copying
// what it owes, and clears the debt. Owing the whole, it is copied whole, black outside covered.
void fillBuffer(const FrameWindow& window, const std::uint8_t* frame, std::size_t frameStride, OwedDamage& owed,
                std::uint8_t* pixels, std::int32_t width, std::int32_t height);

}  // namespace velmora::wayland
