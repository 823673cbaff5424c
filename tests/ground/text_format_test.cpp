#include "ground/text_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>
#include <string>

namespace velmora {
namespace {

std::string errorOf(void (*read)(std::u16string_view), std::u16string_view value) {
    try {
        read(value);
    } catch (const NumberError& error) {
        return error.what();
    }
    return "no error";
}

void readIntOnly(std::u16string_view value) { (void)readInt(value); }
void readFloatOnly(std::u16string_view value) { (void)readFloat(value); }

// A section line as plain values: its number and every word, the keyword first.
struct LineWords {
    int number = 0;
    std::vector<std::u16string> words;
    friend bool operator==(const LineWords&, const LineWords&) = default;
};

std::vector<LineWords> collect(std::u16string_view text) {
    std::vector<LineWords> out;
    for (const SectionLine& line : sectionLines(text)) {
        LineWords entry{line.number, {std::u16string(line.keyword())}};
        for (std::u16string_view word : line.pairs()) entry.words.emplace_back(word);
        out.push_back(std::move(entry));
    }
    return out;
}

// The section lines walk the text as views, one line at a time; what they yield must be exactly
// what the format's rules give when the text is cut into copied lines and words with splitAt.
// The rules written out the plain way: every line and word copied.
std::vector<LineWords> byTheRules(std::u16string_view text) {
    std::vector<LineWords> out;
    std::vector<std::u16string> lines;
    splitAt(text, u'\n', lines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::u16string line = lines[i];
        trimSpace(line);
        if (line.empty() || line[0] == u'#') continue;
        if (line == u"x") break;
        LineWords entry{static_cast<int>(i + 1), {}};
        splitAt(line, u' ', entry.words);
        out.push_back(std::move(entry));
    }
    return out;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(TextFormat, WhiteSpaceIsExactlyTheSixCLocaleCharacters) {
    for (char16_t c : std::u16string(u" \t\n\v\f\r")) EXPECT_TRUE(isSpace(c)) << int(c);
    for (char16_t c : std::u16string(u"\u00A0\uFEFF\u0085\u3000\u001Fa")) EXPECT_FALSE(isSpace(c)) << int(c);
    std::u16string text = u"\r\n\t \u00A0 a b \v\f";
    trimSpace(text);
    EXPECT_EQ(text, u"\u00A0 a b");
    std::u16string blank = u" \t\r\n";
    trimSpace(blank);
    EXPECT_TRUE(blank.empty());
}

TEST(TextFormat, SplitKeepsEveryEmptyPiece) {
    std::vector<std::u16string> pieces{u"stale"};
    EXPECT_EQ(splitAt(u"", u':', pieces), 1u);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u""}));
    EXPECT_EQ(splitAt(u"a::b:", u':', pieces), 4u);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"a", u"", u"b", u""}));
    EXPECT_EQ(splitAt(u"abc", u':', pieces), 1u);
    EXPECT_EQ(pieces[0], u"abc");
}

TEST(TextFormat, LineRules) {
    const std::u16string text =
        u"  # comment\r\n"
        u"\n"
        u"params width:5\r\n"
        u"#params width:6\n"
        u"add_sprite  name:a\n"      // two spaces: an empty word
        u"add_sprite\tname:b\n"      // TAB does not separate
        u"X\n"                       // not the stop line
        u"floor a\rb c\n"            // a lone CR is an ordinary character
        u" \t x \r\n"
        u"params width:7\n";
    const auto lines = collect(text);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].number, 3);
    EXPECT_EQ(lines[0].words, (std::vector<std::u16string>{u"params", u"width:5"}));
    EXPECT_EQ(lines[1].number, 5);
    EXPECT_EQ(lines[1].words, (std::vector<std::u16string>{u"add_sprite", u"", u"name:a"}));
    EXPECT_EQ(lines[2].words, (std::vector<std::u16string>{u"add_sprite\tname:b"}));
    EXPECT_EQ(lines[3].words, (std::vector<std::u16string>{u"X"}));
    EXPECT_EQ(lines[4].number, 8);
    EXPECT_EQ(lines[4].words, (std::vector<std::u16string>{u"floor", u"a\rb", u"c"}));
}

