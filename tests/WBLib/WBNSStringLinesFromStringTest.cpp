#include "WBNSStringLinesFromString.h"

#include <gtest/gtest.h>

TEST(WBNSStringLinesFromString, LinesAtEveryKindOfLineEnd) {
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {"a\nb", {"a", "b"}},
        {"a\n", {"a"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}}, // LF CR is two line ends
        {"a\r\r\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"", {}},
        {QStringLiteral("a\u0085b\u2028c\u2029d"), {"a", "b", "c", "d"}},
        {"no end", {"no end"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(lines(c.text), c.lines) << c.text.toStdString();
}

TEST(WBNSStringLinesFromString, RangesCountUtf16Units) {
    const struct {
        QString text;
        QList<TextRange> ranges;
    } cases[] = {
        {"ab\ncd", {{0, 2}, {3, 2}}},
        {"a\r\nb", {{0, 1}, {3, 1}}},
        {QStringLiteral("\U0001F600\u2028x\u0085"), {{0, 2}, {3, 1}}},
        {"\n\n", {{0, 0}, {1, 0}}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(lineRanges(c.text), c.ranges) << c.text.toStdString();
}
