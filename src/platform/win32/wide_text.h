#pragma once
// The core's UTF-16 text as Win32 wide strings. On Windows wchar_t is a 16-bit unit, so the
// conversion is a plain copy; the copy adds the terminator the Win32 calls need.
#include <string>
#include <string_view>

namespace velmora::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline std::wstring toWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

inline std::u16string fromWide(const wchar_t* text, std::size_t length) { return std::u16string(text, text + length); }

}  // namespace velmora::win32
