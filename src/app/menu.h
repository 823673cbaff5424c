#pragma once
// The notification icon's popup menu and the theme list behind its theme items. The model is
// plain string work over the names the two directory searches return, so that it can be built
// and checked without a platform; buildTrayMenu hands it to the shell.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ground/records.h"

namespace velmora {

// Command ids of the menu. Theme items are 601 + their index in the theme list.
inline constexpr std::uint32_t kFirstThemeCommand = 601;
inline constexpr std::uint32_t kLastThemeCommand = 699;
inline constexpr std::uint32_t kSeparatorId = 900;
inline constexpr std::uint32_t kCommandVisitSite = 901;
inline constexpr std::uint32_t kCommandExit = 902;
inline constexpr std::uint32_t kCommandReload = 903;
inline constexpr std::uint32_t kCommandEditConfig = 904;
inline constexpr std::uint32_t kCommandViewReadme = 905;
inline constexpr std::uint32_t kCommandProductPage = 906;

// Theme items stop at the last theme command id, so that a theme can never take the id of a
// separator or of a command; themes beyond it are not listed.
inline constexpr std::size_t kMaxThemeItems = kLastThemeCommand - kFirstThemeCommand + 1;

struct MenuItem {
    std::uint32_t id = 0;
    std::u16string text;  // empty for a separator
    bool separator = false;
    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct TrayMenuModel {
    std::vector<MenuItem> items;
    ThemeList themeList;
};

// The search patterns: programFolder, the separator, "themes", the separator, then "*." for
// theme folders or "*.zip" for theme archives.
std::u16string themeFolderPattern(const std::u16string& programFolder);
std::u16string themeArchivePattern(const std::u16string& programFolder);

// What the "*." search lists: names without a dot ("." and ".." therefore never). The names'
// attributes are not looked at, so a plain file without an extension counts as a folder.
bool isThemeFolderName(std::u16string_view name);
// What the "*.zip" search lists: names ending in ".zip" in any case.
bool isThemeArchiveName(std::u16string_view name);

// The whole menu, in order, from the raw results of the two searches (in the order the file
// system returned them). Names the patterns would not match are dropped here as well, since
// some file systems answer "*." more generously.
TrayMenuModel buildTrayMenuModel(const std::vector<std::u16string>& folderSearch,
                                 const std::vector<std::u16string>& archiveSearch);

// Runs both searches below programFolder through the shell: the menu of the themes installed
// there. velmora-tool lists the themes with it, so that it sees exactly what the menu shows.
TrayMenuModel findTrayMenuModel(const std::u16string& programFolder);

// An item of the menu was chosen: the verb behind it. 1 when the id is an item that was carried
// out, 0 for Exit and for an id with no item (sent by another program), which changes nothing.
std::intptr_t runMenuCommand(std::uint32_t id);

// Runs both searches below programFolder, creates the popup menu into trayMenu, and fills
// themeList and themeCount.
void buildTrayMenu();

}  // namespace velmora
