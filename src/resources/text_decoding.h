#pragma once
// Turning file bytes into UTF-16 text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// UTF-8 to UTF-16 as a whole: code points above U+FFFF become surrogate pairs; a byte that does
// not start or continue a valid sequence (overlong forms, surrogates, values above U+10FFFF,
// truncated sequences) becomes U+FFFD. Nothing else is changed: a byte-order mark stays as
// U+FEFF and carriage returns stay.
std::u16string decodeUtf8(const std::uint8_t* data, std::size_t size);

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string encodeUtf8(std::u16string_view text);

}  // namespace velmora
