// The text splitters: fields between separators, index sets from digit runs
// and lines at every kind of line end.
#include "WBLib/ComponentsSeparatedByCharactersFromSet.h"
#include "WBLib/IndexSetFromIndices.h"
#include "WBLib/WBNSStringLinesFromString.h"

#include "tests/support/Bracketed.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(ComponentsSeparatedByCharactersFromSet, RunsOrEachSeparatorEndAField) {
    const CharacterSet blanks = CharacterSet::characterSetWithCharactersInString(" \n");
    const TextCase runs[] = {
        {" \n ", "[][]"},       {"word", "[word]"},        {"one   two", "[one][two]"},
        {"  lead", "[][lead]"}, {"trail \n", "[trail][]"}, {"", ""},
    };
    for (const auto &[text, items] : runs)
        EXPECT_EQ(bracketed(componentsSeparatedByCharactersFromSet(text, blanks)), items);
    const CharacterSet parentheses = CharacterSet::characterSetWithCharactersInString("()");
    EXPECT_EQ(bracketed(componentsSeparatedByCharactersFromSet("host (10.1.2.3) at 0:1 on en0",
                                                               parentheses)),
              "[host ][10.1.2.3][ at 0:1 on en0]");
    // At each separator character.
    const CharacterSet comma = CharacterSet::characterSetWithCharactersInString(",");
    const TextCase each[] = {
        {"a,b,,c", "[a][b][][c]"}, {",a", "[][a]"}, {",,a", "[][][a]"}, {"a,", "[a]"},
        {"a,,", "[a][]"},          {",,", "[][]"},  {"", ""},
    };
    for (const auto &[text, items] : each)
        EXPECT_EQ(bracketed(componentsSeparatedByACharacterFromSet(text, comma)), items);
}

TEST(IndexSetFromIndices, EveryDigitRunIsOneIndex) {
    const TextCase cases[] = {
        {"6,1,3", "[1][3][6]"}, {"3,3", "[3]"}, {"1-3", "[1][3]"}, {"-5", "[5]"},
        {"1.5", "[1][5]"},      {"007", "[7]"}, {"a,b,,c", ""},    {"1,3,5,6", "[1][3][5][6]"},
    };
    for (const auto &[text, items] : cases)
        EXPECT_EQ(bracketed(indexSetFromStringList(text)), items) << text;
    // Numbers and texts by their integer values; negative values give no index.
    EXPECT_EQ(indexSetFromArray({"4", " -3", -1, 2.9, "x"}), (IndexSet{0, 2, 4}));
    EXPECT_EQ(indexSetFromCArray(QList<int32_t>{5, -7, 0, 9}.data(), 3), (IndexSet{0, 5}));
}

TEST(WBNSStringLinesFromString, LinesAndRangesAtEveryKindOfLineEnd) {
    const TextCase cases[] = {
        {"a\nb", "[a][b]"},   {"a\n", "[a]"},     {"a\n\nb", "[a][][b]"},
        {"a\r\nb", "[a][b]"}, {"a\rb", "[a][b]"}, {"a\n\rb", "[a][][b]"},
        {"\n", "[]"},         {"", ""},           {"a\u0085b\u2028c\u2029d", "[a][b][c][d]"},
    };
    for (const auto &[text, items] : cases)
        EXPECT_EQ(bracketed(lines(text)), items) << text;
    // Ranges count UTF-16 units.
    EXPECT_EQ(lineRanges("ab\ncd\r\n\U0001F600\u2028x\u0085"),
              (QList<TextRange>{{0, 2}, {3, 2}, {7, 2}, {10, 1}}));
}

} // namespace

} // namespace flowtally
