// Memory the sectioned text format needs on the worst texts of the size a theme.txt or config.txt
// may have (16 MiB): the peak of bytes held beyond what was held before, per byte of the UTF-16
// text (the text itself is 2 bytes per character). The target: parsing needs little beyond the
// text, and reading plus parsing at most about twice the UTF-16 text.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hostile/allocation_meter.h"
#include "ground/records.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "theme/parse_theme.h"
#include "zip.h"

namespace velmora {
namespace {

constexpr std::size_t kTextBytes = kMaxTextFileSize;

// UTF-8 text of exactly kTextBytes made of one line (or line piece) repeated.
std::string repeated(const std::string& head, const std::string& piece) {
    std::string text = head;
    text.reserve(kTextBytes);
    while (text.size() + piece.size() <= kTextBytes) text += piece;
    text.append(kTextBytes - text.size(), ' ');
    return text;
}

enum Shape { OneLetterLines, OneLetterWords, LinesOfColons, OneLineOfColons, LayerLines };

std::string textOf(Shape shape) {
    switch (shape) {
        case OneLetterLines: return repeated("", "a\n");
        case OneLetterWords: return repeated("add_particle", " a");
        case LinesOfColons: return repeated("", "floor " + std::string(4089, ':') + "\n");
        case OneLineOfColons: return repeated("add_sprite name", ":");
        case LayerLines:
            return repeated("", "add_particle name:snow variations:2 frames:3 instances:40 xscroll:1.5 duration:90\n");
    }
    return {};
}

const char* nameOf(Shape shape) {
    switch (shape) {
        case OneLetterLines: return "one-letter lines";
        case OneLetterWords: return "one-letter words";
        case LinesOfColons: return "lines of colons";
        case OneLineOfColons: return "one line of colons";
        case LayerLines: return "layer lines";
    }
    return "";
}

std::u16string utf16Of(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class Folder {
public:
    Folder() {
        path_ = std::filesystem::temp_directory_path() / "velmora_text_memory_bench";
        std::filesystem::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void report(benchmark::State& state, Shape shape, std::size_t peak, std::size_t utf16Bytes) {
    state.SetLabel(nameOf(shape));
    state.counters["peak_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
    state.counters["peak_per_utf16_byte"] = static_cast<double>(peak) / static_cast<double>(utf16Bytes);
}

// The parse alone, the text being in memory already.
void BM_ParseTheme(benchmark::State& state) {
    const auto shape = static_cast<Shape>(state.range(0));
    const std::u16string text = utf16Of(textOf(shape));
    std::size_t peak = 0;
    for (auto _ : state) {
        const testing::AllocationMeter meter;
        parseThemeText(text, theme);
        peak = meter.peak();
        state.PauseTiming();
        resetRecords();
        state.ResumeTiming();
    }
    report(state, shape, peak, text.size() * 2);
}

// The peak memory of reading, decoding and parsing theme.txt of a source, against its UTF-16 size.
void measureThemeRead(benchmark::State& state, Shape shape, const ThemeSource& source, std::size_t fileBytes) {
    std::size_t peak = 0;
    for (auto _ : state) {
        const testing::AllocationMeter meter;
        parseThemeText(readText(source, u"theme.txt"), theme);
        peak = meter.peak();
        state.PauseTiming();
        resetRecords();
        state.ResumeTiming();
    }
    report(state, shape, peak, fileBytes * 2);
}

// What a theme load does with theme.txt of a folder: read, decode, parse.
void BM_ReadAndParseThemeFromFolder(benchmark::State& state) {
    const auto shape = static_cast<Shape>(state.range(0));
    const std::string bytes = textOf(shape);
    Folder folder;
    std::ofstream(folder.path() / "theme.txt", std::ios::binary) << bytes;
    const ThemeSource source = makeThemeSource(folder.path().u16string());
    measureThemeRead(state, shape, source, bytes.size());
}

// The same from a .zip archive (deflated member).
void BM_ReadAndParseThemeFromArchive(benchmark::State& state) {
    const auto shape = static_cast<Shape>(state.range(0));
    const std::string bytes = textOf(shape);
    Folder folder;
    const std::filesystem::path archive = folder.path() / "theme.zip";
    zipFile zip = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    zipOpenNewFileInZip64(zip, "theme.txt", nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 0);
    zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);
    const ThemeSource source = makeThemeSource(archive.u16string());
    measureThemeRead(state, shape, source, bytes.size());
}

// config.txt's two readers on the same texts.
void BM_ConfigReaders(benchmark::State& state) {
    const auto shape = static_cast<Shape>(state.range(0));
    const std::u16string text = utf16Of(textOf(shape));
    std::size_t peak = 0;
    for (auto _ : state) {
        const testing::AllocationMeter meter;
        benchmark::DoNotOptimize(readConfigSectionText(text));
        benchmark::DoNotOptimize(readDisplaySettingsText(text, u"VMA_Forest.zip"));
        peak = meter.peak();
    }
    report(state, shape, peak, text.size() * 2);
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int shape = OneLetterLines; shape <= LayerLines; ++shape) b->Arg(shape);
    b->Unit(benchmark::kMillisecond)->Iterations(2);
}

BENCHMARK(BM_ParseTheme)->Apply(shapes);
BENCHMARK(BM_ReadAndParseThemeFromFolder)->Apply(shapes);
BENCHMARK(BM_ReadAndParseThemeFromArchive)->Apply(shapes);
BENCHMARK(BM_ConfigReaders)->Apply(shapes);

}  // namespace
}  // namespace velmora
