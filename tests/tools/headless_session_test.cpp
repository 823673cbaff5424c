// A headless session plays a theme exactly as the trace command reports it: the same pan and the
// same pictures at the same places in every frame.
#include <charconv>
#include <string>
#include <vector>

#include "app/headless_session.h"
#include "support/recording_graphics_device.h"
#include "tool_fixture.h"

namespace velmora::testing {
namespace {

std::string number(float value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

TEST_F(ToolTest, AHeadlessSessionReproducesTheTrace) {
    writeFile(root / "config.txt", "global scale:2 ping_pong:0.001\n");
    const auto folder = root / "themes" / "Tiny";
    writeFile(folder / "theme.txt",
              "params width:100\nfloor name:ground ycollider:10\n"
              "add_sprite name:rock instances:2 xseparationmin:5 xseparationmax:5 xanimation:0.01\n"
              "add_character name:cat type:floor frames:2\nadd_particle name:dot layer:front\n");
    RecordingGraphicsDevice device;
    const struct {
        const char* name;
        int width, height;
    } pictures[] = {{"ground.png", 100, 8}, {"rock_1_1.png", 4, 4}, {"cat_1.png", 8, 6}, {"cat_2.png", 8, 6}, {"dot_1_1.png", 2, 2}};
    for (const auto& p : pictures) {
        writePng(folder / p.name, p.width, p.height);
        device.registerPicture((folder / p.name).u16string(), p.width, p.height);
    }
    const std::vector<std::uint32_t> ticks = {1000, 1016, 1033, 1500, 9000, 4294967295u};
    const ToolRun trace = run({"trace", "--root", rootArg(), "--theme", "Tiny", "--seed", "7", "--desktop", "-30,5,160,100", "--ticks",
                               "1000,1016,1033,1500,9000,4294967295"});
    ASSERT_EQ(trace.exitCode, 0) << trace.err;
    const std::vector<std::string> traced = lines(trace.out);
    ASSERT_EQ(traced.size(), ticks.size());

    HeadlessSetup setup;
    setup.programFolder = root.u16string();
    setup.left = -30;
    setup.top = 5;
    setup.width = 160;
    setup.height = 100;
    setup.theme = u"Tiny";
    setup.seed = 7;
    HeadlessSession session(setup, &device);
    session.start(ticks[0]);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const std::size_t before = device.pictures().size();
        session.advanceTo(ticks[i]);
        std::string line = "{\"frame\": " + std::to_string(i) + ", \"pan\": " + number(session.panOffset()) + ", \"draws\": [";
        for (std::size_t d = before; d < device.pictures().size(); ++d) {
            const auto& [bitmap, p] = device.pictures()[d];
            const std::u16string& source = static_cast<const FakeBitmap*>(bitmap)->source();
            line += d == before ? "[\"" : ", [\"";
            line += std::filesystem::path(source).filename().string() + "\"";
            for (float value : {p.opacity, p.x, p.y, p.w, p.h, p.mirror}) line += ", " + number(value);
            line += ", " + std::to_string(static_cast<int>(p.mode)) + "]";
        }
        EXPECT_EQ(line + "]}", traced[i]);
    }
}

}  // namespace
}  // namespace velmora::testing
