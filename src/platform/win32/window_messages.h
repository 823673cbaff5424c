#pragma once
// The Windows program's window procedure: every message of the program's window is turned into
// one of the front door's verbs (app/front_door.h). It is plain C++ (the Win32 values are named
// here apart from <windows.h>), so that the tests on Linux drive the program exactly as Windows
// would, message by message.
#include <cstdint>
#include <string_view>

#include "ports/handles.h"
#include "ports/shell.h"

namespace velmora::win32 {

inline constexpr std::uint32_t kWmCreate = 0x0001;
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmTimer = 0x0113;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;
inline constexpr std::uint32_t kWmDisplayChange = 0x007E;
inline constexpr std::uint32_t kWmPowerBroadcast = 0x0218;
inline constexpr std::uint32_t kWmDpiChanged = 0x02E0;
inline constexpr std::uint32_t kWmWtsSessionChange = 0x02B1;
inline constexpr std::uintptr_t kPbtApmResumeAutomatic = 0x0012;  // WM_POWERBROADCAST events
inline constexpr std::uintptr_t kPbtApmPowerStatusChange = 0x000A;
inline constexpr std::uintptr_t kWtsSessionLock = 0x7;  // WM_WTSSESSION_CHANGE events
inline constexpr std::uintptr_t kWtsSessionUnlock = 0x8;

// What the procedure needs of Windows itself.
class MessageSystem {
public:
    virtual ~MessageSystem() = default;
    // DefWindowProcW.
    virtual std::intptr_t defWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // RegisterWindowMessageW: the number shared by every program that registers the name (0
    // when it fails).
    virtual std::uint32_t registerWindowMessage(std::u16string_view name) = 0;
};

// The procedure's Windows; installed with the platform (the tests install their fake).
void installMessageSystem(MessageSystem* system);

// The program window's procedure. Messages it does not handle go to the default procedure. No
// exception leaves it.
std::intptr_t windowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) noexcept;

}  // namespace velmora::win32
