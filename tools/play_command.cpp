// play: the theme live, in a window or as the desktop's wallpaper, through the platform's player.
// The tool only reads the command line and lends the player check's report.
#include <charconv>
#include <cstdio>
#include <string>

#include "commands.h"
#include "platform/host.h"
#include "platform/player.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

// The largest window side the player makes: far beyond any screen, and its two frame buffers
// stay within a few gigabytes.
constexpr std::int64_t kMaxWindowSide = 16384;

void parseSize(const std::string& text, std::uint32_t& width, std::uint32_t& height) {
    const auto bad = [&] {
        return UsageError("--size needs WxH (whole numbers from 1 to " + std::to_string(kMaxWindowSide) + "), not '" + text + "'");
    };
    const auto x = text.find('x');
    if (x == std::string::npos) throw bad();
    const auto number = [&](const std::string& part) {
        std::int64_t value = 0;
        const char* end = part.data() + part.size();
        auto [ptr, ec] = std::from_chars(part.data(), end, value);
        if (part.empty() || ec != std::errc() || ptr != end || value < 1 || value > kMaxWindowSide) throw bad();
        return static_cast<std::uint32_t>(value);
    };
    width = number(text.substr(0, x));
    height = number(text.substr(x + 1));
}

}  // namespace

int runPlay(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {"root", "theme", "size", "fps"}, {"watch", "desktop"}, false);
    PlayerOptions options;
    const std::string root = args.required("root");
    options.programFolder = fromUtf8(root.empty() ? std::string(".") : root);
    options.theme = fromUtf8(args.value("theme"));
    if (args.has("size")) {
        if (args.flags.count("desktop") != 0) throw UsageError("give --size or --desktop, not both (the desktop has the screen's size)");
        parseSize(args.value("size"), options.width, options.height);
    }
    if (args.has("fps")) options.frameRate = static_cast<std::int32_t>(parseInteger("fps", args.value("fps"), 1, 1000));
    options.watch = args.flags.count("watch") != 0;
    options.desktop = args.flags.count("desktop") != 0;
    options.report = [root](const std::u16string& theme) {
        std::vector<std::u16string> names;
        if (!theme.empty()) names.push_back(theme);
        checkThemes(root, names, true);
    };
    return runPlayer(options);
}

}  // namespace velmora::tool
