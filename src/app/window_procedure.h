#pragma once
#include <cstdint>

#include "ports/handles.h"

namespace velmora {

// The notification icon's callback message (above the 16-bit message range, used as is).
inline constexpr std::uint32_t kTrayCallbackMessage = 99999;

// The hidden window's procedure: every message of the program's window arrives here. Messages
// it does not handle go to the window system's default procedure. No exception leaves it: a
// failure inside a message ends with the sound outcome of the step that failed.
std::intptr_t windowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) noexcept;

}  // namespace velmora
