// Which program folder and themes a check command line means, and how its report names them.
#include <filesystem>
#include <random>
#include <system_error>

#include "commands.h"
#include "tool_support.h"

namespace velmora::tool {

namespace {

namespace fs = std::filesystem;

std::string shownPrefix(const std::string& root) {
    if (root.empty() || root == "." || root == "./") return {};
    return root.back() == '/' || root.back() == fs::path::preferred_separator ? root : root + "/";
}

// A program folder in the temporary folder whose themes/NAME links to a theme that lies
// elsewhere, so that the core reads it as the player would; removed with the last copy.
struct StandIn {
    fs::path folder;
    ~StandIn() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

std::shared_ptr<StandIn> makeStandIn(const fs::path& theme, const std::string& name) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return nullptr;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const fs::path folder = base / ("velmora-check-" + std::to_string(random()));
        if (!fs::create_directory(folder, ec) || ec) continue;
        auto standIn = std::make_shared<StandIn>();
        standIn->folder = folder;
        fs::create_directory(folder / "themes", ec);
        if (!ec) {
            if (fs::is_directory(theme, ec)) {
                fs::create_directory_symlink(theme, folder / "themes" / name, ec);
            } else {
                fs::create_symlink(theme, folder / "themes" / name, ec);
            }
        }
        return ec ? nullptr : standIn;
    }
    return nullptr;
}

// The check of one theme given by its path (a folder or an archive).
CheckTarget themeTarget(const std::string& given) {
    CheckTarget target;
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(given), ec).lexically_normal();
    fs::path theme = absolute;
    if (!theme.has_filename()) theme = theme.parent_path();
    const std::string name = theme.filename().string();
    const fs::path themes = theme.parent_path();
    target.allThemes = false;
    target.names.push_back(fromUtf8(name));
    std::string shown = given;
    while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
    target.shownThemes[fromUtf8(name)] = shown;
    if (themes.filename() == "themes") {
        // In a program folder: its config.txt applies, as in the player.
        const fs::path parent = fs::path(given).lexically_normal().parent_path();
        if (fs::path(given).is_relative() && parent.filename() == "themes") {
            const fs::path root = parent.parent_path();
            target.root = root.empty() ? "." : root.string();
        } else {
            target.root = themes.parent_path().string();
        }
        target.shownRoot = shownPrefix(target.root);
        return target;
    }
    // Anywhere else: the player does not find it there, but it can be checked.
    target.checkConfig = false;
    target.notes.push_back(shown + ": warning: is not in the folder themes of a program folder; velmora plays a theme only from there");
    if (auto standIn = makeStandIn(theme, name)) {
        target.root = standIn->folder.string();
        target.standIn = standIn;
    } else {
        target.root = (theme.parent_path() / "velmora-no-program-folder").string();
        target.notes.push_back(shown + ": error: cannot be checked here; put it into the folder themes of a program folder");
    }
    return target;
}

}  // namespace

CheckTarget checkTargetFor(const std::string* root, const std::vector<std::string>& positional) {
    CheckTarget target;
    // Assigned as one character: GCC 12 warns falsely (-Wrestrict) about assigning ".".
    if (root != nullptr && !root->empty()) {
        target.root = *root;
    } else {
        target.root.assign(1, '.');
    }
    target.shownRoot = shownPrefix(target.root);
    std::error_code ec;
    if (root == nullptr && !positional.empty() && fs::exists(fs::path(positional.front()), ec)) {
        if (positional.size() != 1) throw UsageError("check takes one path, or theme names (with --root DIR)");
        const std::string& given = positional.front();
        const fs::path path(given);
        if (fs::is_directory(path, ec)) {
            if (fs::is_directory(path / "themes", ec)) {
                target.root = given;
                target.shownRoot = shownPrefix(given);
                return target;
            }
            return themeTarget(given);
        }
        if (path.filename() == "theme.txt") {
            const fs::path folder = path.parent_path();
            return themeTarget(folder.empty() ? std::string(".") : folder.string());
        }
        return themeTarget(given);  // an archive, or a file the check explains
    }
    for (const std::string& word : positional) target.names.push_back(fromUtf8(word));
    target.allThemes = positional.empty();
    return target;
}

}  // namespace velmora::tool
