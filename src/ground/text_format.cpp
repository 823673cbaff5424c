#include "ground/text_format.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace velmora {

namespace {

constexpr const char* kInvalidInt = "invalid stoi argument";
constexpr const char* kIntRange = "stoi argument out of range";
constexpr const char* kInvalidFloat = "invalid stof argument";
constexpr const char* kFloatRange = "stof argument out of range";

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool isHexDigit(char16_t c) {
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Case-insensitive (ASCII) test whether text continues at pos with the lower-case word.
bool startsWithWord(std::u16string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (lowerAscii(text[pos + k]) != static_cast<char16_t>(word[k])) return false;
    }
    return true;
}

std::size_t skipSpace(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    return i;
}

// Appends an exponent's digits without their leading zeros. An exponent too long to matter is
// saturated: with any non-zero mantissa the value is then far beyond the float range either way,
// and the conversion never sees an unbounded digit string.
void appendExponent(std::string& out, bool negative, std::u16string_view digits) {
    std::size_t first = 0;
    while (first < digits.size() && digits[first] == u'0') ++first;
    digits.remove_prefix(first);
    out += negative ? '-' : '+';
    if (digits.empty()) {
        out += '0';
    } else if (digits.size() > 10) {
        out += "9999999999";
    } else {
        for (char16_t c : digits) out += static_cast<char>(c);
    }
}

// The mantissa digits of a literal (integer and fraction part) as ASCII, and whether any of them
// is non-zero.
bool appendMantissa(std::string& out, std::u16string_view integerDigits, std::u16string_view fractionDigits) {
    bool nonZero = false;
    for (char16_t c : integerDigits) {
        out += static_cast<char>(c);
        nonZero = nonZero || c != u'0';
    }
    if (!fractionDigits.empty()) {
        out += '.';
        for (char16_t c : fractionDigits) {
            out += static_cast<char>(c);
            nonZero = nonZero || c != u'0';
        }
    }
    return nonZero;
}

// Reads a run of digits (hexadecimal when hex) starting at pos; returns its end.
std::size_t digitRun(std::u16string_view text, std::size_t pos, bool hex) {
    while (pos < text.size() && (hex ? isHexDigit(text[pos]) : isDigit(text[pos]))) ++pos;
    return pos;
}

// The mantissa and exponent of a decimal or hexadecimal literal starting at pos (after the sign),
// rebuilt as an ASCII string for from_chars. Returns false when no digit starts a number there.
bool extractLiteral(std::u16string_view text, std::size_t pos, bool hex, std::string& literal, bool& nonZero) {
    const std::size_t integerEnd = digitRun(text, pos, hex);
    std::u16string_view integerDigits = text.substr(pos, integerEnd - pos);
    std::u16string_view fractionDigits;
    std::size_t end = integerEnd;
    if (end < text.size() && text[end] == u'.') {
        const std::size_t fractionEnd = digitRun(text, end + 1, hex);
        fractionDigits = text.substr(end + 1, fractionEnd - end - 1);
        end = fractionEnd;
    }
    if (integerDigits.empty() && fractionDigits.empty()) return false;
    if (integerDigits.empty()) integerDigits = u"0";

    nonZero = appendMantissa(literal, integerDigits, fractionDigits);

    // The exponent belongs to the number only when at least one digit follows its letter.
    const char16_t marker = hex ? u'p' : u'e';
    bool negativeExponent = false;
    std::u16string_view exponentDigits;
    if (end < text.size() && lowerAscii(text[end]) == marker) {
        std::size_t e = end + 1;
        if (e < text.size() && (text[e] == u'+' || text[e] == u'-')) {
            negativeExponent = text[e] == u'-';
            ++e;
        }
        const std::size_t exponentEnd = digitRun(text, e, false);
        if (exponentEnd > e) exponentDigits = text.substr(e, exponentEnd - e);
    }
    literal += hex ? 'p' : 'e';
    appendExponent(literal, negativeExponent, exponentDigits);
    return true;
}

}  // namespace

bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

void trimSpace(std::u16string& text) {
    std::size_t end = text.size();
    while (end > 0 && isSpace(text[end - 1])) --end;
    std::size_t begin = 0;
    while (begin < end && isSpace(text[begin])) ++begin;
    text.erase(end);
    text.erase(0, begin);
}

std::size_t splitAt(std::u16string_view text, char16_t delimiter, std::vector<std::u16string>& pieces) {
    pieces.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = text.find(delimiter, start);
        if (found == std::u16string_view::npos) {
            pieces.emplace_back(text.substr(start));
            break;
        }
        pieces.emplace_back(text.substr(start, found - start));
        start = found + 1;
    }
    return pieces.size();
}

