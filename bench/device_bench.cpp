// The real Linux drawing device with the sample theme: one frame as the player makes it (drawn
// into the window's shared-memory buffer and handed over) against one memcpy of a frame of the
// same size and against a clear and a copy with cairo, timed in the same run; theme loading
// against plain libpng decoding of the same bytes and against the device's own decoding; resident
// memory after a load; archive themes of many members.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <png.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <ctime>
#include <cstdio>
#include <cstring>
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

// A scratch program folder: config.txt and the sample theme, as a folder and as an archive; the
// pan on as shipped, or at rest (ping_pong:0).
class ProgramFolder {
public:
    explicit ProgramFolder(bool panAtRest = false) {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("velmora_device_bench_" + std::to_string(::getpid()) + "_" + std::to_string(random()));
        const fs::path source = VELMORA_SOURCE_DIR;
        fs::create_directories(root_ / "themes");
        std::string config;
        {
            std::ifstream in(source / "config.txt", std::ios::binary);
            config.assign(std::istreambuf_iterator<char>(in), {});
        }
        const std::string pan = "global scale:4 relative_scale:1 ping_pong:0.0002";
        const std::size_t at = config.find(pan);
        if (panAtRest && at != std::string::npos) config.replace(at, pan.size(), "global scale:4 relative_scale:1 ping_pong:0");
        std::ofstream(root_ / "config.txt", std::ios::binary) << config;
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

// The window's side of the player's frames, without the X server: two shared-memory buffers as
// the X11 presenter makes them, which the server would copy from. Nothing waits for it here, so
// every buffer is always free and presenting costs nothing.
class SharedMemoryBuffers final : public FramePresenter {
public:
    ~SharedMemoryBuffers() override { release(); }
    bool createBuffers(WindowHandle, std::uint32_t pixelWidth, std::uint32_t pixelHeight) override {
        release();
        stride_ = static_cast<std::size_t>(pixelWidth) * 4;
        for (void*& buffer : buffers_) {
            const int id = shmget(IPC_PRIVATE, stride_ * pixelHeight, IPC_CREAT | 0600);
            if (id < 0) return false;
            buffer = shmat(id, nullptr, 0);
            shmctl(id, IPC_RMID, nullptr);
            if (buffer == reinterpret_cast<void*>(-1)) {
                buffer = nullptr;
                return false;
            }
        }
        return true;
    }
    std::uint8_t* bufferPixels(int buffer) override { return static_cast<std::uint8_t*>(buffers_[buffer]); }
    std::size_t bufferStride() const override { return stride_; }
    bool bufferFree(int) override { return true; }
    void present(int, std::span<const PixelBox>) override { ++presents; }
    std::uint64_t presents = 0;

private:
    void release() {
        for (void*& buffer : buffers_) {
            if (buffer != nullptr) shmdt(buffer);
            buffer = nullptr;
        }
    }
    void* buffers_[kBuffers] = {};
    std::size_t stride_ = 0;
};

// The player's frames on the real device, on a desktop of the given size at the origin, at 60
// frames per second, drawn into the window's buffers and presented.
struct DeviceScene {
    DeviceScene(const ProgramFolder& folder, const std::u16string& theme, std::uint32_t width, std::uint32_t height)
        : session(setup(folder, theme, width, height), &device) {
        windowTarget = device.createTargets(1, width, height) == DeviceSetup::FrameTarget;
    }
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
    // The next frame: pan, animation, drawing and the hand-over to the window (which the core
    // makes itself where the window target is its own).
    void frame() {
        tick += 16;
        session.advanceTo(tick);
        device.presentFrameBitmap();
    }

    // The session goes first: the theme's bitmaps belong to the device.
    SharedMemoryBuffers window;
    CairoGraphicsDevice device{&window};
    HeadlessSession session;
    bool windowTarget = false;
    std::uint32_t tick = 0;
};

// One memcpy of a frame of the same size, between two buffers written once before.
class FrameCopy {
public:
    FrameCopy(int width, int height)
        : bytes_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4), from_(bytes_, 0x5A), to_(bytes_, 0) {}
    void run() {
        std::memcpy(to_.data(), from_.data(), bytes_);
        benchmark::DoNotOptimize(to_.data());
        benchmark::ClobberMemory();
    }

private:
    std::size_t bytes_;
    std::vector<std::uint8_t> from_, to_;
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

// Frames of the sample theme, the pan running (rest 0) or at rest (1): the device draws only where
// a frame differs from the one in its buffer and hands only that to the window; redrawn and
// handed are the shares of the frame's pixels.
void BM_DeviceFrame(benchmark::State& state) {
    const auto width = static_cast<int>(state.range(0));
    const auto height = static_cast<int>(state.range(1));
    ProgramFolder folder(state.range(2) != 0);
    DeviceScene scene(folder, u"VMA_Lantern_Valley", static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (!scene.session.drawing() || !scene.windowTarget) {
        state.SkipWithError("no drawing target");
        return;
    }
    scene.start();
    Floor floor(width, height);
    FrameCopy copy(width, height);
    // The first frames make what the device keeps between frames.
    for (int i = 0; i < 3; ++i) {
        scene.frame();
        floor.run();
        copy.run();
    }
    const std::uint64_t presentsBefore = scene.window.presents;
    const std::uint64_t drawnBefore = scene.device.drawnPixels(), handedBefore = scene.device.presentedPixels();
    Clock::duration frameTime{}, floorTime{}, copyTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        scene.frame();
        const auto t1 = Clock::now();
        floor.run();
        const auto t2 = Clock::now();
        copy.run();
        const auto t3 = Clock::now();
        frameTime += t1 - t0;
        floorTime += t2 - t1;
        copyTime += t3 - t2;
        state.SetIterationTime(seconds(t1 - t0));
    }
    const double frames = static_cast<double>(state.iterations());
    if (scene.window.presents - presentsBefore != static_cast<std::uint64_t>(state.iterations())) state.SkipWithError("a frame did not reach the window");
    state.counters["frame_ms"] = seconds(frameTime) * 1000 / frames;
    state.counters["floor_ms"] = seconds(floorTime) * 1000 / frames;
    state.counters["floor_ratio"] = seconds(frameTime) / seconds(floorTime);
    state.counters["memcpy_ms"] = seconds(copyTime) * 1000 / frames;
    state.counters["copy_ratio"] = seconds(frameTime) / seconds(copyTime);
    const double pixels = frames * width * height;
    state.counters["redrawn"] = static_cast<double>(scene.device.drawnPixels() - drawnBefore) / pixels;
    state.counters["handed"] = static_cast<double>(scene.device.presentedPixels() - handedBefore) / pixels;
}
BENCHMARK(BM_DeviceFrame)
    ->ArgNames({"width", "height", "rest"})
    ->ArgsProduct({{1280}, {720}, {0, 1}})
    ->ArgsProduct({{1920}, {1080}, {0, 1}})
    ->ArgsProduct({{2560}, {1440}, {0, 1}})
    ->ArgsProduct({{3840}, {2160}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Plain libpng: the bytes of one PNG decoded to 8-bit BGRA rows, with no limits, checks or
// premultiplication. The values that live across setjmp are plain, so a longjmp skips no
// destructor.
struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->size - reader->offset < length) png_error(png, "truncated");
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
}

bool plainLibpngDecode(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& pixels, std::vector<png_bytep>& rows) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{bytes.data(), bytes.size(), 0};
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Loading the sample theme (config, theme.txt, every picture, layout) against plain libpng
// decoding the same bytes in memory (libpng_ratio), and against the device decoding the same
// pictures with nothing else (decode_ratio): from their files for the folder theme, from their
// bytes in memory for the archive theme. All three are timed in alternation in the same run.
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
    // Every picture's pixels kept, as a load keeps them.
    std::vector<std::vector<std::uint8_t>> pixels(bytes.size());
    std::vector<png_bytep> rows;
    const auto libpngDecode = [&] {
        bool ok = true;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::vector<std::uint8_t>().swap(pixels[i]);
            ok = plainLibpngDecode(bytes[i], pixels[i], rows) && ok;
        }
        benchmark::DoNotOptimize(pixels.data());
        return ok;
    };
    if (!libpngDecode()) state.SkipWithError("libpng did not decode a picture");
    Clock::duration loadTime{}, decodeTime{}, libpngTime{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        scene.start();
        const auto t1 = Clock::now();
        plainDecode();
        const auto t2 = Clock::now();
        libpngDecode();
        const auto t3 = Clock::now();
        loadTime += t1 - t0;
        decodeTime += t2 - t1;
        libpngTime += t3 - t2;
        state.SetIterationTime(seconds(t1 - t0));
    }
    if (!theme.floorImage.bitmap || !theme.backgroundImage.bitmap) state.SkipWithError("the theme did not load");
    const double loads = static_cast<double>(state.iterations());
    state.counters["pictures"] = static_cast<double>(paths.size());
    state.counters["load_ms"] = seconds(loadTime) * 1000 / loads;
    state.counters["decode_ms"] = seconds(decodeTime) * 1000 / loads;
    state.counters["decode_ratio"] = seconds(loadTime) / seconds(decodeTime);
    state.counters["libpng_ms"] = seconds(libpngTime) * 1000 / loads;
    state.counters["libpng_ratio"] = seconds(loadTime) / seconds(libpngTime);
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
