// The damage between two frames told from their draws: outside it every pixel is made by the same
// draws in the same order in both frames, so the earlier frame's pixels stand.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/linux/device/frame_damage.h"

namespace velmora {
namespace {

constexpr int kSide = 64;

DrawRecord draw(std::uint64_t picture, PixelBox bounds, float opacity = 1) {
    DrawRecord d;
    d.picture = picture;
    d.dest = RectF{static_cast<float>(bounds.left), static_cast<float>(bounds.top), static_cast<float>(bounds.right),
                   static_cast<float>(bounds.bottom)};
    d.opacity = opacity;
    d.bounds = bounds;
    return d;
}

FrameRecord frame(std::vector<DrawRecord> draws) {
    FrameRecord f;
    f.known = true;
    f.width = kSide;
    f.height = kSide;
    f.draws = std::move(draws);
    return f;
}

bool inside(const PixelBox& b, int x, int y) { return x >= b.left && x < b.right && y >= b.top && y < b.bottom; }

// The draws that touch the pixel, in order.
std::vector<const DrawRecord*> touching(const FrameRecord& f, int x, int y) {
    std::vector<const DrawRecord*> out;
    for (const DrawRecord& d : f.draws)
        if (inside(d.bounds, x, y)) out.push_back(&d);
    return out;
}

// Every pixel outside the damage is made by equal draws in the same order in both frames.
::testing::AssertionResult pixelsOutsideStand(const FrameRecord& before, const FrameRecord& after, const FrameDamage& damage) {
    if (damage.whole) return ::testing::AssertionSuccess();
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            bool damaged = false;
            for (const PixelBox& b : damage.boxes) damaged = damaged || inside(b, x, y);
            if (damaged) continue;
            const auto a = touching(before, x, y), b = touching(after, x, y);
            bool same = a.size() == b.size();
            for (std::size_t i = 0; same && i < a.size(); ++i) same = sameDraw(*a[i], *b[i]);
            if (!same) return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is made by other draws";
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(FrameDamage, IsWhereDrawsAppearVanishChangeOrSwapPlaces) {
    const DrawRecord a = draw(1, {0, 0, 10, 10}), b = draw(2, {5, 5, 15, 15}), c = draw(3, {40, 40, 50, 50});
    DrawRecord aMoved = draw(1, {1, 0, 11, 10}), aFaded = draw(1, {0, 0, 10, 10}, 0.5f);
    DrawRecord aNegativeZero = a;
    aNegativeZero.dest.left = -0.0f;
    struct Case {
        const char* what;
        std::vector<DrawRecord> before, after;
        std::vector<PixelBox> boxes;
    };
    const Case cases[] = {
        {"the same draws", {a, b, c}, {a, b, c}, {}},
        {"one moved", {a, b, c}, {aMoved, b, c}, {{0, 0, 11, 10}}},
        {"one faded", {a, c}, {aFaded, c}, {{0, 0, 10, 10}}},
        {"one vanished", {a, b, c}, {a, c}, {{5, 5, 15, 15}}},
        {"one appeared", {a, c}, {a, b, c}, {{5, 5, 15, 15}}},
        {"two swapped", {a, b, c}, {b, a, c}, {{0, 0, 15, 15}}},
        {"far apart stay apart", {a, c}, {aMoved, draw(3, {41, 40, 51, 50})}, {{0, 0, 11, 10}, {40, 40, 51, 50}}},
        {"a zero of the other sign", {a}, {aNegativeZero}, {{0, 0, 10, 10}}},
    };
    for (const Case& c : cases) {
        FrameDamage damage;
        findDamage(frame(c.before), frame(c.after), 16, damage);
        EXPECT_FALSE(damage.whole) << c.what;
        EXPECT_EQ(damage.boxes, c.boxes) << c.what;
        EXPECT_TRUE(pixelsOutsideStand(frame(c.before), frame(c.after), damage)) << c.what;
    }
}

TEST(FrameDamage, IsTheWholeFrameWhenTheFramesCannotBeCompared) {
    const FrameRecord one = frame({draw(1, {0, 0, 10, 10})});
    FrameRecord unknown = one, otherClear = one, otherSize = one;
    unknown.known = false;
    otherClear.clear.r = 0.5f;
    otherSize.width = kSide + 1;
    for (const FrameRecord& other : {unknown, otherClear, otherSize}) {
        FrameDamage damage;
        findDamage(one, other, 4, damage);
        EXPECT_TRUE(damage.whole);
        findDamage(other, one, 4, damage);
        EXPECT_TRUE(damage.whole);
    }
    // More boxes than the caller takes.
    FrameDamage damage;
    findDamage(one, frame({draw(2, {0, 0, 10, 10})}), 0, damage);
    EXPECT_TRUE(damage.whole);
    findDamage(one, one, 0, damage);
    EXPECT_FALSE(damage.whole);
}

// Random frames and random changes of them (moves, fades, new pictures, draws gone, come or
// reordered): outside the damage found, every pixel is made as before.
TEST(FrameDamage, LeavesOnlyPixelsMadeAsBefore) {
    std::mt19937 random(5);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto randomDraw = [&] {
        const int x = pick(kSide), y = pick(kSide);
        return draw(static_cast<std::uint64_t>(pick(6)), {x, y, std::min(kSide, x + 1 + pick(20)), std::min(kSide, y + 1 + pick(20))});
    };
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<DrawRecord> before;
        for (int i = pick(30); i > 0; --i) before.push_back(randomDraw());
        std::vector<DrawRecord> after = before;
        for (int changes = pick(5); changes > 0 && !after.empty(); --changes) {
            const auto at = static_cast<std::size_t>(pick(static_cast<int>(after.size())));
            switch (pick(5)) {
                case 0: after[at] = randomDraw(); break;
                case 1: after[at].opacity *= 0.5f; break;
                case 2: after.erase(after.begin() + static_cast<std::ptrdiff_t>(at)); break;
                case 3: after.insert(after.begin() + static_cast<std::ptrdiff_t>(at), randomDraw()); break;
                default: std::swap(after[at], after[static_cast<std::size_t>(pick(static_cast<int>(after.size())))]); break;
            }
        }
        FrameDamage damage;
        findDamage(frame(before), frame(after), 64, damage);
        ASSERT_TRUE(pixelsOutsideStand(frame(before), frame(after), damage)) << "trial " << trial;
    }
}

}  // namespace
}  // namespace velmora
