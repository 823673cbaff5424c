// render: frames of a theme as the player would show them at a frame rate, written as numbered
// PNG files. The real core runs: config.txt, theme load, pan, animation and drawing; only the
// clock is ours, advancing by exactly one timer interval per frame.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/frame_timer.h"
#include "commands.h"
#include "ground/random.h"
#include "ground/records.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

constexpr std::int64_t kMaxFrames = 1000000;

std::string frameFileName(std::int64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04lld.png", static_cast<long long>(index));
    return name;
}

}  // namespace

int runRender(const std::vector<std::string>& words) {
    const Arguments args =
        parseArguments(words, {"root", "theme", "desktop", "seed", "fps", "frames", "seconds", "out"}, {}, false);
    const std::string root = args.required("root");
    const std::string themeName = args.value("theme");
    const DesktopRect desktop = parseDesktop(args.required("desktop"));
    const std::string out = args.required("out");
    const auto seed = static_cast<std::uint32_t>(parseInteger("seed", args.value("seed", "1"), 0, 4294967295LL));
    std::optional<std::int32_t> fps;
    if (args.has("fps")) fps = static_cast<std::int32_t>(parseInteger("fps", args.value("fps"), 1, 1000));
    if (args.has("frames") && args.has("seconds")) throw UsageError("give either --frames or --seconds, not both");
    std::optional<std::int64_t> frames;
    std::optional<double> seconds;
    if (args.has("frames")) frames = parseInteger("frames", args.value("frames"), 1, kMaxFrames);
    if (args.has("seconds")) seconds = parseDecimal("seconds", args.value("seconds"), 0.001, 3600);
    if (!frames && !seconds) seconds = 3.0;

    ToolPlatform tool;
    if (!tool.createDevice(static_cast<std::uint32_t>(desktop.width), static_cast<std::uint32_t>(desktop.height))) return 1;
    setProgramFolder(root);
    seedRandom(seed);
    setDesktop(desktop);
    appState.currentTheme = fromUtf8(themeName);
    readConfigSection();
    if (fps) appState.frameRate = *fps;
    if (appState.currentTheme.empty()) {
        std::fprintf(stderr, "velmora-tool: no --theme given and %s/config.txt names no default_theme\n", root.c_str());
        return 1;
    }

    std::error_code existsError;
    if (!std::filesystem::exists(nativePath(themeSourceFor(appState.currentTheme).path), existsError)) {
        std::fprintf(stderr, "velmora-tool: there is no theme %s in %s/themes\n", toUtf8(appState.currentTheme).c_str(), root.c_str());
        return 1;
    }

    const std::filesystem::path outFolder = nativePath(fromUtf8(out));
    std::error_code ec;
    std::filesystem::create_directories(outFolder, ec);
    if (ec) {
        std::fprintf(stderr, "velmora-tool: cannot create the folder %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }

    tool.shell.tick = 0;
    startTheme(0);
    if (const auto& error = loadState.error) {
        std::fprintf(stderr, "velmora-tool: warning: theme.txt line %d: %s; the lines after it are not read\n", error->line,
                     error->what());
    }
    const std::int32_t interval = appState.timerInterval;
    const std::int32_t rate = appState.frameRate > 0 ? appState.frameRate : 60;
    const std::int64_t count = frames ? *frames : std::max<std::int64_t>(1, std::llround(*seconds * rate));

    const bool progress = stderrIsTerminal();
    for (std::int64_t i = 1; i <= count; ++i) {
        tool.shell.tick += static_cast<std::uint32_t>(interval);
        renderFrame();
        const std::filesystem::path file = outFolder / frameFileName(i);
        if (!tool.device()->writeFramePng(file.u16string())) {
            if (progress) std::fputc('\n', stderr);
            std::fprintf(stderr, "velmora-tool: cannot write %s\n", toUtf8(file.u16string()).c_str());
            return 1;
        }
        if (progress) {
            std::fprintf(stderr, "\rrendering frame %lld of %lld", static_cast<long long>(i), static_cast<long long>(count));
            std::fflush(stderr);
        }
    }
    if (progress) std::fputc('\n', stderr);
    std::printf("wrote %lld frames of %s (%dx%d, %d fps, %d ms apart) to %s\n", static_cast<long long>(count),
                toUtf8(appState.currentTheme).c_str(), desktop.width, desktop.height, rate, interval, out.c_str());
    return 0;
}

}  // namespace velmora::tool