TEST(TextFormat, PairsKeepOnlyTheTextBetweenTheFirstTwoColons) {
    KeyValue pair = splitPair(u"name:a:b:c");
    EXPECT_EQ(pair.key, u"name");
    EXPECT_EQ(pair.value, u"a");
    EXPECT_TRUE(pair.hasValue);
    pair = splitPair(u"name::b");
    EXPECT_EQ(pair.value, u"");
    EXPECT_TRUE(pair.hasValue);
    pair = splitPair(u"xoffset");
    EXPECT_EQ(pair.key, u"xoffset");
    EXPECT_FALSE(pair.hasValue);
    pair = splitPair(u":7");
    EXPECT_EQ(pair.key, u"");
    EXPECT_EQ(pair.value, u"7");
}

TEST(NumberReading, Integers) {
    EXPECT_EQ(readInt(u"12px"), 12);
    EXPECT_EQ(readInt(u"800.7"), 800);
    EXPECT_EQ(readInt(u" \t\r\n+42"), 42);
    EXPECT_EQ(readInt(u"-0017"), -17);
    EXPECT_EQ(readInt(u"0x10"), 0);
    EXPECT_EQ(readInt(u"2147483647"), 2147483647);
    EXPECT_EQ(readInt(u"-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(readInt(u"000000000000000000000000000000005"), 5);
}

TEST(NumberReading, IntegerErrors) {
    for (const char16_t* value : {u"", u" ", u"px12", u"+", u"-", u"+-1", u"- 1", u"\u00A01", u"\uFF11", u".5"})
        EXPECT_EQ(errorOf(readIntOnly, value), "invalid stoi argument");
    // Out of the signed 32-bit range on every platform, whatever the width of long.
    for (const char16_t* value : {u"2147483648", u"-2147483649", u"3000000000", u"4294967296",
                                  u"99999999999999999999999999999999999999999999", u"-18446744073709551616x"})
        EXPECT_EQ(errorOf(readIntOnly, value), "stoi argument out of range");
}

TEST(NumberReading, Floats) {
    EXPECT_EQ(readFloat(u"3.125"), 3.125f);
    EXPECT_EQ(readFloat(u"\t-0.025xyz"), -0.025f);
    EXPECT_EQ(readFloat(u".5"), 0.5f);
    EXPECT_EQ(readFloat(u"5."), 5.0f);
    EXPECT_EQ(readFloat(u"1e3"), 1000.0f);
    EXPECT_EQ(readFloat(u"1E+3"), 1000.0f);
    EXPECT_EQ(readFloat(u"2e"), 2.0f);       // an exponent needs a digit
    EXPECT_EQ(readFloat(u"2e-"), 2.0f);
    EXPECT_EQ(readFloat(u"12px"), 12.0f);
    EXPECT_EQ(readFloat(u"0x1.8p3"), 12.0f);
    EXPECT_EQ(readFloat(u"-0X.8P1"), -1.0f);
    EXPECT_EQ(readFloat(u"0x1f"), 31.0f);
    EXPECT_EQ(readFloat(u"0x"), 0.0f);       // "0" then an ordinary "x"
    EXPECT_EQ(readFloat(u"0xg"), 0.0f);
    EXPECT_EQ(readFloat(u"inf"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(readFloat(u"-INFINITY"), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(readFloat(u"InFx"), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(readFloat(u"nan")));
    EXPECT_TRUE(std::isnan(readFloat(u"NaN(123_abc)")));
    EXPECT_TRUE(std::signbit(readFloat(u"-nan")));
    EXPECT_TRUE(std::signbit(readFloat(u"-0")));
    // Correct rounding: the nearest float, also past many digits and for subnormals.
    EXPECT_EQ(bitsOf(readFloat(u"0.1")), 0x3DCCCCCDu);
    EXPECT_EQ(bitsOf(readFloat(u"16777217")), 0x4B800000u);         // tie to even
    EXPECT_EQ(bitsOf(readFloat(u"16777217.000000000000000000001")), 0x4B800001u);
    EXPECT_EQ(bitsOf(readFloat(u"1e-45")), 0x00000001u);
    EXPECT_EQ(bitsOf(readFloat(u"3.4028235e38")), 0x7F7FFFFFu);
    EXPECT_EQ(bitsOf(readFloat(u"0x1.000001p0")), 0x3F800000u);     // hex tie to even
    EXPECT_EQ(bitsOf(readFloat(u"0x1.0000011p0")), 0x3F800001u);
    // Zero stays zero whatever its exponent; long exponents are not a problem.
    EXPECT_EQ(readFloat(u"0e999999999999999999999999"), 0.0f);
    EXPECT_EQ(readFloat(u"0.000e-99999999999999999999"), 0.0f);
    EXPECT_EQ(readFloat(u"1e0000000000000000000000000001"), 10.0f);
}

TEST(NumberReading, FloatErrors) {
    for (const char16_t* value : {u"", u"  ", u"abc", u"+", u"-.", u".", u"e5", u"in", u"na", u"\u00A01", u"+-1"})
        EXPECT_EQ(errorOf(readFloatOnly, value), "invalid stof argument");
    for (const char16_t* value : {u"1e39", u"-1e39", u"3.40282357e38", u"1e-50", u"7e-46", u"0x1p128",
                                  u"0x1p-151", u"1e99999999999999999999", u"-1e-99999999999999999999",
                                  u"0.0000000000000000000000000000000000001e-9999999999999"})
        EXPECT_EQ(errorOf(readFloatOnly, value), "stof argument out of range") << std::string(value, value + 1);
}

TEST(SectionLines, YieldTheSameLinesAndWordsAsTheRulesOnRandomTexts) {
    // Few letters, so that stop lines, comments, runs of spaces and blank lines all turn up.
    const std::u16string alphabet = u"  \n\n\r\t\vx#:a";
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::u16string text(random() % 24, u' ');
        for (char16_t& c : text) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(collect(text), byTheRules(text)) << "round " << round;
    }
}

TEST(SectionLines, EdgesOfTheText) {
    EXPECT_TRUE(collect(u"").empty());
    EXPECT_TRUE(collect(u"\n\n \n").empty());
    EXPECT_EQ(collect(u"last line without feed"), (std::vector<LineWords>{{1, {u"last", u"line", u"without", u"feed"}}}));
    EXPECT_EQ(collect(u"a\nx\nb"), (std::vector<LineWords>{{1, {u"a"}}}));
    // U+00A0 is no white space: after two spaces it is a word of its own.
    EXPECT_EQ(collect(u"k  \u00A0"), (std::vector<LineWords>{{1, {u"k", u"", u"\u00A0"}}}));
}

TEST(SectionLines, PairsAreViewsIntoTheText) {
    const std::u16string text = u"floor name:stone ycollider:12:9";
    for (const SectionLine& line : sectionLines(text)) {
        EXPECT_EQ(line.keyword(), u"floor");
        std::vector<KeyValue> pairs;
        for (std::u16string_view word : line.pairs()) pairs.push_back(splitPair(word));
        ASSERT_EQ(pairs.size(), 2u);
        EXPECT_EQ(pairs[1].key, u"ycollider");
        EXPECT_EQ(pairs[1].value, u"12");
        // No copy: the value lies inside the text itself.
        EXPECT_GE(pairs[0].value.data(), text.data());
        EXPECT_LE(pairs[1].value.data() + pairs[1].value.size(), text.data() + text.size());
    }
}

}  // namespace
}  // namespace velmora
