// The player as a desktop program: the power source from a fake /sys tree, the user's folders
// from the environment, the program folder made of them, and the autostart entry.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>

#include "platform/linux/posix/power_supply.h"
#include "platform/linux/posix/user_folders.h"
#include "support/temp_folder.h"

namespace velmora::posix {
namespace {

using velmora::testing::readFile;
using velmora::testing::TempFolder;

// One supply: its folder name and its attributes.
struct Supply {
    const char* name;
    std::map<std::string, std::string> attributes;
};

TEST(PowerSupplyTest, BatteryMainsAndNeither) {
    const Supply battery = {"BAT0", {{"type", "Battery\n"}, {"status", "Discharging\n"}}};
    const Supply charging = {"BAT0", {{"type", "Battery\n"}, {"status", "Charging\n"}}};
    const Supply full = {"BAT1", {{"type", "Battery\n"}, {"status", "Full\n"}}};
    const Supply acOn = {"AC", {{"type", "Mains\n"}, {"online", "1\n"}}};
    const Supply acOff = {"ACAD", {{"type", "Mains\n"}, {"online", "0\n"}}};
    const Supply usbOn = {"ucsi-source-psy-1", {{"type", "USB\n"}, {"online", "1\n"}}};
    const Supply mouse = {"hidpp_battery_0", {{"type", "Battery\n"}, {"scope", "Device\n"}, {"status", "Discharging\n"}}};
    const Supply odd = {"odd", {{"type", "Battery"}, {"status", std::string(200, 'x')}}};
    const struct {
        const char* what;
        std::vector<Supply> supplies;
        std::uint8_t acLine;
    } cases[] = {
        {"no supplies (a desktop computer)", {}, 255},
        {"a discharging battery", {battery}, 0},
        {"a discharging battery beside mains that still says online", {battery, acOn}, 0},
        {"mains offline", {acOff}, 0},
        {"mains online", {acOn}, 1},
        {"one of two mains online", {acOff, usbOn}, 1},
        {"a charging battery", {charging}, 1},
        {"a full battery, mains offline", {full, acOff}, 0},
        {"a full battery", {full}, 1},
        {"a mouse's battery is no power source", {mouse}, 255},
        {"a mouse's battery on mains", {mouse, acOn}, 1},
        {"an attribute longer than a word", {odd}, 255},
    };
    for (const auto& c : cases) {
        TempFolder sys;
        std::filesystem::create_directories(sys / "class" / "power_supply");
        for (const Supply& supply : c.supplies) {
            for (const auto& [name, value] : supply.attributes) sys.write(std::filesystem::path("class/power_supply") / supply.name / name, value);
        }
        EXPECT_EQ(readPowerStatus(sys.path()).acLineStatus, c.acLine) << c.what;
        EXPECT_EQ(readPowerStatus(sys.path()).systemStatusFlag, 0) << c.what;
    }
    // A tree that is not there, and an attribute that is a FIFO (read without waiting).
    EXPECT_EQ(readPowerStatus("/nonexistent/sys").acLineStatus, 255);
    TempFolder sys;
    sys.write("class/power_supply/BAT0/type", "Battery\n");
    ASSERT_EQ(mkfifo((sys / "class/power_supply/BAT0/status").c_str(), 0600), 0);
    EXPECT_EQ(readPowerStatus(sys.path()).acLineStatus, 255);
}

TEST(UserFoldersTest, PlacesFromTheEnvironment) {
    const struct {
        std::map<std::string, std::string> env;
        const char* config;  // empty: none
        const char* themes;
        const char* autostart;
    } cases[] = {
        {{{"HOME", "/home/u"}}, "/home/u/.config/velmora/config.txt", "/home/u/.local/share/velmora/themes",
         "/home/u/.config/autostart/velmora.desktop"},
        {{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}}, "/c/velmora/config.txt", "/d/velmora/themes",
         "/c/autostart/velmora.desktop"},
        // Relative or empty XDG values are ignored, as the base directories ask.
        {{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "rel"}, {"XDG_DATA_HOME", ""}}, "/home/u/.config/velmora/config.txt",
         "/home/u/.local/share/velmora/themes", "/home/u/.config/autostart/velmora.desktop"},
        {{{"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}}, "/c/velmora/config.txt", "/d/velmora/themes", "/c/autostart/velmora.desktop"},
        {{{"XDG_CONFIG_HOME", "/c"}}, "", "", ""},
        {{}, "", "", ""},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto places = userPlaces(
            [&](const char* name) {
                const auto it = c.env.find(name);
                return it == c.env.end() ? nullptr : it->second.c_str();
            },
            "/opt/v/bin/velmora-tool", why);
        const std::string shown = c.env.empty() ? "(nothing set)" : c.env.begin()->first + "=" + c.env.begin()->second + " ...";
        if (std::string(c.config).empty()) {
            EXPECT_FALSE(places) << shown;
            EXPECT_NE(why.find("--root"), std::string::npos) << shown;
            continue;
        }
        ASSERT_TRUE(places) << shown;
        EXPECT_EQ(places->config, c.config) << shown;
        EXPECT_EQ(places->themes, c.themes) << shown;
        EXPECT_EQ(places->autostart, c.autostart) << shown;
        EXPECT_EQ(places->installed, "/opt/v/share/velmora") << shown;
    }
}

// The user's themes win over installed ones of the same name; the user's config.txt over the
// installed one; the folder the player makes links them and goes with the object, and nothing is
// written into the user's or the installed folders.
TEST(UserFoldersTest, TheProgramFolderLinksTheUsersFilesBeforeTheInstalledOnes) {
    TempFolder t;
    const UserPlaces places{t / "config/velmora/config.txt", t / "data/velmora/themes", t / "usr/share/velmora", t / "autostart"};
    t.write("usr/share/velmora/config.txt", "config default_theme:Snow\n");
    t.write("usr/share/velmora/themes/Snow/theme.txt", "installed snow");
    t.write("usr/share/velmora/themes/Valley/theme.txt", "installed valley");
    t.write("usr/share/velmora/themes/Packed.zip", "zip");
    t.write("usr/share/velmora/themes/notes.txt", "not a theme");

    EXPECT_EQ(configFile(places), t / "usr/share/velmora/config.txt");
    std::vector<std::string> names;
    for (const ThemeEntry& e : themeEntries(places)) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Packed.zip", "Snow", "Valley"}));

    t.write("config/velmora/config.txt", "config default_theme:Mine\n");
    t.write("data/velmora/themes/Snow/theme.txt", "my snow");
    t.write("data/velmora/themes/Mine/theme.txt", "mine");
    t.write("data/velmora/themes/.hidden/theme.txt", "hidden");
    EXPECT_EQ(configFile(places), t / "config/velmora/config.txt");
    names.clear();
    for (const ThemeEntry& e : themeEntries(places)) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Mine", "Snow", "Packed.zip", "Valley"}));

    std::filesystem::path made;
    {
        std::string why;
        const auto view = ProgramView::make(places, t.path(), why);
        ASSERT_TRUE(view) << why;
        made = view->path();
        EXPECT_EQ(readFile(made / "config.txt"), "config default_theme:Mine\n");
        EXPECT_EQ(readFile(made / "themes/Snow/theme.txt"), "my snow");
        EXPECT_EQ(readFile(made / "themes/Valley/theme.txt"), "installed valley");
        EXPECT_TRUE(std::filesystem::exists(made / "themes/Packed.zip"));
        EXPECT_FALSE(std::filesystem::exists(made / "themes/.hidden"));
    }
    EXPECT_FALSE(std::filesystem::exists(made));
    EXPECT_EQ(readFile(t / "data/velmora/themes/Snow/theme.txt"), "my snow");
    EXPECT_EQ(readFile(t / "usr/share/velmora/themes/Snow/theme.txt"), "installed snow");

    std::string why;
    EXPECT_FALSE(ProgramView::make(places, t / "not-there", why));
    EXPECT_NE(why.find("not-there"), std::string::npos);
}

TEST(UserFoldersTest, TheAutostartEntryQuotesTheProgram) {
    const std::string plain = autostartEntry("/usr/bin/velmora-tool");
    EXPECT_EQ(plain.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(plain.find("\nExec=\"/usr/bin/velmora-tool\" play --desktop\n"), std::string::npos) << plain;
    const std::string odd = autostartEntry("/home/a b/100%/$x\"q\\/velmora-tool");
    EXPECT_NE(odd.find("\nExec=\"/home/a b/100%%/\\$x\\\"q\\\\/velmora-tool\" play --desktop\n"), std::string::npos) << odd;
}

}  // namespace
}  // namespace velmora::posix
