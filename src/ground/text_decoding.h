#pragma once
// Turning file bytes into UTF-16 text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// UTF-8 to UTF-16 as a whole: code points above U+FFFF become surrogate pairs; each maximal
// ill-formed piece (a stray byte, an overlong form, a surrogate, a value above U+10FFFF, a
// truncated sequence) becomes one U+FFFD. Nothing else is changed: a byte-order mark stays as
// U+FEFF and carriage returns stay.
std::u16string decodeUtf8(const std::uint8_t* data, std::size_t size);

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string encodeUtf8(std::u16string_view text);

// The text a folder file yields when read as the Windows C runtime reads a file opened in UTF-8
// text mode and line by line into a 16-character buffer:
// - EF BB BF at the start is skipped and the rest is UTF-8; FF FE at the start is skipped and the
//   rest is UTF-16 little-endian (an odd last byte is dropped); FE FF at the start gives empty
//   text (the runtime refuses to open it); anything else is UTF-8 from the first byte.
// - every CR LF becomes LF; a lone CR stays.
// - the text is taken in pieces of at most 15 code units, a piece also ending after a LF, and
//   each piece is kept only up to its first NUL.
std::u16string decodeTextFile(const std::uint8_t* data, std::size_t size);

}  // namespace velmora
