#pragma once
// What the player can be asked to do, in the product's own words. Every platform turns its own
// events into these verbs and nothing else: the Windows window procedure its messages, the Linux
// player its keys, signals and window changes. Each verb keeps the sound outcome of a step that
// fails (a theme load leaves an empty theme, a failed read of config.txt the previous settings)
// and lets no exception out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/handles.h"

namespace velmora {

// What changed under the program.
enum class DesktopChange {
    DisplaySettings,  // size, layout or scaling of the displays
    Resumed,          // the computer woke from sleep
    SessionLocked,
    SessionUnlocked,
    ShellRestarted,  // the shell made its taskbar (and maybe its desktop windows) again
    PowerSource,     // mains or battery, battery saver
};

// The program's window exists (called inside its creation): the random generator is seeded, the
// desktop attached, config.txt read and the configured theme started.
void windowCreated(WindowHandle window) noexcept;

// Before start-up: the theme to start with instead of config.txt's default_theme.
void preferTheme(std::u16string name);

// Starts the theme at that place in the theme list, after reading config.txt again. False, and
// nothing changes, when the list has no such place.
bool chooseTheme(std::size_t index) noexcept;
// The same by the theme's entry name; false when the list does not hold it.
bool chooseTheme(std::u16string_view name) noexcept;
// The next (step +1) or previous (-1) theme of the list, wrapping at both ends. A current theme
// the list does not hold steps to the first theme forwards and to the last backwards. False when
// the list is empty.
bool stepTheme(int step) noexcept;
// config.txt and the current theme read anew.
void reloadTheme() noexcept;

// The user's pause: toggles it, shows it on the icon, and measures the next frame from now.
void togglePause() noexcept;
// A tick of one of the program's timers; a tick of the frame timer (or of any timer that is not
// one of the desktop's or the automatic pause's) produces a frame.
void timerElapsed(std::uintptr_t id) noexcept;
// Draws the scene as it stands, without moving it on: what a window shows again after the scene
// was replaced while frames are not produced (a reload while paused).
void drawCurrentFrame() noexcept;

void desktopChanged(DesktopChange change) noexcept;

// The icon's menu, at the pointer.
void openMenu() noexcept;
// Opens a web address or a file of the program folder for the user.
void openWebPage(std::u16string_view path) noexcept;
void openProgramFile(std::u16string_view fileName) noexcept;

// Ends the message loop with that code.
void quit(int exitCode = 0) noexcept;

// The place in themes that a step goes to from current (see stepTheme); none for an empty list.
std::optional<std::size_t> themeIndexAfterStep(const std::vector<std::u16string>& themes, std::u16string_view current, int step);

}  // namespace velmora
