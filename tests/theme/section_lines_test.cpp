// The section lines walk the text as views, one line at a time; what they yield must be exactly
// what the format's rules give when the text is cut into copied lines and words with splitAt.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ground/text_format.h"

namespace velmora {
namespace {

struct LineWords {
    int number = 0;
    std::vector<std::u16string> words;
    friend bool operator==(const LineWords&, const LineWords&) = default;
};

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

std::vector<LineWords> walked(std::u16string_view text) {
    std::vector<LineWords> out;
    for (const SectionLine& line : sectionLines(text)) {
        LineWords entry{line.number, {std::u16string(line.keyword())}};
        for (std::u16string_view word : line.pairs()) entry.words.emplace_back(word);
        out.push_back(std::move(entry));
    }
    return out;
}

TEST(SectionLines, YieldTheSameLinesAndWordsAsTheRulesOnRandomTexts) {
    // Few letters, so that stop lines, comments, runs of spaces and blank lines all turn up.
    const std::u16string alphabet = u"  \n\n\r\t\vx#:a";
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::u16string text(random() % 24, u' ');
        for (char16_t& c : text) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(walked(text), byTheRules(text)) << "round " << round;
    }
}

TEST(SectionLines, EdgesOfTheText) {
    EXPECT_TRUE(walked(u"").empty());
    EXPECT_TRUE(walked(u"\n\n \n").empty());
    EXPECT_EQ(walked(u"last line without feed"), (std::vector<LineWords>{{1, {u"last", u"line", u"without", u"feed"}}}));
    EXPECT_EQ(walked(u"a\nx\nb"), (std::vector<LineWords>{{1, {u"a"}}}));
    // U+00A0 is no white space: after two spaces it is a word of its own.
    EXPECT_EQ(walked(u"k  \u00A0"), (std::vector<LineWords>{{1, {u"k", u"", u"\u00A0"}}}));
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
