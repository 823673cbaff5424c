// A whole theme load from an archive built from the input, then a few frames with odd elapsed
// times. The input is theme.txt, then optionally "\n@@\n" and the bytes of picture p.png, then
// optionally "\n@@\n" and the bytes of picture q (stored as q_1_1.png and q_1.png): a seed
// theme.txt names p and q.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/headless_session.h"
#include "fuzz_support.h"
#include "support/zip_writer.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path root = [] {
        const auto path = fuzz::scratchFolder() / "program";
        std::filesystem::create_directories(path / "themes");
        return path;
    }();

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; parts.size() < 3;) {
        const std::size_t marker = parts.size() < 2 ? input.find("\n@@\n", start) : std::string_view::npos;
        parts.push_back(input.substr(start, marker == std::string_view::npos ? std::string_view::npos : marker - start));
        if (marker == std::string_view::npos) break;
        start = marker + 4;
    }
    testing::ZipWriter zip;
    zip.add("theme.txt", parts[0], testing::ZipEntry{size % 2 == 0, {}, {}});
    if (parts.size() > 1) zip.add("p.png", parts[1], testing::ZipEntry{false, {}, {}});
    if (parts.size() > 2) {
        zip.add("q_1_1.png", parts[2], testing::ZipEntry{false, {}, {}});
        zip.add("q_1.png", parts[2], testing::ZipEntry{false, {}, {}});
    }
    const std::vector<std::uint8_t> archive = zip.bytes();
    fuzz::writeFile(root / "themes" / "fuzz.zip", archive.data(), archive.size());

    HeadlessSetup setup;
    setup.programFolder = root.u16string();
    setup.width = 64;
    setup.height = 48;
    setup.theme = u"fuzz.zip";
    setup.frameRate = 60;
    setup.seed = static_cast<std::uint32_t>(size);
    HeadlessSession session(setup, &fuzz::offscreenDevice());

    std::uint32_t tick = 0xFFFFFF00u;  // the tick counter wraps during the frames
    session.start(tick);
    for (std::uint32_t elapsed : {0u, 1u, 17u, 16u, 1000u, 0x7FFFFFFFu, 0x80000001u, 65536u, 3u}) {
        tick += elapsed;
        session.advanceTo(tick);
    }
    return 0;
}
