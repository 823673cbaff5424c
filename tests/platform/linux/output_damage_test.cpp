// What a Wayland output's buffers owe the frame, and that filling them with only that keeps them
// equal to the frame.
#include "platform/linux/wayland/output_damage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora::wayland {
namespace {

using Boxes = std::vector<PixelBox>;

Boxes owedBoxes(const OwedDamage& owed) { return {owed.boxes().begin(), owed.boxes().end()}; }

TEST(OwedDamageTest, KeepsBoxesUntilTooManyOrWhole) {
    struct Case {
        const char* what;
        Boxes added;
        bool whole;
        Boxes owed;
    };
    std::vector<PixelBox> many;
    for (std::int32_t i = 0; i <= static_cast<std::int32_t>(OwedDamage::kMaxBoxes); ++i) many.push_back({i * 2, 0, i * 2 + 1, 1});
    const Boxes enough(many.begin(), many.end() - 1);
    const std::vector<Case> cases = {
        {"nothing", {}, false, {}},
        {"empty boxes owe nothing", {{5, 5, 5, 9}, {3, 4, 9, 4}, {7, 0, 2, 9}}, false, {}},
        {"boxes apart, overlapping or touching are kept", {{0, 0, 4, 4}, {2, 2, 6, 6}, {6, 0, 8, 2}}, false,
         {{0, 0, 4, 4}, {2, 2, 6, 6}, {6, 0, 8, 2}}},
        {"a box owed already, or inside one owed, adds nothing", {{0, 0, 10, 10}, {0, 0, 10, 10}, {2, 3, 4, 5}}, false, {{0, 0, 10, 10}}},
        {"a box holding boxes owed takes their place", {{1, 1, 2, 2}, {20, 20, 21, 21}, {3, 3, 4, 4}, {0, 0, 5, 5}}, false,
         {{20, 20, 21, 21}, {0, 0, 5, 5}}},
        {"up to the limit, boxes", enough, false, enough},
        {"one past the limit, the whole", many, true, {}},
    };
    for (const Case& c : cases) {
        OwedDamage owed;
        EXPECT_TRUE(owed.whole()) << "a buffer never filled owes the whole";
        owed.clear();
        for (const PixelBox& box : c.added) owed.add(box);
        EXPECT_EQ(owed.whole(), c.whole) << c.what;
        EXPECT_EQ(owedBoxes(owed), c.owed) << c.what;
        EXPECT_EQ(owed.none(), !c.whole && c.owed.empty()) << c.what;
    }
    OwedDamage owed;
    owed.add({0, 0, 1, 1});
    EXPECT_TRUE(owed.whole() && owed.boxes().empty()) << "owing the whole, a box adds nothing";
}

TEST(OwedDamageTest, PlacesTheOutputOnTheFrame) {
    struct Case {
        const char* what;
        RectI output, frameBounds;
        std::int32_t frameWidth, frameHeight, bufferWidth, bufferHeight;
        std::int64_t originX, originY;
        PixelBox covered;
        PixelBox frameBox, bufferBox;  // a box of the frame, as the buffer's pixels
    };
    const std::vector<Case> cases = {
        {"the second of two outputs", {640, 0, 960, 240}, {0, 0, 960, 480}, 960, 480, 320, 240, 640, 0, {0, 0, 320, 240},
         {600, 100, 700, 300}, {0, 100, 60, 240}},
        {"an output left of and above the origin", {-800, -600, 0, 0}, {-800, -600, 1024, 768}, 1824, 1368, 800, 600, 0, 0,
         {0, 0, 800, 600}, {790, 590, 900, 700}, {790, 590, 800, 600}},
        {"an output come since the frame was made, past its right", {960, 0, 1280, 240}, {0, 0, 960, 480}, 960, 480, 320, 240,
         960, 0, {}, {0, 0, 960, 480}, {}},
        {"an output partly past the frame's bottom", {0, 400, 320, 640}, {0, 0, 960, 480}, 960, 480, 320, 240, 0, 400,
         {0, 0, 320, 80}, {10, 390, 20, 500}, {10, 0, 20, 80}},
        {"an output left of a frame made before it came", {-100, 0, 220, 240}, {0, 0, 960, 480}, 960, 480, 320, 240, -100, 0,
         {100, 0, 320, 240}, {0, 0, 50, 50}, {100, 0, 150, 50}},
        {"a buffer smaller than its rectangle (sized anew)", {0, 0, 640, 480}, {0, 0, 640, 480}, 640, 480, 320, 240, 0, 0,
         {0, 0, 320, 240}, {300, 200, 400, 300}, {300, 200, 320, 240}},
        {"an output not in the frame", {}, {0, 0, 640, 480}, 640, 480, 320, 240, 0, 0, {}, {0, 0, 10, 10}, {}},
        {"far apart, nothing wraps", {2147483000, 0, 2147483647, 10}, {-2147483000, 0, 0, 10}, 16384, 10, 647, 10,
         std::int64_t{2147483000} * 2, 0, {}, {0, 0, 16384, 10}, {}},
    };
    for (const Case& c : cases) {
        const FrameWindow window = frameWindow(c.output, c.frameBounds, c.frameWidth, c.frameHeight, c.bufferWidth, c.bufferHeight);
        EXPECT_EQ(window.originX, c.originX) << c.what;
        EXPECT_EQ(window.originY, c.originY) << c.what;
        EXPECT_EQ(window.covered, c.covered) << c.what;
        const PixelBox box = window.toBuffer(c.frameBox);
        EXPECT_TRUE(box.empty() ? c.bufferBox.empty() : box == c.bufferBox) << c.what;
    }
}

// The desktop's life of one output, with a small frame: presents change boxes of the frame (and
// say so), and one of two buffers is filled whenever the compositor has released one. Every buffer
// filled equals the output's rectangle of the frame, black where the frame holds none of it; and
// a change the presents did not tell stays out of the buffers: they copy no more than they owe.
TEST(OwedDamageTest, BuffersFilledWithWhatTheyOweShowTheFrame) {
    constexpr std::int32_t kFrameW = 40, kFrameH = 30, kBufferW = 24, kBufferH = 20;
    const RectI frameBounds{0, 0, kFrameW, kFrameH};
    for (const RectI output : {RectI{8, 4, 32, 24}, RectI{24, 16, 48, 36}, RectI{-6, -3, 18, 17}}) {
        const FrameWindow window = frameWindow(output, frameBounds, kFrameW, kFrameH, kBufferW, kBufferH);
        std::vector<std::uint32_t> frame(kFrameW * kFrameH, 0xff102030);
        struct Slot {
            std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kBufferW * kBufferH, 0xdeadbeef);
            OwedDamage owed;
            int busyFor = 0;
        } slots[2];
        const auto fill = [&](Slot& s) {
            fillBuffer(window, reinterpret_cast<const std::uint8_t*>(frame.data()), kFrameW * 4, s.owed,
                       reinterpret_cast<std::uint8_t*>(s.pixels.data()), kBufferW, kBufferH);
        };
        std::mt19937 random(7);
        const auto pick = [&](std::int32_t below) { return static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(below)); };
        for (int step = 0; step < 400; ++step) {
            // A present: one to three boxes changed.
            const int count = 1 + pick(3);
            for (int i = 0; i < count; ++i) {
                const std::int32_t left = pick(kFrameW), top = pick(kFrameH);
                const PixelBox box{left, top, left + 1 + pick(kFrameW - left), top + 1 + pick(kFrameH - top)};
                const auto colour = static_cast<std::uint32_t>(random()) | 0xff000000u;
                for (std::int32_t y = box.top; y < box.bottom; ++y)
                    for (std::int32_t x = box.left; x < box.right; ++x) frame[y * kFrameW + x] = colour;
                for (Slot& s : slots) s.owed.add(window.toBuffer(box));
            }
            for (Slot& s : slots) s.busyFor = std::max(0, s.busyFor - 1);
            Slot* free = slots[0].busyFor == 0 ? &slots[0] : slots[1].busyFor == 0 ? &slots[1] : nullptr;
            if (free == nullptr) continue;
            fill(*free);
            EXPECT_TRUE(free->owed.none());
            free->busyFor = 1 + pick(4);
            int differing = 0;
            for (std::int32_t y = 0; y < kBufferH; ++y) {
                for (std::int32_t x = 0; x < kBufferW; ++x) {
                    const std::int64_t fx = x + window.originX, fy = y + window.originY;
                    const bool inFrame = fx >= 0 && fy >= 0 && fx < kFrameW && fy < kFrameH;
                    const std::uint32_t want = inFrame ? frame[fy * kFrameW + fx] : 0;
                    if (free->pixels[y * kBufferW + x] != want) ++differing;
                }
            }
            EXPECT_EQ(differing, 0) << "output at " << output.left << "," << output.top << ", step " << step;
        }
        // The first pixel the frame covers changes untold, the last one told: a buffer filled
        // takes only the second.
        const std::int64_t untold = (window.covered.top + window.originY) * kFrameW + window.covered.left + window.originX;
        const std::int64_t told = (window.covered.bottom - 1 + window.originY) * kFrameW + window.covered.right - 1 + window.originX;
        for (Slot& s : slots) fill(s);
        const std::uint32_t shown = frame[untold];
        frame[untold] ^= 0x00ffffffu;
        frame[told] ^= 0x00ffffffu;
        for (Slot& s : slots) {
            s.owed.add({window.covered.right - 1, window.covered.bottom - 1, window.covered.right, window.covered.bottom});
            fill(s);
            EXPECT_EQ(s.pixels[window.covered.top * kBufferW + window.covered.left], shown);
            EXPECT_EQ(s.pixels[(window.covered.bottom - 1) * kBufferW + window.covered.right - 1], frame[told]);
        }
    }
}

}  // namespace
}  // namespace velmora::wayland
