#pragma once
// The live player, an application of its own on the platforms that have one (Linux): what
// velmora-tool play asks of it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

// The live player: a theme played in a window of its own, or as the desktop's wallpaper, through
// the program's own start-up, front door and frame timer.
struct PlayerOptions {
    std::u16string programFolder;  // holds config.txt and the folder themes
    std::u16string theme;          // empty: config.txt's default_theme
    std::uint32_t width = 1280;    // of the window
    std::uint32_t height = 720;
    std::int32_t frameRate = 0;    // frames per second; 0: config.txt's
    bool watch = false;            // reload when the theme's files or config.txt change
    bool desktop = false;          // the desktop's wallpaper instead of a window
    // Prints the check report of the theme of that entry name. The player calls it at start
    // and, when watching, at every reload, in a process of its own so that nothing the check
    // does reaches the running scene.
    std::function<void(const std::u16string& theme)> report;
};

// Plays until the user or a signal ends it. Exit codes: 0 when ended, 1 when another player
// already is the desktop, 2 when the display or the window cannot be had (also on a platform
// without a player), with a one-line message on stderr.
int runPlayer(const PlayerOptions& options);

// The program folder play uses without --root, while the object lives: on Linux one of the
// player's own that links the user's config.txt and themes (the XDG base directories) and the
// installed sample themes and config.txt; never a folder the player writes the user's files in.
class ProgramFolder {
public:
    virtual ~ProgramFolder() = default;
    virtual const std::u16string& path() const = 0;
    // Where config.txt and the themes come from, in one line for the user.
    virtual const std::string& origin() const = 0;
    // The config.txt of the user's own (which may not exist yet), for messages.
    virtual const std::string& userConfig() const = 0;
};
// Null where the platform has none (--root is then needed; why stays empty) or where it cannot be
// made (why says so).
std::unique_ptr<ProgramFolder> openUserProgramFolder(std::string& why);

// Writes (on) or removes (off) the entry that starts play --desktop when the user logs in, and
// says so on stdout; off where there is none says that. Exit code 0, or 1 with a message.
int setAutostart(bool on);

}  // namespace velmora
