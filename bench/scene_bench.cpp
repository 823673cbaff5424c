// Per-frame cost of animating and drawing a scene far heavier than any real theme, and the cost
// of loading a large theme.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "app/headless_session.h"
#include "ground/records.h"
#include "ground/theme_model.h"
#include "ports/null_platform.h"
#include "scene/animation.h"
#include "scene/drawing.h"

namespace velmora {
namespace {

class SizedBitmap : public Bitmap {
public:
    SizedBitmap(std::int32_t w, std::int32_t h) : w_(w), h_(h) {}
    std::int32_t pixelWidth() const override { return w_; }
    std::int32_t pixelHeight() const override { return h_; }

private:
    std::int32_t w_, h_;
};

// The null device, except that it sets up, every picture decodes to a 16 x 16 bitmap without
// being read and the pictures handed to it are counted: the cost measured is the core's alone.
class CountingDevice : public NullGraphicsDevice {
public:
    DeviceSetup prepare() override { return DeviceSetup::DrawingFactory; }
    bool createOffscreenTarget(std::uint32_t, std::uint32_t) override { return true; }
    std::unique_ptr<Bitmap> loadPictureFile(const std::u16string&) override { return std::make_unique<SizedBitmap>(16, 16); }
    std::unique_ptr<Bitmap> loadPictureBytes(const std::uint8_t*, std::size_t) override {
        return std::make_unique<SizedBitmap>(16, 16);
    }
    void drawPicture(const Bitmap& b, const PicturePlacement& p) override {
        benchmark::DoNotOptimize(&b);
        benchmark::DoNotOptimize(p);
        ++pictures;
    }
    std::int64_t pictures = 0;
};

CountingDevice nullDevice;

// The scene of the theme in the program folder, on a 1920 x 1080 desktop, loaded as the player
// loads it.
class Scene {
public:
    Scene(const std::filesystem::path& folder, const std::string& theme) : session_(setup(folder, theme), &nullDevice) {
        session_.start(0);
    }
    void reload() { session_.start(0); }

private:
    static HeadlessSetup setup(const std::filesystem::path& folder, const std::string& theme) {
        HeadlessSetup s;
        s.programFolder = folder.u16string();
        s.width = 1920;
        s.height = 1080;
        s.theme = std::u16string(theme.begin(), theme.end());
        return s;
    }
    HeadlessSession session_;
};

// theme.txt of a scene with every layer array full: 128 x 32 particles front and back, 128 x 16
// sprites front and back (the back ones bound walkers), 128 x 8 characters of the three walks.
std::string heavyThemeText() {
    std::ostringstream text;
    text << "params width:640\nfloor name:floor\nceiling name:ceiling\nbackground name:bg\nscreen name:screen\n";
    for (int l = 0; l < 128; ++l) {
        text << "add_particle name:p" << l << " variations:2 frames:4 instances:32 xanimation:0.01 yanimation:0.02 layer:"
             << (l % 2 == 0 ? "back" : "front") << "\n";
        text << "add_particle name:q" << l << " variations:2 frames:4 instances:32 xanimation:-0.01 layer:"
             << (l % 2 == 0 ? "front" : "back") << "\n";
        text << "add_sprite name:s" << l << " variations:2 frames:2 instances:16 xseparationmin:1 xseparationmax:3"
             << " xanimation:-0.02 layer:back\n";
        text << "add_sprite name:t" << l << " frames:2 instances:16 xoffset:1 xanimation:0.03 layer:front\n";
        static const char* const types[] = {"floor", "sine", "between"};
        text << "add_character name:c" << l << " frames:4 instances:8 type:" << types[l % 3] << " between:s" << l << "\n";
    }
    return text.str();
}

// A program folder in the temporary directory holding one theme, and its scene.
class TemporaryTheme {
public:
    TemporaryTheme(const std::string& name, const std::string& text) : root_(makeFolder(name, text)), scene(root_, name) {}
    ~TemporaryTheme() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

private:
    static std::filesystem::path makeFolder(const std::string& name, const std::string& text) {
        std::random_device random;
        const auto root = std::filesystem::temp_directory_path() / ("velmora_bench_" + std::to_string(random()));
        std::filesystem::create_directories(root / "themes" / name);
        std::ofstream(root / "themes" / name / "theme.txt", std::ios::binary) << text;
        return root;
    }
    std::filesystem::path root_;

public:
    Scene scene;
};

class HeavyTheme : public TemporaryTheme {
public:
    HeavyTheme() : TemporaryTheme("Heavy", heavyThemeText()) {}
};

void BM_LoadHeavyTheme(benchmark::State& state) {
    HeavyTheme heavy;
    for (auto _ : state) {
        heavy.scene.reload();
        benchmark::DoNotOptimize(theme.characterCount);
    }
    state.counters["layers"] = theme.backParticleCount + theme.frontParticleCount + theme.backSpriteCount +
                               theme.frontSpriteCount + theme.characterCount;
}
BENCHMARK(BM_LoadHeavyTheme)->Unit(benchmark::kMillisecond);

void BM_UpdateHeavyScene(benchmark::State& state) {
    HeavyTheme heavy;
    for (auto _ : state) updateScene(16);
}
BENCHMARK(BM_UpdateHeavyScene)->Unit(benchmark::kMicrosecond);

void BM_DrawHeavyScene(benchmark::State& state) {
    HeavyTheme heavy;
    for (int i = 0; i < 100; ++i) updateScene(16);  // let the characters enter
    nullDevice.pictures = 0;
    drawScene();
    state.counters["drawsPerFrame"] = static_cast<double>(nullDevice.pictures);
    for (auto _ : state) drawScene();
}
BENCHMARK(BM_DrawHeavyScene)->Unit(benchmark::kMicrosecond);

// The most between-walker work the theme limits allow: 50000 instances, all of them obstacles and
// walkers. For the plain scan the worst is 40000 walkers against one layer of 10000 obstacles (a
// walker never meets more than one layer); with the index, every obstacle layer indexed on its
// own costs too, so the second spread gives each walker layer its own. The obstacles pile up
// around the scene's left edge (steps of -1 to 1 widths) and drift, so walkers keep hitting them.
std::string crowdedThemeText(int spread) {
    std::ostringstream text;
    text << "params width:640\nfloor name:floor\n";
    auto obstacles = [&](int n, int instances) {
        text << "add_sprite name:rocks" << n << " instances:" << instances
             << " xseparationmin:-1 xseparationmax:1 xanimation:0.01\n";
    };
    auto walkers = [&](int n, int instances) {
        text << "add_character name:walker instances:" << instances << " frames:4 speed:0.05 type:between between:rocks"
             << n << "\n";
    };
    if (spread == 0) {
        obstacles(0, 10000);
        for (int l = 0; l < 4; ++l) walkers(0, 10000);
    } else {
        const int sizes[] = {10000, 10000, 5000};
        for (int l = 0; l < 3; ++l) obstacles(l, sizes[l]);
        for (int l = 0; l < 3; ++l) walkers(l, sizes[l]);
    }
    return text.str();
}

std::int64_t obstacleInstances() {
    std::int64_t n = 0;
    for (std::int32_t l = 0; l < theme.backSpriteCount; ++l) n += theme.backSprites[static_cast<std::size_t>(l)].instances;
    return n;
}

std::int64_t walkerInstances() {
    std::int64_t n = 0;
    for (std::int32_t l = 0; l < theme.characterCount; ++l) n += theme.characters[static_cast<std::size_t>(l)].instances;
    return n;
}

// Target: below 50 ms per update.
void BM_UpdateCrowdedScene(benchmark::State& state) {
    TemporaryTheme crowded("Crowded", crowdedThemeText(static_cast<int>(state.range(0))));
    if (obstacleInstances() + walkerInstances() != 50000) {
        state.SkipWithError("the crowded theme did not load whole");
        return;
    }
    for (int i = 0; i < 10; ++i) updateScene(16);  // past the first turns, the index storage grown
    for (auto _ : state) updateScene(16);
    state.counters["walkers"] = static_cast<double>(walkerInstances());
    state.counters["obstacles"] = static_cast<double>(obstacleInstances());
    // Between-walkers enter at their first turn: the share that has turned at least once.
    std::int64_t entered = 0;
    for (std::int32_t l = 0; l < theme.characterCount; ++l) {
        for (const std::uint8_t e : theme.characters[static_cast<std::size_t>(l)].entered) entered += e;
    }
    state.counters["entered"] = static_cast<double>(entered) / static_cast<double>(walkerInstances());
}
BENCHMARK(BM_UpdateCrowdedScene)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The sample theme as shipped, with its own config.txt (pictures read as 16 x 16).
void BM_UpdateSampleScene(benchmark::State& state) {
    const Scene sample(VELMORA_SOURCE_DIR, "VMA_Lantern_Valley");
    if (theme.characterCount == 0) {
        state.SkipWithError("the sample theme did not load");
        return;
    }
    for (auto _ : state) updateScene(16);
}
BENCHMARK(BM_UpdateSampleScene)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
