#include "win32_shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstring>

#include "wide_text.h"

namespace velmora::win32 {

// The notification icon is always passed with the full record of the current Windows versions.
static_assert(sizeof(NOTIFYICONDATAW) == 976, "NOTIFYICONDATAW must have its full 64-bit size");
static_assert(sizeof(NOTIFYICONDATAW::szTip) / sizeof(WCHAR) == kNotifyTipUnits, "tip buffers must match");

namespace {

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
HMENU toMenu(MenuHandle menu) { return reinterpret_cast<HMENU>(menu); }

// The frame-pacing calls are looked up when first needed: older Windows (and Wine) may lack
// them, and the program goes on without them.
template <typename Function>
Function lookUp(const wchar_t* module, const char* name, bool load) {
    HMODULE handle = load ? LoadLibraryW(module) : GetModuleHandleW(module);
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

using TimePeriodFunction = UINT(WINAPI*)(UINT);

TimePeriodFunction timeBeginPeriodCall() {
    static const TimePeriodFunction call = lookUp<TimePeriodFunction>(L"winmm.dll", "timeBeginPeriod", true);
    return call;
}

TimePeriodFunction timeEndPeriodCall() {
    static const TimePeriodFunction call = lookUp<TimePeriodFunction>(L"winmm.dll", "timeEndPeriod", true);
    return call;
}

using SetProcessInformationFunction = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);

}  // namespace

void Win32Shell::enableHeapTerminationOnCorruption() {
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
}

void Win32Shell::initializeCom() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

std::u16string Win32Shell::programPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A path cut short at MAX_PATH comes back with the full buffer length; the terminator is
    // then missing, so the length, not the terminator, bounds the copy.
    return fromWide(path, length < MAX_PATH ? length : MAX_PATH);
}

std::uint32_t Win32Shell::tickCount() { return GetTickCount(); }

IconHandle Win32Shell::loadIcon(InstanceHandle instance, int resourceId, int size) {
    return reinterpret_cast<IconHandle>(LoadImageW(reinterpret_cast<HINSTANCE>(instance), MAKEINTRESOURCEW(resourceId),
                                                   IMAGE_ICON, size, size, LR_SHARED));
}

void Win32Shell::destroyIcon(IconHandle icon) { DestroyIcon(reinterpret_cast<HICON>(icon)); }

void Win32Shell::notifyIcon(NotifyIconAction action, const NotifyIconRecord& record) { notifyIconChecked(action, record); }

bool Win32Shell::notifyIconChecked(NotifyIconAction action, const NotifyIconRecord& record) {
    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = record.size;
    data.hWnd = toHwnd(record.window);
    data.uID = record.id;
    data.uFlags = record.flags;
    data.uCallbackMessage = record.callbackMessage;
    data.hIcon = reinterpret_cast<HICON>(record.icon);
    // The tip is copied through "%s"; a record whose tip lacks its terminator is cut at the
    // buffer's end instead of being read past it.
    wchar_t tip[kNotifyTipUnits];
    for (std::size_t i = 0; i < kNotifyTipUnits; ++i) tip[i] = static_cast<wchar_t>(record.tip[i]);
    tip[kNotifyTipUnits - 1] = L'\0';
    wsprintfW(data.szTip, L"%s", tip);
    return Shell_NotifyIconW(static_cast<DWORD>(action), &data) != FALSE;
}

MenuHandle Win32Shell::createPopupMenu() { return reinterpret_cast<MenuHandle>(CreatePopupMenu()); }

void Win32Shell::appendMenuItem(MenuHandle menu, std::uint32_t id, std::u16string_view text) {
    AppendMenuW(toMenu(menu), MF_STRING, id, toWide(text).c_str());
}

void Win32Shell::appendMenuSeparator(MenuHandle menu, std::uint32_t id) {
    AppendMenuW(toMenu(menu), MF_SEPARATOR, id, nullptr);
}

void Win32Shell::trackPopupMenu(MenuHandle menu, int x, int y, WindowHandle owner) {
    TrackPopupMenu(toMenu(menu), 0, x, y, 0, toHwnd(owner), nullptr);
}

std::vector<std::u16string> Win32Shell::findFiles(const std::u16string& pattern) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirstFileW(toWide(pattern).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(fromWide(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH)));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

void Win32Shell::shellOpen(const std::u16string& target) {
    ShellExecuteW(nullptr, L"open", toWide(target).c_str(), nullptr, nullptr, SW_SHOW);
}

UserNotificationState Win32Shell::queryUserNotificationState() {
    QUERY_USER_NOTIFICATION_STATE state = {};
    if (FAILED(SHQueryUserNotificationState(&state))) return UserNotificationState::Unknown;
    return static_cast<UserNotificationState>(state);
}

PowerStatus Win32Shell::systemPowerStatus() {
    SYSTEM_POWER_STATUS status = {};
    if (!GetSystemPowerStatus(&status)) return PowerStatus{};
    // MinGW's headers still call the battery saver byte (SystemStatusFlag) Reserved1.
    return PowerStatus{status.ACLineStatus, status.Reserved1};
}

bool Win32Shell::ignoreTimerResolutionThrottling() {
    const auto setProcessInformation = lookUp<SetProcessInformationFunction>(L"kernel32.dll", "SetProcessInformation", false);
    if (setProcessInformation == nullptr) return false;
    // The flag in the control mask and not in the state mask: this process's timer-resolution
    // requests are honoured even while it has no visible window.
    PROCESS_POWER_THROTTLING_STATE state = {};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    return setProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof(state)) != FALSE;
}

bool Win32Shell::beginTimerPeriod(std::uint32_t periodMs) {
    const TimePeriodFunction begin = timeBeginPeriodCall();
    return begin != nullptr && begin(periodMs) == 0;  // TIMERR_NOERROR
}

void Win32Shell::endTimerPeriod(std::uint32_t periodMs) {
    if (const TimePeriodFunction end = timeEndPeriodCall()) end(periodMs);
}

}  // namespace velmora::win32
