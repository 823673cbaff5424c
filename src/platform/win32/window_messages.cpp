#include "window_messages.h"

#include "app/front_door.h"
#include "app/menu.h"

namespace velmora::win32 {

namespace {

MessageSystem* messageSystem = nullptr;
// The number of the "TaskbarCreated" message, registered when the window is made (0: none).
std::uint32_t taskbarCreatedMessage = 0;

std::intptr_t defaultProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return messageSystem != nullptr ? messageSystem->defWindowProc(window, message, wParam, lParam) : 0;
}

std::intptr_t handleMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
        case kWmCreate:
            taskbarCreatedMessage = messageSystem != nullptr ? messageSystem->registerWindowMessage(u"TaskbarCreated") : 0;
            windowCreated(window);
            return 0;
        case kWmDestroy:
        case kWmClose:
            quit(0);
            return 0;
        case kWmKeyDown:
            return 0;
        case kWmCommand:
            // The high half of the first parameter says where the command came from.
            return runMenuCommand(static_cast<std::uint32_t>(wParam & 0xFFFF));
        case kWmTimer:
            timerElapsed(wParam);
            return 0;
        case kTrayCallbackMessage:
            if (lParam == kWmLButtonDown) {
                togglePause();
            } else if (lParam == kWmRButtonDown) {
                openMenu();
            }
            return 0;
        case kWmDisplayChange:
        case kWmDpiChanged:
            // A monitor's scaling changes the scenes' pixel scale as a new layout of the
            // monitors changes their rectangles: both lay the scenes out again.
            desktopChanged(DesktopChange::DisplaySettings);
            return 0;
        case kWmPowerBroadcast:
            // After sleep the desktop is checked; a change of the power source may start or end
            // a pause on battery at once, the broadcast itself being left to the default handling.
            if (wParam == kPbtApmResumeAutomatic) {
                desktopChanged(DesktopChange::Resumed);
                return 1;
            }
            if (wParam == kPbtApmPowerStatusChange) desktopChanged(DesktopChange::PowerSource);
            return defaultProcedure(window, message, wParam, lParam);
        case kWmWtsSessionChange:
            if (wParam == kWtsSessionLock) desktopChanged(DesktopChange::SessionLocked);
            if (wParam == kWtsSessionUnlock) desktopChanged(DesktopChange::SessionUnlocked);
            return 0;
        default:
            if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage) {
                desktopChanged(DesktopChange::ShellRestarted);
                return 0;
            }
            return defaultProcedure(window, message, wParam, lParam);
    }
}

}  // namespace

void installMessageSystem(MessageSystem* system) { messageSystem = system; }

std::intptr_t windowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    try {
        return handleMessage(window, message, wParam, lParam);
    } catch (...) {
        // The last boundary (the verbs let nothing out; a default procedure might): the message
        // counts as handled and the program goes on.
        return 0;
    }
}

}  // namespace velmora::win32
