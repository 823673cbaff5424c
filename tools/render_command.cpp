// render: frames of a theme as the player would show them at a frame rate, written as numbered
// PNG files, as one animated WebP file, or both. The real core runs: config.txt, theme load, pan, animation and drawing; only the
// clock is ours, advancing by exactly one timer interval per frame.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "app/headless_session.h"
#include "commands.h"
#include "resources/theme_source.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

constexpr std::int64_t kMaxFrames = 1000000;
// The animation encoder keeps the whole file in memory until the end.
constexpr std::int64_t kMaxWebpFrames = 6000;

std::string frameFileName(std::int64_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04lld.png", static_cast<long long>(index));
    return name;
}

// --loop and --quality, which shape the WebP preview only.
AnimationStyle animationStyle(const Arguments& args) {
    AnimationStyle style;
    if (!args.has("webp") && (args.flags.count("loop") != 0 || args.has("quality"))) {
        throw UsageError("--loop and --quality shape the --webp preview; give --webp FILE");
    }
    if (args.has("quality")) style.quality = static_cast<int>(parseInteger("quality", args.value("quality"), 0, 100));
    // Half a second of the end fades into the start.
    if (args.flags.count("loop") != 0) style.loopFadeMs = 500;
    return style;
}

}  // namespace

int runRender(const std::vector<std::string>& words) {
    const Arguments args =
        parseArguments(words, {"root", "theme", "desktop", "monitors", "seed", "fps", "frames", "seconds", "out", "webp", "quality"}, {"loop"}, false);
    const std::string root = args.required("root");
    const std::string themeName = args.value("theme");
    const Desk desk = parseDesk(args);
    const DesktopRect& desktop = desk.desktop;
    if (desktop.width > kMaxTargetSide || desktop.height > kMaxTargetSide) {
        throw UsageError(std::string(desk.monitors.empty() ? "--desktop" : "--monitors") + ": render makes pictures of at most " + std::to_string(kMaxTargetSide) + " pixels on a side");
    }
    if (!args.has("out") && !args.has("webp")) throw UsageError("missing option --out (or --webp)");
    const std::string out = args.value("out");
    const std::string webp = args.value("webp");
    if (args.has("webp") && webp.empty()) throw UsageError("--webp needs a file name");
    const AnimationStyle style = animationStyle(args);
    const auto seed = static_cast<std::uint32_t>(parseInteger("seed", args.value("seed", "1"), 0, 4294967295LL));
    std::optional<std::int32_t> fps;
    if (args.has("fps")) fps = static_cast<std::int32_t>(parseInteger("fps", args.value("fps"), 1, 1000));
    if (args.has("frames") && args.has("seconds")) throw UsageError("give either --frames or --seconds, not both");
    std::optional<std::int64_t> frames;
    std::optional<double> seconds;
    if (args.has("frames")) frames = parseInteger("frames", args.value("frames"), 1, kMaxFrames);
    if (args.has("seconds")) seconds = parseDecimal("seconds", args.value("seconds"), 0.001, 3600);
    if (!frames && !seconds) seconds = 3.0;
    if (!webp.empty() && (static_cast<std::uint32_t>(desktop.width) > kMaxAnimationSide ||
                          static_cast<std::uint32_t>(desktop.height) > kMaxAnimationSide)) {
        throw UsageError("--webp pictures are at most " + std::to_string(kMaxAnimationSide) + " pixels on a side");
    }

    const std::unique_ptr<OffscreenGraphicsDevice> device = offscreenDevice();
    if (!device) return 1;
    HeadlessSetup setup = headlessSetup(root, desk);
    setup.theme = fromUtf8(themeName);
    setup.frameRate = fps;
    setup.seed = seed;
    HeadlessSession session(setup, device.get());
    if (!session.drawing()) {
        reportNoTarget(static_cast<std::uint32_t>(desktop.width), static_cast<std::uint32_t>(desktop.height));
        return 1;
    }
    if (session.themeName().empty()) {
        std::fprintf(stderr, "velmora-tool: no --theme given and %s/config.txt names no default_theme\n", root.c_str());
        return 1;
    }

    std::error_code existsError;
    if (!std::filesystem::exists(nativePath(themeSourceFor(session.themeName()).path), existsError)) {
        std::fprintf(stderr, "velmora-tool: there is no theme %s in %s/themes\n", toUtf8(session.themeName()).c_str(), root.c_str());
        return 1;
    }

    const std::filesystem::path outFolder = nativePath(fromUtf8(out));
    if (!out.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(outFolder, ec);
        if (ec) {
            std::fprintf(stderr, "velmora-tool: cannot create the folder %s: %s\n", out.c_str(), ec.message().c_str());
            return 1;
        }
    }
    std::unique_ptr<AnimationWriter> animation;
    if (!webp.empty()) {
        animation = createWebpAnimationWriter(*device, static_cast<std::uint32_t>(desktop.width),
                                              static_cast<std::uint32_t>(desktop.height), style);
        if (!animation) {
            std::fputs("velmora-tool: this build cannot write WebP files\n", stderr);
            return 1;
        }
    }

    std::uint32_t tick = 0;
    session.start(tick);
    if (const auto& error = session.loadError()) {
        std::fprintf(stderr, "velmora-tool: warning: theme.txt line %d: %s; the lines after it are not read\n", error->line,
                     error->what());
    }
    const std::int32_t interval = session.frameInterval();
    const std::int32_t rate = session.frameRate();
    const std::int64_t count = frames ? *frames : std::max<std::int64_t>(1, std::llround(*seconds * rate));
    if (animation && count > kMaxWebpFrames) {
        std::fprintf(stderr, "velmora-tool: a WebP preview holds at most %lld frames, not %lld\n", static_cast<long long>(kMaxWebpFrames),
                     static_cast<long long>(count));
        return 1;
    }

    const bool progress = stderrIsTerminal();
    for (std::int64_t i = 1; i <= count; ++i) {
        tick += static_cast<std::uint32_t>(interval);
        session.advanceTo(tick);
        if (!out.empty()) {
            const std::filesystem::path file = outFolder / frameFileName(i);
            if (!device->writeFramePng(file.u16string())) {
                if (progress) std::fputc('\n', stderr);
                std::fprintf(stderr, "velmora-tool: cannot write %s\n", toUtf8(file.u16string()).c_str());
                return 1;
            }
        }
        // The clock moved by one interval, so each frame is shown for exactly that long.
        if (animation && !animation->addFrame(interval)) {
            if (progress) std::fputc('\n', stderr);
            std::fprintf(stderr, "velmora-tool: cannot encode frame %lld: %s\n", static_cast<long long>(i), animation->error().c_str());
            return 1;
        }
        if (progress) {
            std::fprintf(stderr, "\rrendering frame %lld of %lld", static_cast<long long>(i), static_cast<long long>(count));
            std::fflush(stderr);
        }
    }
    if (progress) std::fputc('\n', stderr);
    if (animation && !animation->finish(nativePath(fromUtf8(webp)))) {
        std::fprintf(stderr, "velmora-tool: cannot write %s: %s\n", webp.c_str(), animation->error().c_str());
        return 1;
    }
    std::printf("wrote %lld frames of %s (%dx%d, %d fps, %d ms apart) to %s\n", static_cast<long long>(count),
                toUtf8(session.themeName()).c_str(), desktop.width, desktop.height, rate, interval,
                out.empty() ? webp.c_str() : webp.empty() ? out.c_str() : (out + " and " + webp).c_str());
    return 0;
}

}  // namespace velmora::tool