std::int32_t readInt(std::u16string_view value, int line) {
    std::size_t i = skipSpace(value);
    bool negative = false;
    if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
        negative = value[i] == u'-';
        ++i;
    }
    if (i >= value.size() || !isDigit(value[i])) throw NumberError(kInvalidInt, line);

    // The magnitude stops growing once it is out of range; the digits are still consumed.
    constexpr std::uint64_t limit = std::uint64_t{1} << 31;
    std::uint64_t magnitude = 0;
    bool outOfRange = false;
    for (; i < value.size() && isDigit(value[i]); ++i) {
        if (outOfRange) continue;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(value[i] - u'0');
        outOfRange = magnitude > limit;
    }
    if (outOfRange || (!negative && magnitude == limit)) throw NumberError(kIntRange, line);
    const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(signedValue);
}

float readFloat(std::u16string_view value, int line) {
    std::size_t i = skipSpace(value);
    bool negative = false;
    if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
        negative = value[i] == u'-';
        ++i;
    }

    if (startsWithWord(value, i, "inf")) {
        const float infinity = std::numeric_limits<float>::infinity();
        return negative ? -infinity : infinity;
    }
    if (startsWithWord(value, i, "nan")) {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        return negative ? -nan : nan;
    }

    // "0x" starts a hexadecimal literal only when a hexadecimal digit follows (possibly after the
    // point); otherwise the number is the decimal 0 and the "x" ends it.
    bool hex = false;
    if (value.size() - i >= 3 && value[i] == u'0' && lowerAscii(value[i + 1]) == u'x') {
        const std::size_t after = i + 2;
        hex = isHexDigit(value[after]) ||
              (value[after] == u'.' && after + 1 < value.size() && isHexDigit(value[after + 1]));
    }

    std::string literal;
    bool nonZero = false;
    if (!extractLiteral(value, hex ? i + 2 : i, hex, literal, nonZero)) throw NumberError(kInvalidFloat, line);
    if (!nonZero) return negative ? -0.0f : 0.0f;

    float result = 0;
    const auto [end, error] = std::from_chars(literal.data(), literal.data() + literal.size(), result,
                                              hex ? std::chars_format::hex : std::chars_format::general);
    (void)end;
    // libstdc++ reports both overflow to infinity and a non-zero value rounding to zero as
    // result_out_of_range (a subnormal result is in range), as the C runtime reports ERANGE.
    if (error == std::errc::result_out_of_range) throw NumberError(kFloatRange, line);
    if (error != std::errc{}) throw NumberError(kInvalidFloat, line);
    return negative ? -result : result;
}

std::u16string_view trimmed(std::u16string_view text) {
    std::size_t end = text.size();
    while (end > 0 && isSpace(text[end - 1])) --end;
    std::size_t begin = 0;
    while (begin < end && isSpace(text[begin])) ++begin;
    return text.substr(begin, end - begin);
}

Words::iterator::iterator(std::u16string_view line, std::size_t start) : line_(line), start_(start) {
    if (start_ == std::u16string_view::npos || start_ > line_.size()) {
        start_ = std::u16string_view::npos;
        return;
    }
    end_ = std::min(line_.find(u' ', start_), line_.size());
}

Words::iterator& Words::iterator::operator++() {
    if (end_ >= line_.size()) {
        start_ = std::u16string_view::npos;
        return *this;
    }
    start_ = end_ + 1;
    end_ = std::min(line_.find(u' ', start_), line_.size());
    return *this;
}

void SectionLines::iterator::advance() {
    if (done_) return;
    while (next_ != std::u16string_view::npos) {
        const std::size_t feed = text_.find(u'\n', next_);
        const std::size_t end = feed == std::u16string_view::npos ? text_.size() : feed;
        const std::u16string_view line = trimmed(text_.substr(next_, end - next_));
        next_ = feed == std::u16string_view::npos ? std::u16string_view::npos : feed + 1;
        ++index_;
        if (line.empty() || line[0] == u'#') continue;
        if (line == u"x") break;
        line_ = SectionLine{index_, line};
        return;
    }
    done_ = true;
    line_ = SectionLine{};
}

KeyValue splitPair(std::u16string_view word) {
    KeyValue pair;
    const std::size_t colon = word.find(u':');
    if (colon == std::u16string_view::npos) {
        pair.key = word;
        return pair;
    }
    pair.key = word.substr(0, colon);
    pair.hasValue = true;
    const std::u16string_view rest = word.substr(colon + 1);
    pair.value = rest.substr(0, rest.find(u':'));
    return pair;
}

}  // namespace velmora
