#include "WBLib/WBNSStringLinesFromString.h"

#include "tests/support/Bracketed.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

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
