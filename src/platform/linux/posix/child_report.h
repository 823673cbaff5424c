#pragma once
// The check's report of a theme, made in a child process: its own load of the theme must not
// replace the scene that plays, and whatever a broken theme does to it cannot end the player.
#include <functional>
#include <string>

namespace velmora::posix {

// Runs report(theme) in a child process and waits for it; says so on stderr when it cannot start
// or ends by a signal. Nothing when report is empty.
void reportInChild(const std::function<void(const std::u16string&)>& report, const std::u16string& theme);

}  // namespace velmora::posix
