#pragma once
// The sectioned text format shared by theme.txt and config.txt: lines, words, key:value pairs,
// and the strict reading of numbers.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A value that is not a number where one is required. what() is exactly one of
// "invalid stoi argument", "stoi argument out of range", "invalid stof argument",
// "stof argument out of range"; line is the 1-based line of the text it was read from (0 when
// not known).
class NumberError : public std::runtime_error {
public:
    NumberError(const char* message, int line) : std::runtime_error(message), line(line) {}
    int line;
};

// Exactly the six characters of the C locale's isspace: space, TAB, LF, VT, FF, CR.
bool isSpace(char16_t c);
// Removes white space from both ends, in place.
void trimSpace(std::u16string& text);
// Splits at every delimiter; empty pieces stay. Returns the number of pieces.
std::size_t splitAt(std::u16string_view text, char16_t delimiter, std::vector<std::u16string>& pieces);

// Decimal integer that must fit a signed 32-bit integer; throws NumberError (with line).
std::int32_t readInt(std::u16string_view value, int line = 0);
// Float as the C runtime's wide-string-to-float conversion; throws NumberError (with line).
float readFloat(std::u16string_view value, int line = 0);

}  // namespace velmora
