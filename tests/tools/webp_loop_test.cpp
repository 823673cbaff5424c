// render --webp --loop: the preview's last frame leads into its first about as smoothly as any
// two neighbouring frames, where a plain preview jumps back.
#include <webp/demux.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tool_fixture.h"

namespace velmora::testing {
namespace {

std::vector<std::vector<std::uint8_t>> decodeFrames(const std::string& bytes) {
    WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    std::vector<std::vector<std::uint8_t>> frames;
    if (decoder == nullptr) return frames;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        std::uint8_t* pixels = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) break;
        frames.emplace_back(pixels, pixels + std::size_t{info.canvas_width} * info.canvas_height * 4);
    }
    WebPAnimDecoderDelete(decoder);
    return frames;
}

std::size_t changedPixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t changed = 0;
    for (std::size_t i = 0; i + 3 < a.size(); i += 4) {
        if (!std::equal(a.begin() + static_cast<std::ptrdiff_t>(i), a.begin() + static_cast<std::ptrdiff_t>(i + 3),
                        b.begin() + static_cast<std::ptrdiff_t>(i))) {
            ++changed;
        }
    }
    return changed;
}

TEST_F(ToolTest, ALoopingPreviewHasNoJumpAtItsSeam) {
    const std::string name = VELMORA_SAMPLE_THEME_NAME;
    std::filesystem::copy(std::filesystem::path(VELMORA_SOURCE_DIR) / "themes" / name, root / "themes" / name,
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(std::filesystem::path(VELMORA_SOURCE_DIR) / "config.txt", root / "config.txt");
    // Seam change against the largest change between neighbours.
    auto seam = [&](bool loop) {
        const auto file = root / (loop ? "loop.webp" : "plain.webp");
        std::vector<std::string> args = {"render", "--root", rootArg(), "--theme", name, "--desktop", "320x180",
                                         "--fps", "20", "--seconds", "3", "--webp", file.string()};
        if (loop) args.push_back("--loop");
        const ToolRun run = this->run(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const auto frames = decodeFrames(readFile(file));
        EXPECT_EQ(frames.size(), loop ? 50u : 60u);  // the looping one: the fade's start frames are used up
        std::size_t neighbours = 1;
        for (std::size_t i = 1; i < frames.size(); ++i) neighbours = std::max(neighbours, changedPixels(frames[i - 1], frames[i]));
        return frames.empty() ? 0.0 : double(changedPixels(frames.back(), frames.front())) / double(neighbours);
    };
    EXPECT_GT(seam(false), 2.0);  // the fault: the pan and the characters jump back
    EXPECT_LE(seam(true), 1.5);
}

}  // namespace
}  // namespace velmora::testing
