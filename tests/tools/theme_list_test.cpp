// velmora-tool check lists the themes exactly as the player's menu does, in the menu's order,
// and reads each as the player does.
#include <string>
#include <vector>

#include "app/menu.h"
#include "ground/text_decoding.h"
#include "platform/host.h"
#include "ports/platform.h"
#include "tool_fixture.h"

namespace velmora::testing {
namespace {

// The theme names of check's summary lines ("NAME: ok", "NAME: 1 error, ..."), in order.
std::vector<std::string> summaryNames(const std::string& out) {
    std::vector<std::string> names;
    for (const std::string& line : lines(out)) {
        // A remark starts with a path (the theme's, config.txt's), a summary with the theme's name.
        const std::size_t colon = line.find(": ");
        if (line.empty() || line.find('/') < colon || line.rfind("config.txt", 0) == 0 || line.rfind("checked ", 0) == 0) continue;
        names.push_back(line.substr(0, line.find(": ")));
    }
    return names;
}

TEST_F(ToolTest, CheckListsTheMenusThemesInTheMenusOrder) {
    writeFile(root / "config.txt", "");
    writeFile(root / "themes" / "Alpha" / "theme.txt", "params width:10\n");
    writeFile(root / "themes" / "My.Theme" / "theme.txt", "params width:10\n");  // a dot: no folder theme
    writeFile(root / "themes" / "README", "not a theme");                      // no dot: listed as a folder
    writeFile(root / "themes" / "Night.ZIP", "PK");                            // any case: listed as an archive
    writeFile(root / "themes" / "beta.zip", "PK");
    writeFile(root / "themes" / "notes.txt", "");

    const std::unique_ptr<Shell> system = createSystemShell();
    installPlatform(Platform{nullptr, system.get(), nullptr});
    const std::string path = rootArg() + "/";
    const std::u16string folder = decodeUtf8(reinterpret_cast<const std::uint8_t*>(path.data()), path.size());
    const ThemeList menu = findTrayMenuModel(folder).themeList;
    installPlatform(Platform{});
    std::vector<std::string> menuNames;
    for (const std::u16string& name : menu) menuNames.push_back(encodeUtf8(name));
    EXPECT_EQ(menuNames, (std::vector<std::string>{"Alpha", "README", "beta.zip", "Night.ZIP"}));

    const ToolRun result = run({"check", "--root", rootArg()});
    EXPECT_EQ(summaryNames(result.out), menuNames) << result.out;
    // Each is read as the player reads it: an upper-case .ZIP is no archive to the player, and a
    // plain file is no folder.
    EXPECT_NE(result.out.find("themes/Night.ZIP: error: is neither a folder nor a .zip archive (archive names end in lower-case .zip)"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("themes/README: error: is neither a folder nor a .zip archive: the menu lists it"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("themes/beta.zip/theme.txt: error: cannot be read from the archive"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("checked 4 themes"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace velmora::testing
