#include "platform/linux/posix/user_folders.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>

#include "ground/text_decoding.h"
#include "platform/player.h"
#include "platform/linux/posix/posix_shell.h"

namespace velmora::posix {

namespace {

// A themes folder is listed this far; real ones hold a handful.
constexpr std::size_t kMostThemes = 4096;

std::optional<std::filesystem::path> absoluteVariable(const std::function<const char*(const char*)>& env, const char* name) {
    const char* value = env(name);
    if (value == nullptr || *value != '/') return std::nullopt;
    return std::filesystem::path(value);
}

bool endsWithZip(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".zip";
}

// Theme folders and archives of one themes folder, sorted by name.
std::vector<ThemeEntry> listThemes(const std::filesystem::path& folder) {
    std::vector<ThemeEntry> found;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (std::size_t seen = 0; !ec && it != std::filesystem::directory_iterator() && seen < kMostThemes; it.increment(ec), ++seen) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code kind;
        if (it->is_directory(kind) || (endsWithZip(name) && it->is_regular_file(kind))) found.push_back(ThemeEntry{name, it->path()});
    }
    std::sort(found.begin(), found.end(), [](const ThemeEntry& a, const ThemeEntry& b) { return a.name < b.name; });
    return found;
}

}  // namespace

std::optional<UserPlaces> userPlaces(const std::function<const char*(const char*)>& env, const std::filesystem::path& program,
                                     std::string& why) {
    const std::optional<std::filesystem::path> home = absoluteVariable(env, "HOME");
    std::optional<std::filesystem::path> config = absoluteVariable(env, "XDG_CONFIG_HOME");
    std::optional<std::filesystem::path> data = absoluteVariable(env, "XDG_DATA_HOME");
    if (!config && home) config = *home / ".config";
    if (!data && home) data = *home / ".local" / "share";
    if (!config || !data) {
        why = "HOME is not set, nor XDG_CONFIG_HOME and XDG_DATA_HOME, so there is no folder of yours to play from (give --root DIR)";
        return std::nullopt;
    }
    UserPlaces places;
    places.config = *config / "velmora" / "config.txt";
    places.themes = *data / "velmora" / "themes";
    places.installed = program.parent_path().parent_path() / "share" / "velmora";
    places.autostart = *config / "autostart" / "velmora.desktop";
    return places;
}

std::vector<ThemeEntry> themeEntries(const UserPlaces& places) {
    std::vector<ThemeEntry> entries = listThemes(places.themes);
    std::set<std::string> names;
    for (const ThemeEntry& entry : entries) names.insert(entry.name);
    for (ThemeEntry& entry : listThemes(places.installed / "themes")) {
        if (names.insert(entry.name).second) entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::filesystem::path> configFile(const UserPlaces& places) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(places.config, ec)) return places.config;
    if (std::filesystem::is_regular_file(places.installed / "config.txt", ec)) return places.installed / "config.txt";
    return std::nullopt;
}

ProgramView::~ProgramView() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::unique_ptr<ProgramView> ProgramView::make(const UserPlaces& places, const std::filesystem::path& parent, std::string& why) {
    std::string pattern = (parent / "velmora-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        why = "cannot make the player's folder in " + parent.string();
        return nullptr;
    }
    std::unique_ptr<ProgramView> view(new ProgramView(pattern));
    std::error_code ec;
    std::filesystem::create_directory(view->path_ / "themes", ec);
    if (const std::optional<std::filesystem::path> config = configFile(places)) {
        if (!ec) std::filesystem::create_symlink(*config, view->path_ / "config.txt", ec);
    }
    for (const ThemeEntry& entry : themeEntries(places)) {
        if (ec) break;
        std::filesystem::create_symlink(entry.target, view->path_ / "themes" / entry.name, ec);
    }
    if (ec) {
        why = "cannot make the player's folder in " + parent.string() + " (" + ec.message() + ")";
        return nullptr;
    }
    return view;
}

