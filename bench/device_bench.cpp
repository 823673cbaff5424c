// The real Linux drawing device with the sample theme: one frame against the floor of the
// machine (a clear and one copy of a frame of the same size, with cairo, timed in the same run),
// theme loading against the plain decode of the same pictures, resident memory after a load, and
// archive themes of many members.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/headless_session.h"
#include "ground/records.h"
#include "platform/linux/device/cairo_graphics_device.h"
#include "ground/theme_model.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// The time this thread ran, so that the ratios hold on a machine shared with other work.
struct Clock {
    using duration = std::chrono::nanoseconds;
    static duration now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    }
};

constexpr const char* kSampleTheme = "VMA_Lantern_Valley";

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Writes an archive of the given members, deflated, in the given order.
bool writeZip(const fs::path& path, const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& members) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) return false;
    bool ok = true;
    for (const auto& [name, bytes] : members) {
        zip_fileinfo info{};
        ok = ok && zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                         Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// A scratch program folder: config.txt and the sample theme, as a folder and as an archive.
class ProgramFolder {
public:
    ProgramFolder() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("velmora_device_bench_" + std::to_string(::getpid()) + "_" + std::to_string(random()));
        const fs::path source = VELMORA_SOURCE_DIR;
        fs::create_directories(root_ / "themes");
        fs::copy_file(source / "config.txt", root_ / "config.txt");
        fs::copy(source / "themes" / kSampleTheme, root_ / "themes" / kSampleTheme);
        std::vector<std::pair<std::string, std::vector<std::uint8_t>>> members;
        for (const auto& entry : fs::directory_iterator(root_ / "themes" / kSampleTheme)) {
            members.emplace_back(entry.path().filename().string(), readFile(entry.path()));
            if (entry.path().extension() == ".png") pictures_.push_back(entry.path());
        }
        std::sort(members.begin(), members.end());
        std::sort(pictures_.begin(), pictures_.end());
        writeZip(root_ / "themes" / (std::string(kSampleTheme) + ".zip"), members);
    }
    ~ProgramFolder() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }
    // Every picture of the sample theme (the theme uses them all).
    const std::vector<fs::path>& pictures() const { return pictures_; }

private:
    fs::path root_;
    std::vector<fs::path> pictures_;
};

// The player's frames on the real device, on a desktop of the given size at the origin, at 60
// frames per second.
struct DeviceScene {
    DeviceScene(const ProgramFolder& folder, const std::u16string& theme, std::uint32_t width, std::uint32_t height)
        : session(setup(folder, theme, width, height), &device) {}
    static HeadlessSetup setup(const ProgramFolder& folder, const std::u16string& theme, std::uint32_t width, std::uint32_t height) {
        HeadlessSetup s;
        s.programFolder = folder.root().u16string();
        s.width = static_cast<std::int32_t>(width);
        s.height = static_cast<std::int32_t>(height);
        s.theme = theme;
        s.frameRate = 60;
        return s;
    }
    // The theme loaded as the player starts it.
    void start() {
        tick = 0;
        session.start(tick);
    }
    // The next frame: pan, animation and drawing.
    void frame() {
        tick += 16;
        session.advanceTo(tick);
    }

    // The session goes first: the theme's bitmaps belong to the device.
    CairoGraphicsDevice device;
    HeadlessSession session;
    std::uint32_t tick = 0;
};

// The floor: clearing a frame and copying it once, with the same library.
class Floor {
public:
    Floor(int width, int height)
        : target_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
          window_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)) {}
    ~Floor() {
        cairo_surface_destroy(target_);
        cairo_surface_destroy(window_);
    }
    void run() {
        cairo_t* cr = cairo_create(target_);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        cairo_paint(cr);
        cairo_destroy(cr);
        cr = cairo_create(window_);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, target_, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(window_);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(window_));
    }

private:
    cairo_surface_t* target_;
    cairo_surface_t* window_;
};

void BM_DeviceFrame(benchmark::State& state) {
    const auto width = static_cast<int>(state.range(0));
    const auto height = static_cast<int>(state.range(1));
    ProgramFolder folder;
    DeviceScene scene(folder, u"VMA_Lantern_Valley", static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (!scene.session.drawing()) {
        state.SkipWithError("no drawing target");
        return;
    }
    scene.start();
    Floor floor(width, height);
    // The first frames make what the device keeps between frames.
    for (int i = 0; i < 3; ++i) {
        scene.frame();
        floor.run();
    }
    Clock::duration frameTime{}, floorTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        scene.frame();
        const auto t1 = Clock::now();
        floor.run();
        const auto t2 = Clock::now();
        frameTime += t1 - t0;
        floorTime += t2 - t1;
        state.SetIterationTime(seconds(t1 - t0));
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["frame_ms"] = seconds(frameTime) * 1000 / frames;
    state.counters["floor_ms"] = seconds(floorTime) * 1000 / frames;
    state.counters["floor_ratio"] = seconds(frameTime) / seconds(floorTime);
}
BENCHMARK(BM_DeviceFrame)
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Args({2560, 1440})
    ->Args({3840, 2160})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Loading the sample theme (config, theme.txt, every picture, layout) against decoding the same
// pictures with nothing else: from their files for the folder theme, from their bytes in memory
// for the archive theme. Both are timed in alternation in the same run.
void themeLoad(benchmark::State& state, bool archive) {
    ProgramFolder folder;
    DeviceScene scene(folder, archive ? u"VMA_Lantern_Valley.zip" : u"VMA_Lantern_Valley", 1920, 1080);
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<std::u16string> paths;
    for (const fs::path& picture : folder.pictures()) {
        bytes.push_back(readFile(picture));
        paths.push_back(picture.u16string());
    }
    const auto plainDecode = [&] {
        std::vector<std::unique_ptr<Bitmap>> decoded;
        decoded.reserve(paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            decoded.push_back(archive ? scene.device.loadPictureBytes(bytes[i].data(), bytes[i].size())
                                      : scene.device.loadPictureFile(paths[i]));
        }
        benchmark::DoNotOptimize(decoded.data());
    };
    Clock::duration loadTime{}, decodeTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        scene.start();
        const auto t1 = Clock::now();
        plainDecode();
        const auto t2 = Clock::now();
        loadTime += t1 - t0;
        decodeTime += t2 - t1;
        state.SetIterationTime(seconds(t1 - t0));
    }
    if (!theme.floorImage.bitmap || !theme.backgroundImage.bitmap) state.SkipWithError("the theme did not load");
    const double loads = static_cast<double>(state.iterations());
    state.counters["pictures"] = static_cast<double>(paths.size());
    state.counters["load_ms"] = seconds(loadTime) * 1000 / loads;
    state.counters["decode_ms"] = seconds(decodeTime) * 1000 / loads;
    state.counters["decode_ratio"] = seconds(loadTime) / seconds(decodeTime);
}

