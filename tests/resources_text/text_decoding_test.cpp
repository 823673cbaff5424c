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

}  // namespace
}  // namespace velmora
