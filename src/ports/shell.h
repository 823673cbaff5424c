#pragma once
// The operating system's shell and kernel services that the program uses: its own path, the
// tick count, icons, the notification-area icon and its popup menu, directory listing, and
// opening a file or web address with the "open" verb.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ports/handles.h"

namespace velmora {

inline constexpr std::size_t kNotifyTipUnits = 128;

// The message the icon's clicks come back as (above the 16-bit message range, used as is); the
// platform turns them into the front door's verbs.
inline constexpr std::uint32_t kTrayCallbackMessage = 99999;

// The notification-icon record, NOTIFYICONDATAW's fields that the program sets.
struct NotifyIconRecord {
    std::uint32_t size = 0;             // cbSize
    WindowHandle window = 0;            // hWnd
    std::uint32_t id = 0;               // uID
    std::uint32_t flags = 0;            // uFlags: 1 message, 2 icon, 4 tip
    std::uint32_t callbackMessage = 0;  // uCallbackMessage
    IconHandle icon = 0;                // hIcon
    char16_t tip[kNotifyTipUnits] = {}; // szTip, terminated
};

enum class NotifyIconAction : std::uint32_t { Add = 0, Modify = 1, Delete = 2 };  // NIM_*

// SHQueryUserNotificationState's answer (QUERY_USER_NOTIFICATION_STATE); Unknown when the call
// fails.
enum class UserNotificationState : std::int32_t {
    Unknown = 0,
    NotPresent = 1,
    Busy = 2,
    RunningD3dFullScreen = 3,
    PresentationMode = 4,
    AcceptsNotifications = 5,
    QuietTime = 6,
    App = 7,
};

// The fields of GetSystemPowerStatus that the program reads; a failed call gives the defaults.
struct PowerStatus {
    std::uint8_t acLineStatus = 255;   // ACLineStatus: 0 on battery, 1 on mains, 255 unknown
    std::uint8_t systemStatusFlag = 0; // SystemStatusFlag: 1 while battery saver is on
};

class Shell {
public:
    virtual ~Shell() = default;

    // HeapSetInformation(null, HeapEnableTerminationOnCorruption). Result ignored.
    virtual void enableHeapTerminationOnCorruption() = 0;
    // CoInitializeEx(null, COINIT_MULTITHREADED). Result ignored.
    virtual void initializeCom() = 0;
    // GetModuleFileNameW into a MAX_PATH buffer: the running program's full path.
    virtual std::u16string programPath() = 0;
    // GetTickCount: milliseconds since the system started, wrapping at 2^32.
    virtual std::uint32_t tickCount() = 0;

    // LoadImageW(instance, resourceId, IMAGE_ICON, size, size, LR_SHARED); 0 when it fails.
    virtual IconHandle loadIcon(InstanceHandle instance, int resourceId, int size) = 0;
    virtual void destroyIcon(IconHandle icon) = 0;

    // Shell_NotifyIconW. Result ignored.
    virtual void notifyIcon(NotifyIconAction action, const NotifyIconRecord& record) = 0;

    // CreatePopupMenu / AppendMenuW (MF_STRING, or MF_SEPARATOR with its id) / TrackPopupMenu
    // with flags 0, returning when the menu closes.
    virtual MenuHandle createPopupMenu() = 0;
    virtual void appendMenuItem(MenuHandle menu, std::uint32_t id, std::u16string_view text) = 0;
    virtual void appendMenuSeparator(MenuHandle menu, std::uint32_t id) = 0;
    virtual void trackPopupMenu(MenuHandle menu, int x, int y, WindowHandle owner) = 0;

    // FindFirstFileW / FindNextFileW / FindClose with a pattern such as "...\themes\*.zip":
    // the entry names in the order the file system returns them (empty when none or no folder).
    virtual std::vector<std::u16string> findFiles(const std::u16string& pattern) = 0;

    // ShellExecuteW(null, "open", target, null, null, SW_SHOW). Result ignored.
    virtual void shellOpen(const std::u16string& target) = 0;

    // SHQueryUserNotificationState: whether a full-screen Direct3D program or a presentation
    // has asked not to be disturbed.
    virtual UserNotificationState queryUserNotificationState() = 0;
    // GetSystemPowerStatus.
    virtual PowerStatus systemPowerStatus() = 0;
    // --- Following the desktop when it changes ------------------------------------------------
    // Shell_NotifyIconW with its result: false when the notification area refused the call
    // (after a restart of the shell, until its taskbar is ready).
    virtual bool notifyIconChecked(NotifyIconAction action, const NotifyIconRecord& record) = 0;

    // --- Frame pacing -------------------------------------------------------------------------
    // Opts the process out of the throttling that ignores the timer-resolution requests of
    // processes without visible windows (SetProcessInformation, ProcessPowerThrottling). False
    // where the system has no such call.
    virtual bool ignoreTimerResolutionThrottling() = 0;
    // timeBeginPeriod / timeEndPeriod. begin is false where it is unavailable or refused; an end
    // belongs to each successful begin.
    virtual bool beginTimerPeriod(std::uint32_t periodMs) = 0;
    virtual void endTimerPeriod(std::uint32_t periodMs) = 0;
};

}  // namespace velmora
