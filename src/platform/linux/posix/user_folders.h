#pragma once
// The player installed for a user, without --root: the user's config.txt and themes in the XDG
// base directories, falling back to the sample themes and the default config.txt installed beside
// the program (share/velmora). The core reads one program folder (config.txt and themes/ side by
// side), so the player makes a folder of its own that links them together; it never writes into
// the user's folders or the installed ones.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::posix {

struct UserPlaces {
    std::filesystem::path config;     // $XDG_CONFIG_HOME/velmora/config.txt
    std::filesystem::path themes;     // $XDG_DATA_HOME/velmora/themes
    std::filesystem::path installed;  // share/velmora beside the program's bin folder
    std::filesystem::path autostart;  // $XDG_CONFIG_HOME/autostart/velmora.desktop
};

// The places from the environment (env names a variable's value, null when unset): an unset,
// empty or relative XDG_CONFIG_HOME or XDG_DATA_HOME stands for $HOME/.config and
// $HOME/.local/share. Nothing (and why) when neither that nor HOME is there.
std::optional<UserPlaces> userPlaces(const std::function<const char*(const char*)>& env, const std::filesystem::path& program,
                                     std::string& why);

// A theme the folder offers: its entry name and where it is.
struct ThemeEntry {
    std::string name;
    std::filesystem::path target;
};
// The user's themes (folders and .zip archives, not hidden ones), then each installed one whose
// name the user has no theme of; at most a few thousand of each.
std::vector<ThemeEntry> themeEntries(const UserPlaces& places);
// The user's config.txt where it is a file, else the installed one; nothing when neither is.
std::optional<std::filesystem::path> configFile(const UserPlaces& places);

// The player's own program folder below parent, removed when the object goes.
class ProgramView {
public:
    ~ProgramView();
    ProgramView(const ProgramView&) = delete;
    ProgramView& operator=(const ProgramView&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Made with config.txt and themes/ linking to what the places hold; null (and why) when the
    // folder cannot be made.
    static std::unique_ptr<ProgramView> make(const UserPlaces& places, const std::filesystem::path& parent, std::string& why);

private:
    explicit ProgramView(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
};

// The autostart entry (a desktop entry starting "PROGRAM play --desktop"), PROGRAM quoted as the
// desktop entry format asks.
std::string autostartEntry(const std::filesystem::path& program);

}  // namespace velmora::posix
