#include <gtest/gtest.h>

#include "app/menu.h"
#include "app/shell_texts.h"

namespace velmora {
namespace {

MenuItem text(std::uint32_t id, const std::u16string& label) { return MenuItem{id, label, false}; }
MenuItem separator() { return MenuItem{kSeparatorId, {}, true}; }

std::vector<MenuItem> themeItems(const TrayMenuModel& model) {
    std::vector<MenuItem> items;
    for (const MenuItem& item : model.items) {
        if (!item.separator && item.id >= kFirstThemeCommand && item.id < kSeparatorId) items.push_back(item);
    }
    return items;
}

TEST(TrayMenuModel, WithoutThemesTheThreeSeparatorsFollowEachOther) {
    const TrayMenuModel model = buildTrayMenuModel({}, {});
    const std::vector<MenuItem> expected = {
        text(906, u"&Velmora"),
        text(901, u"&Visit velmora.app for more!"),
        separator(),
        text(905, u"&View readme.txt"),
        text(904, u"&Edit config.txt"),
        text(903, u"&Reload Current Theme"),
        separator(),
        separator(),
        separator(),
        text(902, u"&Exit"),
    };
    EXPECT_EQ(model.items, expected);
    EXPECT_TRUE(model.themeList.empty());
}

TEST(TrayMenuModel, FoldersThenArchivesNumberedOnWithoutAGap) {
    const TrayMenuModel model = buildTrayMenuModel({u".", u"..", u"VMA_Night_Sky", u"Ocean"}, {u"VMA_Forest_Rain.zip"});
    EXPECT_EQ(model.themeList, (ThemeList{u"VMA_Night_Sky", u"Ocean", u"VMA_Forest_Rain.zip"}));
    ASSERT_EQ(model.items.size(), 13u);
    EXPECT_EQ(model.items[6], separator());
    EXPECT_EQ(model.items[7], text(601, u"Night Sky"));
    EXPECT_EQ(model.items[8], text(602, u"Ocean"));
    EXPECT_EQ(model.items[9], separator());
    EXPECT_EQ(model.items[10], text(603, u"Forest Rain"));
    EXPECT_EQ(model.items[11], separator());
    EXPECT_EQ(model.items[12], text(902, u"&Exit"));
}

TEST(TrayMenuModel, NamesAreFilteredAsTheSearchPatternsMatch) {
    // Some file systems answer "*." with names that have a dot; they are not folders of themes.
    const TrayMenuModel model = buildTrayMenuModel(
        {u"My_VMA_x", u"Night.Sky", u"readme", u"Forest.zip", u".hidden"},
        {u"Forest.ZIP", u"VMA_a.zip.zip", u"notes.txt", u"Old.zipx", u"vma_Lake.Zip"});
    EXPECT_EQ(model.themeList, (ThemeList{u"My_VMA_x", u"readme", u"Forest.ZIP", u"VMA_a.zip.zip", u"vma_Lake.Zip"}));
    EXPECT_EQ(themeItems(model), (std::vector<MenuItem>{
                                     text(601, u"My VMA x"),
                                     text(602, u"readme"),
                                     text(603, u"Forest.ZIP"),
                                     text(604, u"a.zip.zip"),
                                     text(605, u"vma Lake.Zip"),
                                 }));
}

TEST(TrayMenuModel, ThemeItemsStopAtTheLastThemeId) {
    std::vector<std::u16string> folders;
    for (int i = 0; i < 120; ++i) folders.push_back(u"Theme" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + std::u16string(static_cast<std::size_t>(i / 26 + 1), u'x'));
    const TrayMenuModel model = buildTrayMenuModel(folders, {u"Late.zip"});

    ASSERT_EQ(model.themeList.size(), 99u);
    EXPECT_EQ(model.themeList.back(), folders[98]);
    const std::vector<MenuItem> themes = themeItems(model);
    ASSERT_EQ(themes.size(), 99u);
    EXPECT_EQ(themes.back().id, 699u);
    // The commands keep their ids to themselves.
    for (const MenuItem& item : model.items) {
        EXPECT_TRUE(item.id <= 699 || item.id >= 900) << item.id;
    }
    const std::size_t n = model.items.size();
    EXPECT_EQ(model.items[n - 3], separator());
    EXPECT_EQ(model.items[n - 2], separator());
    EXPECT_EQ(model.items[n - 1], text(902, u"&Exit"));
}

TEST(TrayTip, FitsTheTipFieldWithItsTerminator) {
    const std::u16string tip = trayTipText();
    EXPECT_LT(tip.size(), kNotifyTipUnits);
    EXPECT_EQ(tip.substr(0, 49), u"Velmora\nalpha version 0.005\n2020-07-01\n\nL-CLICK: ");
    EXPECT_NE(tip.find(u"\n\nL-CLICK: Pause\nR-CLICK: Menu\n\n"), std::u16string::npos);
    EXPECT_TRUE(tip.ends_with(kTipClosingLine));
}

}  // namespace
}  // namespace velmora
