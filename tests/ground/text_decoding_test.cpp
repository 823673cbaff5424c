#include "ground/text_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

std::u16string decode(const std::vector<std::uint8_t>& bytes) { return decodeUtf8(bytes.data(), bytes.size()); }

TEST(TextDecoding, ValidUtf8OfEveryLength) {
    EXPECT_EQ(decode({'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}), u"a\u00E9\u20AC\U0001F600");
    EXPECT_EQ(decode({0xEF, 0xBB, 0xBF, 'a', '\r', '\n'}), u"\uFEFFa\r\n");  // nothing else is changed
    EXPECT_EQ(decode({0xF4, 0x8F, 0xBF, 0xBF}), u"\U0010FFFF");
    EXPECT_EQ(decode({0x00, 'b'}), std::u16string(u"\0b", 2));
}

TEST(TextDecoding, EachIllFormedPieceBecomesOneReplacement) {
    EXPECT_EQ(decode({0x80, 'a'}), u"\uFFFDa");                    // stray continuation
    EXPECT_EQ(decode({0xC0, 0xAF}), u"\uFFFD\uFFFD");              // overlong lead
    EXPECT_EQ(decode({0xE0, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD");  // overlong three-byte form
    EXPECT_EQ(decode({0xED, 0xA0, 0x80}), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(decode({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
    EXPECT_EQ(decode({0xE2, 0x82, 'x'}), u"\uFFFDx");              // truncated, then goes on
    EXPECT_EQ(decode({0xF0, 0x9F, 0x98}), u"\uFFFD");              // truncated at the end
    EXPECT_EQ(decode({0xFF, 0xFE}), u"\uFFFD\uFFFD");
}

TEST(TextDecoding, EncodeRoundTripsAndReplacesLoneSurrogates) {
    const std::u16string text = u"a\u00E9\u20AC\U0001F600";
    const std::string bytes = encodeUtf8(text);
    EXPECT_EQ(bytes, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(decodeUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), text);
    EXPECT_EQ(encodeUtf8(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

// Text files: byte-order marks, line ends and NULs on top of the UTF-8 rules.
std::u16string decodeFile(const std::string& bytes) {
    return decodeTextFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(TextFile, ByteOrderMarks) {
    EXPECT_EQ(decodeFile("\xEF\xBB\xBFparams"), u"params");
    EXPECT_EQ(decodeFile("\xEF\xBB\xBF\xEF\xBB\xBFp"), u"\uFEFFp");  // only the first mark is skipped
    EXPECT_EQ(decodeFile(std::string("\xFF\xFEp\0\xE9\0\r\0\n\0=\xD8\0\xDE!", 15)), u"p\u00E9\n\U0001F600");
    EXPECT_EQ(decodeFile(std::string("\xFF\xFE" "a\0b", 5)), u"a");  // odd last byte dropped
    EXPECT_EQ(decodeFile(std::string("\xFE\xFF\0p", 4)), u"");
    EXPECT_EQ(decodeFile("\xEF\xBB"), u"\uFFFD");  // not a whole mark: UTF-8 from the first byte
    EXPECT_EQ(decodeFile("a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(decodeFile(""), u"");
}

TEST(TextFile, CarriageReturns) {
    EXPECT_EQ(decodeFile("a\r\nb\rc\r\r\n\r"), u"a\nb\rc\r\n\r");
}

TEST(TextFile, NulLosesTheRestOfItsPiece) {
    // A piece ends after a LF: the LF behind the NUL is lost with it.
    EXPECT_EQ(decodeFile(std::string("abc\0def\nghi", 11)), u"abcghi");
    // Pieces of 15 units: the NUL at unit 3 takes units 3 to 14, unit 15 starts anew.
    EXPECT_EQ(decodeFile(std::string("012\0" "456789ABCDEFGHIJ", 20)), u"012FGHIJ");
    // A NUL as the last unit of a piece costs nothing else.
    EXPECT_EQ(decodeFile(std::string("abcdefghijklmn\0op", 17)), u"abcdefghijklmnop");
    // CR LF is one unit by the time the pieces are cut.
    EXPECT_EQ(decodeFile(std::string("abcdefghijklmn\r\nx\0y\nz", 21)), u"abcdefghijklmn\nxz");
    // Units, not characters: a surrogate pair counts twice.
    EXPECT_EQ(decodeFile(std::string("\xF0\x9F\x98\x80" "bcdefghijklmn\0" "z", 19)), u"\U0001F600bcdefghijklmn");
    // A NUL in a UTF-16 file follows the same rule.
    EXPECT_EQ(decodeFile(std::string("\xFF\xFE" "a\0\0\0b\0\n\0c\0", 12)), u"ac");
    EXPECT_EQ(decodeFile(std::string("\0\0\0", 3)), u"");
}

}  // namespace
}  // namespace velmora
