#pragma once
// The sectioned text format shared by theme.txt and config.txt: lines, words, key:value pairs,
// and the strict reading of numbers.
#include <cstddef>
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

// The same text without white space at either end.
std::u16string_view trimmed(std::u16string_view text);

// The words of a line, split at single spaces, as views into the line: two spaces in a row give
// an empty word, and a line always has at least one word.
class Words {
public:
    class iterator {
    public:
        using value_type = std::u16string_view;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        std::u16string_view operator*() const { return line_.substr(start_, end_ - start_); }
        iterator& operator++();
        iterator operator++(int) {
            iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.start_ == b.start_; }

    private:
        friend class Words;
        iterator(std::u16string_view line, std::size_t start);
        std::u16string_view line_;
        std::size_t start_ = std::u16string_view::npos;  // npos past the last word
        std::size_t end_ = 0;
    };

    explicit Words(std::u16string_view line, std::size_t start = 0) : line_(line), start_(start) {}
    iterator begin() const { return iterator(line_, start_); }
    iterator end() const { return iterator(); }

private:
    std::u16string_view line_;
    std::size_t start_;
};

// One line of the sectioned format that carries a section: its 1-based line number in the text
// and the line itself, trimmed, as a view into the text.
struct SectionLine {
    int number = 0;
    std::u16string_view text;

    // Word 0.
    std::u16string_view keyword() const { return text.substr(0, text.find(u' ')); }
    // The words after the keyword (the key:value pairs, empty words included).
    Words pairs() const {
        const std::size_t space = text.find(u' ');
        return space == std::u16string_view::npos ? Words(text, std::u16string_view::npos) : Words(text, space + 1);
    }
};

// The section lines of a text, one at a time and nothing copied: each line (the pieces between
// LF) is trimmed; blank lines and lines starting with "#" are skipped; a line that is exactly
// "x" ends the text. The text must outlive the iteration.
class SectionLines {
public:
    class iterator {
    public:
        using value_type = SectionLine;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        const SectionLine& operator*() const { return line_; }
        const SectionLine* operator->() const { return &line_; }
        iterator& operator++() {
            advance();
            return *this;
        }
        friend bool operator==(const iterator& a, const iterator& b) {
            return a.done_ == b.done_ && (a.done_ || (a.text_.data() == b.text_.data() && a.index_ == b.index_));
        }

    private:
        friend class SectionLines;
        explicit iterator(std::u16string_view text) : text_(text), next_(0), done_(false) { advance(); }
        void advance();
        std::u16string_view text_;
        std::size_t next_ = std::u16string_view::npos;  // start of the next line; npos after the last
        bool done_ = true;
        int index_ = 0;  // lines passed so far
        SectionLine line_;
    };

    explicit SectionLines(std::u16string_view text) : text_(text) {}
    iterator begin() const { return iterator(text_); }
    iterator end() const { return iterator(); }

private:
    std::u16string_view text_;
};

inline SectionLines sectionLines(std::u16string_view text) { return SectionLines(text); }

// One word split at its colons, as views into the word: the key is the text before the first
// colon, the value the text between the first and the second colon (the rest is dropped).
// hasValue is false for a word without any colon.
struct KeyValue {
    std::u16string_view key;
    std::u16string_view value;
    bool hasValue = false;
};
KeyValue splitPair(std::u16string_view word);

}  // namespace velmora
