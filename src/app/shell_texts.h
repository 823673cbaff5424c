#pragma once
// The shell's fixed texts: the window class that marks a running instance, the product's name,
// version and date, the maker's web site and the notification icon's tip.
#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::u16string_view kWindowClassName = u"VMA";
inline constexpr std::u16string_view kProductName = u"Velmora";
inline constexpr std::u16string_view kVersionText = u"alpha version 0.005";
inline constexpr std::u16string_view kDateText = u"2020-07-01";
// Host name only: the menu and the commands add the scheme and the path.
inline constexpr std::u16string_view makerSite = u"velmora.app";
inline constexpr std::u16string_view kTipClosingLine = u"Made by the Velmora team";

// The notification icon's tip: name, version, date, the two clicks, and the closing line.
std::u16string trayTipText();

}  // namespace velmora
