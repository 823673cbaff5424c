// play: the theme live, in a window or as the desktop's wallpaper, through the platform's player.
// The tool reads the command line, makes sure there is a theme to play before any window opens,
// and lends the player check's report.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "commands.h"
#include "platform/host.h"
#include "platform/player.h"
#include "resources/config.h"
#include "resources/theme_source.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

void parseSize(const std::string& text, std::uint32_t& width, std::uint32_t& height) {
    const auto bad = [&] {
        return UsageError("--size needs WxH (whole numbers from 1 to " + std::to_string(kMaxTargetSide) + "), not '" + text + "'");
    };
    const auto x = text.find('x');
    if (x == std::string::npos) throw bad();
    const auto number = [&](const std::string& part) {
        std::int64_t value = 0;
        const char* end = part.data() + part.size();
        auto [ptr, ec] = std::from_chars(part.data(), end, value);
        if (part.empty() || ec != std::errc() || ptr != end || value < 1 || value > kMaxTargetSide) throw bad();
        return static_cast<std::uint32_t>(value);
    };
    width = number(text.substr(0, x));
    height = number(text.substr(x + 1));
}

// The theme play would show (the named one, or config.txt's default_theme), or a message on
// stderr and false: a wrong folder or name ends the command before a window opens.
// user: the folder made of the user's files, which the messages name instead of root.
bool themeToPlay(const std::string& root, const std::string& named, const ProgramFolder* user) {
    std::error_code ec;
    if (!std::filesystem::is_directory(nativePath(fromUtf8(root)) / "themes", ec)) {
        std::fprintf(stderr, "velmora-tool: %s has no folder themes, so it is not a program folder (give --root the folder that holds config.txt and themes)\n",
                     root.c_str());
        return false;
    }
    const std::u16string folder = fromUtf8(root) + kPathSeparator;
    std::u16string theme = fromUtf8(named);
    if (theme.empty()) theme = readConfigSectionText(readText(makeThemeSource(fromUtf8(root)), u"config.txt")).defaultTheme;
    if (theme.empty()) {
        const std::string config = user != nullptr ? user->userConfig() : root + "/config.txt";
        std::fprintf(stderr, "velmora-tool: no theme to play: give --theme NAME or a default_theme in %s\n", config.c_str());
        return false;
    }
    if (!std::filesystem::exists(nativePath(makeThemeSource(folder + u"themes" + kPathSeparator + theme).path), ec)) {
        const std::string themes = user != nullptr ? "your themes or the installed ones" : root + "/themes";
        std::fprintf(stderr, "velmora-tool: there is no theme %s in %s%s\n", toUtf8(theme).c_str(), themes.c_str(),
                     named.empty() ? " (config.txt's default_theme)" : "");
        return false;
    }
    return true;
}

}  // namespace

int runPlay(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {"root", "theme", "size", "fps"}, {"watch", "desktop"}, false);
    PlayerOptions options;
    // Without --root the player plays what the user has (and what is installed), as a desktop
    // program does; the folder lives as long as the command.
    std::unique_ptr<ProgramFolder> userFolder;
    std::string root;
    if (args.has("root")) {
        root = args.value("root");
        if (root.empty()) root = ".";
    } else {
        std::string why;
        userFolder = openUserProgramFolder(why);
        if (!userFolder && why.empty()) throw UsageError("missing option --root");
        if (!userFolder) {
            std::fprintf(stderr, "velmora-tool: %s\n", why.c_str());
            return 1;
        }
        root = toUtf8(userFolder->path());
        std::fprintf(stderr, "velmora-tool: %s\n", userFolder->origin().c_str());
    }
    options.programFolder = fromUtf8(root);
    options.theme = fromUtf8(args.value("theme"));
    if (args.has("size")) {
        if (args.flags.count("desktop") != 0) throw UsageError("give --size or --desktop, not both (the desktop has the screen's size)");
        parseSize(args.value("size"), options.width, options.height);
    }
    if (args.has("fps")) options.frameRate = static_cast<std::int32_t>(parseInteger("fps", args.value("fps"), 1, 1000));
    options.watch = args.flags.count("watch") != 0;
    options.desktop = args.flags.count("desktop") != 0;
    if (!themeToPlay(root, args.value("theme"), userFolder.get())) return 1;
    options.report = [root](const std::u16string& theme) {
        CheckTarget target = checkTargetFor(&root, {});
        if (!theme.empty()) {
            target.names.push_back(theme);
            target.allThemes = false;
        }
        checkThemes(target, true);
    };
    // The player's 2 (no display, no window) is a failure at run time, not a usage error.
    const int code = runPlayer(options);
    return code == 2 ? 1 : code;
}

}  // namespace velmora::tool

namespace velmora::tool {

int runAutostart(const std::vector<std::string>& words) {
    const Arguments args = parseArguments(words, {}, {}, true);
    if (args.positional.size() != 1 || (args.positional[0] != "on" && args.positional[0] != "off")) {
        throw UsageError("autostart needs on or off");
    }
    return setAutostart(args.positional[0] == "on");
}

}  // namespace velmora::tool
