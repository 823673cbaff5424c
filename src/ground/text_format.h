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

// Decimal integer that must fit a signed 32-bit integer: leading white space, an optional sign,
// digits; the first character that cannot continue the number ends it. Throws NumberError.
std::int32_t readInt(std::u16string_view value, int line = 0);
// Float as the C runtime's wide-string-to-float conversion (decimal, hexadecimal "0x1.8p3",
// "inf", "infinity", "nan", "nan(...)"); the rest of the value is ignored. Throws NumberError.
// The result is correctly rounded and the same on every platform.
float readFloat(std::u16string_view value, int line = 0);

// One line of the sectioned format that carries a section: its 1-based line number in the text
// and its words, split at single spaces (word 0 is the keyword; empty words stay in the list).
struct SectionLine {
    int number = 0;
    std::vector<std::u16string> words;
};

// The section lines of a text: each line (the pieces between LF) is trimmed; blank lines and
// lines starting with "#" are skipped; a line that is exactly "x" ends the text.
std::vector<SectionLine> sectionLines(std::u16string_view text);

// One word split at its colons: the key is the text before the first colon, the value the text
// between the first and the second colon (the rest is dropped). hasValue is false for a word
// without any colon.
struct KeyValue {
    std::u16string key;
    std::u16string value;
    bool hasValue = false;
};
KeyValue splitPair(std::u16string_view word);

}  // namespace velmora