void BM_ThemeLoadFolder(benchmark::State& state) { themeLoad(state, false); }
BENCHMARK(BM_ThemeLoadFolder)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ThemeLoadArchive(benchmark::State& state) { themeLoad(state, true); }
BENCHMARK(BM_ThemeLoadArchive)->UseManualTime()->Unit(benchmark::kMillisecond);

// Resident memory of the process, from /proc.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    double size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

template <typename F>
void forEachPicture(F&& visit) {
    visit(theme.floorImage);
    visit(theme.ceilingImage);
    visit(theme.backgroundImage);
    visit(theme.screenImage);
    const auto table = [&](const auto& layers, std::int32_t count) {
        for (std::int32_t l = 0; l < count; ++l)
            for (const auto& row : layers[static_cast<std::size_t>(l)].images)
                for (const ImageFrame& frame : row) visit(frame);
    };
    table(theme.backParticles, theme.backParticleCount);
    table(theme.frontParticles, theme.frontParticleCount);
    table(theme.backSprites, theme.backSpriteCount);
    table(theme.frontSprites, theme.frontSpriteCount);
    for (std::int32_t l = 0; l < theme.characterCount; ++l)
        for (const ImageFrame& frame : theme.characters[static_cast<std::size_t>(l)].images) visit(frame);
}

// Resident memory after loading the sample theme and drawing its first frames at 1920x1080,
// against its budget: the decoded pictures, the device's scaled copies, two frame buffers and
// 20 MB. Run it on its own (--benchmark_filter) for a figure that no other benchmark inflates.
void BM_ResidentAfterLoad(benchmark::State& state) {
    constexpr int kWidth = 1920, kHeight = 1080;
    ProgramFolder folder;
    double resident = 0;
    for (auto _ : state) {
        DeviceScene scene(folder, u"VMA_Lantern_Valley", kWidth, kHeight);
        scene.start();
        for (int i = 0; i < 3; ++i) scene.frame();
        resident = residentBytes();
        double decoded = 0;
        forEachPicture([&](const ImageFrame& frame) {
            if (frame.bitmap) decoded += 4.0 * frame.width * frame.height;
        });
        const double copies = static_cast<double>(scene.device.scaledCopyBytes());
        const double frames = 2.0 * 4.0 * kWidth * kHeight;
        const double mb = 1024.0 * 1024.0;
        state.counters["resident_mb"] = resident / mb;
        state.counters["decoded_mb"] = decoded / mb;
        state.counters["copies_mb"] = copies / mb;
        state.counters["budget_mb"] = (decoded + copies + frames) / mb + 20;
        state.counters["budget_ratio"] = resident / (decoded + copies + frames + 20 * mb);
    }
}
BENCHMARK(BM_ResidentAfterLoad)->Iterations(1)->Unit(benchmark::kMillisecond);

// A generated archive theme of `members` pictures (one sprite layer, 1 to 4 variations of up to
// 1000 frames, every frame the same small PNG) loaded as the player loads it. Linear reading
// shows as a per-member time that does not grow with the member count.
void BM_ArchiveThemeMembers(benchmark::State& state) {
    const auto members = static_cast<int>(state.range(0));
    const int variations = members > 1000 ? members / 1000 : 1;
    const int frames = members / variations;
    ProgramFolder folder;
    cairo_surface_t* tiny = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    std::vector<std::uint8_t> png;
    cairo_surface_write_to_png_stream(
        tiny,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(tiny);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> entries;
    const std::string text = "params width:160\nadd_sprite name:m variations:" + std::to_string(variations) +
                             " frames:" + std::to_string(frames) + " instances:1\n";
    entries.emplace_back("theme.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
    for (int v = 1; v <= variations; ++v)
        for (int f = 1; f <= frames; ++f) entries.emplace_back("m_" + std::to_string(v) + "_" + std::to_string(f) + ".png", png);
    if (!writeZip(folder.root() / "themes" / "Many.zip", entries)) {
        state.SkipWithError("cannot write the archive");
        return;
    }
    DeviceScene scene(folder, u"Many.zip", 640, 480);
    for (auto _ : state) scene.start();
    const auto& images = theme.backSprites[0].images;
    if (theme.backSpriteCount != 1 || images.empty() || !images.back().back().bitmap) state.SkipWithError("the theme did not load");
    state.counters["members"] = members;
    // Seconds per member read and decoded.
    state.counters["per_member"] = benchmark::Counter(
        static_cast<double>(members) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ArchiveThemeMembers)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
