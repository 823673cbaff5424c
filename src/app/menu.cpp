#include "app/menu.h"

#include "app/front_door.h"
#include "app/shell_texts.h"
#include "ports/platform.h"
#include "resources/config.h"
#include "resources/theme_source.h"

namespace velmora {

namespace {

std::u16string themesFolderOf(const std::u16string& programFolder) {
    // programFolder already ends with the separator; the doubled separator is harmless.
    std::u16string folder = programFolder;
    folder += kPathSeparator;
    folder += u"themes";
    folder += kPathSeparator;
    return folder;
}

char16_t asciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

void addText(std::vector<MenuItem>& items, std::uint32_t id, std::u16string text) {
    items.push_back(MenuItem{id, std::move(text), false});
}

void addSeparator(std::vector<MenuItem>& items) { items.push_back(MenuItem{kSeparatorId, {}, true}); }

// Appends one theme item per matching name while ids are left.
template <typename Matches>
void addThemes(TrayMenuModel& model, const std::vector<std::u16string>& names, Matches matches) {
    for (const std::u16string& name : names) {
        if (!matches(name)) continue;
        if (model.themeList.size() >= kMaxThemeItems) return;
        model.themeList.push_back(name);
        const auto id = static_cast<std::uint32_t>(kFirstThemeCommand + model.themeList.size() - 1);
        addText(model.items, id, themeDisplayName(name));
    }
}

}  // namespace

std::u16string themeFolderPattern(const std::u16string& programFolder) {
    return themesFolderOf(programFolder) + u"*.";
}

std::u16string themeArchivePattern(const std::u16string& programFolder) {
    return themesFolderOf(programFolder) + u"*.zip";
}

bool isThemeFolderName(std::u16string_view name) {
    return !name.empty() && name.find(u'.') == std::u16string_view::npos;
}

bool isThemeArchiveName(std::u16string_view name) {
    constexpr std::u16string_view suffix = u".zip";
    if (name.size() < suffix.size()) return false;
    const std::u16string_view tail = name.substr(name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (asciiLower(tail[i]) != suffix[i]) return false;
    }
    return true;
}

TrayMenuModel buildTrayMenuModel(const std::vector<std::u16string>& folderSearch,
                                 const std::vector<std::u16string>& archiveSearch) {
    TrayMenuModel model;
    std::vector<MenuItem>& items = model.items;
    addText(items, kCommandProductPage, std::u16string(u"&") + std::u16string(kProductName));
    addText(items, kCommandVisitSite, std::u16string(u"&Visit ") + std::u16string(makerSite) + u" for more!");
    addSeparator(items);
    addText(items, kCommandViewReadme, u"&View readme.txt");
    addText(items, kCommandEditConfig, u"&Edit config.txt");
    addText(items, kCommandReload, u"&Reload Current Theme");
    addSeparator(items);
    addThemes(model, folderSearch, [](const std::u16string& name) { return isThemeFolderName(name); });
    addSeparator(items);
    addThemes(model, archiveSearch, [](const std::u16string& name) { return isThemeArchiveName(name); });
    addSeparator(items);
    addText(items, kCommandExit, u"&Exit");
    return model;
}

TrayMenuModel findTrayMenuModel(const std::u16string& programFolder) {
    Shell& shell = *platform().shell;
    const std::vector<std::u16string> folders = shell.findFiles(themeFolderPattern(programFolder));
    const std::vector<std::u16string> archives = shell.findFiles(themeArchivePattern(programFolder));
    return buildTrayMenuModel(folders, archives);
}

void buildTrayMenu() {
    Shell& shell = *platform().shell;
    appState.trayMenu = shell.createPopupMenu();
    appState.themeList.clear();
    appState.themeCount = 0;

    TrayMenuModel model = findTrayMenuModel(appState.programFolder);

    for (const MenuItem& item : model.items) {
        if (item.separator) {
            shell.appendMenuSeparator(appState.trayMenu, item.id);
        } else {
            shell.appendMenuItem(appState.trayMenu, item.id, item.text);
        }
    }
    appState.themeList = std::move(model.themeList);
    appState.themeCount = static_cast<std::int32_t>(appState.themeList.size());
}

std::intptr_t runMenuCommand(std::uint32_t id) {
    if (id >= kFirstThemeCommand && id <= kLastThemeCommand) return chooseTheme(std::size_t{id - kFirstThemeCommand}) ? 1 : 0;
    switch (id) {
        case kCommandVisitSite:
            openWebPage(makerSite);
            return 1;
        case kCommandExit:
            quit(0);
            return 0;
        case kCommandReload:
            reloadTheme();
            return 1;
        case kCommandEditConfig:
            openProgramFile(u"config.txt");
            return 1;
        case kCommandViewReadme:
            openProgramFile(u"readme.txt");
            return 1;
        case kCommandProductPage:
            openWebPage(std::u16string(makerSite) + u"/VMA");
            return 1;
        default:
            return 0;
    }
}

}  // namespace velmora
