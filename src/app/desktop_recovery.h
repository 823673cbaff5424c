#pragma once
// Following the desktop when it changes under the program: a restart of the shell
// ("TaskbarCreated"), display changes, a lost drawing device, resume from sleep and the locked
// session. The pause state, the current theme, the frame rate and the menu stay as they were.
#include <cstdint>

#include "ports/handles.h"

namespace velmora {

// One-shot timers of their own, on the program's window, beside the frame timer.
inline constexpr std::uintptr_t kShellRestartTimerId = 1010;  // the icon or desktop window again
inline constexpr std::uintptr_t kDisplaySettleTimerId = 1011;  // a burst of display changes is over
inline constexpr std::uintptr_t kRebuildTimerId = 1012;        // the next try at making the targets

inline constexpr std::uint32_t kShellRestartRetryMs = 2000;
inline constexpr int kShellRestartTries = 5;
inline constexpr std::uint32_t kDisplaySettleMs = 500;
inline constexpr std::uint32_t kFirstRebuildDelayMs = 1000;
inline constexpr std::uint32_t kLongestRebuildDelayMs = 30000;

// At start-up, once the window exists: the session's lock and unlock notifications.
void startWatchingDesktop(WindowHandle window);
// At exit: the notifications stop and the program's own window behind the icons is destroyed.
void stopWatchingDesktop(WindowHandle window);

// The shell made its taskbar again: the icon is added again, and when the desktop window is
// gone, the desktop is found again and the theme loaded again on it.
void onShellRestarted(WindowHandle window);
// Each change restarts a short wait; when it is over the desktop is measured again.
void onDisplayChange(WindowHandle window);
// Resume from sleep, unlock, a settled display change: the desktop window, its size and the
// device are checked, and whatever changed is made again.
void checkDesktop(WindowHandle window);
// After a frame: a lost device is made again (with a growing wait between failed tries).
void afterFrame(WindowHandle window);
// A tick of one of the timers above; false when the id is none of them.
bool onDesktopTimer(WindowHandle window, std::uintptr_t id);

}  // namespace velmora