std::string autostartEntry(const std::filesystem::path& program) {
    // A quoted argument escapes ", `, $ and \ with a backslash; a field code's % is doubled.
    std::string quoted = "\"";
    for (char c : program.string()) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        if (c == '\n' || c == '\r') continue;
        quoted += c;
    }
    quoted += '"';
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velmora\n"
           "Comment=Animated pixel-art wallpaper\n"
           "Exec=" + quoted + " play --desktop\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace velmora::posix

namespace velmora {

namespace {

class LinuxProgramFolder final : public ProgramFolder {
public:
    LinuxProgramFolder(std::unique_ptr<posix::ProgramView> view, std::string origin, std::string userConfig)
        : view_(std::move(view)), path_(decodeUtf8(reinterpret_cast<const std::uint8_t*>(view_->path().c_str()), view_->path().native().size())),
          origin_(std::move(origin)), userConfig_(std::move(userConfig)) {}
    const std::u16string& path() const override { return path_; }
    const std::string& origin() const override { return origin_; }
    const std::string& userConfig() const override { return userConfig_; }

private:
    std::unique_ptr<posix::ProgramView> view_;
    std::u16string path_;
    std::string origin_;
    std::string userConfig_;
};

std::filesystem::path runningProgram() {
    const std::u16string path = posix::PosixShell().programPath();
    return std::filesystem::path(encodeUtf8(path));
}

const char* environment(const char* name) { return std::getenv(name); }

}  // namespace

std::unique_ptr<ProgramFolder> openUserProgramFolder(std::string& why) {
    const std::optional<posix::UserPlaces> places = posix::userPlaces(environment, runningProgram(), why);
    if (!places) return nullptr;
    std::filesystem::path parent;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') parent = runtime;
    std::error_code ec;
    if (parent.empty() || !std::filesystem::is_directory(parent, ec)) parent = std::filesystem::temp_directory_path(ec);
    if (ec) {
        why = "there is no temporary folder for the player (" + ec.message() + ")";
        return nullptr;
    }
    std::unique_ptr<posix::ProgramView> view = posix::ProgramView::make(*places, parent, why);
    if (!view) return nullptr;
    const std::optional<std::filesystem::path> config = posix::configFile(*places);
    std::string origin = "config.txt from " + (config ? config->string() : std::string("nowhere (none installed)")) + "; themes from " +
                         places->themes.string() + " and " + (places->installed / "themes").string();
    return std::make_unique<LinuxProgramFolder>(std::move(view), std::move(origin), places->config.string());
}

int setAutostart(bool on) {
    std::string why;
    const std::optional<posix::UserPlaces> places = posix::userPlaces(environment, runningProgram(), why);
    if (!places) {
        std::fprintf(stderr, "velmora-tool: %s\n", why.c_str());
        return 1;
    }
    const std::filesystem::path& entry = places->autostart;
    std::error_code ec;
    if (!on) {
        if (!std::filesystem::exists(std::filesystem::symlink_status(entry, ec))) {
            std::printf("autostart is already off: there is no %s\n", entry.c_str());
            return 0;
        }
        if (!std::filesystem::remove(entry, ec) || ec) {
            std::fprintf(stderr, "velmora-tool: cannot remove %s (%s)\n", entry.c_str(), ec.message().c_str());
            return 1;
        }
        std::printf("autostart off: removed %s\n", entry.c_str());
        return 0;
    }
    std::filesystem::create_directories(entry.parent_path(), ec);
    const std::filesystem::path staged = entry.string() + ".new";
    {
        std::ofstream out(staged, std::ios::binary | std::ios::trunc);
        out << posix::autostartEntry(runningProgram());
        if (!out.flush()) ec = std::make_error_code(std::errc::io_error);
    }
    if (!ec) std::filesystem::rename(staged, entry, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(staged, ignored);
        std::fprintf(stderr, "velmora-tool: cannot write %s (%s)\n", entry.c_str(), ec.message().c_str());
        return 1;
    }
    std::printf("autostart on: %s starts velmora-tool play --desktop when you log in\n", entry.c_str());
    return 0;
}

}  // namespace velmora
