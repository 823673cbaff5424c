#pragma once
// What the program keeps while it follows the desktop changing under it: shell restarts,
// display changes, a lost drawing device, a locked session, and the timer resolution it asked for.
#include <cstdint>

namespace velmora {

struct DesktopWatch {
    // After a shell restart: the notification icon could not be added yet, or no desktop window
    // was found; the restart timer tries again while tries are left.
    bool iconPending = false;
    bool desktopMissing = false;
    int restartTriesLeft = 0;
    // The targets could not be made again; the rebuild timer tries again after rebuildDelayMs.
    bool rebuildPending = false;
    std::uint32_t rebuildDelayMs = 0;
    // The targets are being made again (a nested message waits until it is over).
    bool rebuilding = false;
    // While the session is locked nothing is visible, so nothing is drawn.
    bool sessionLocked = false;
    // timeBeginPeriod is in force.
    bool timerPeriodRaised = false;
};

extern DesktopWatch desktopWatch;

}  // namespace velmora
