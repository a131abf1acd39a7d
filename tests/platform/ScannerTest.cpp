#include "Scanner.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Scanner, SkipsWhiteSpaceBeforeEachScanByDefault) {
    Scanner scanner(" \n word  ");
    QString word;
    EXPECT_TRUE(
        scanner.scanUpToCharactersFromSet(CharacterSet::whitespaceAndNewlineCharacterSet(), &word));
    EXPECT_EQ(word, "word");
    EXPECT_EQ(scanner.scanLocation(), 7);
    EXPECT_TRUE(scanner.isAtEnd());
}

TEST(Scanner, FailedScansLeaveThePositionAndTarget) {
    Scanner scanner("ab(cd");
    scanner.setCharactersToBeSkipped(std::nullopt);
    const CharacterSet parens = CharacterSet::characterSetWithCharactersInString("()");
    QString into = "untouched";
    EXPECT_FALSE(scanner.scanCharactersFromSet(parens, &into));
    EXPECT_EQ(into, "untouched");
    EXPECT_TRUE(scanner.scanUpToCharactersFromSet(parens, &into));
    EXPECT_EQ(into, "ab");
    EXPECT_FALSE(scanner.scanUpToCharactersFromSet(parens, &into));
    EXPECT_EQ(scanner.scanLocation(), 2);
    EXPECT_TRUE(scanner.scanCharactersFromSet(parens, &into));
    EXPECT_EQ(into, "(");
    EXPECT_FALSE(scanner.isAtEnd());
    qint64 number = 7;
    EXPECT_FALSE(scanner.scanInteger(&number));
    EXPECT_EQ(number, 7);
}

TEST(Scanner, ScansIntegersWithSignAndSaturation) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    struct Case {
        const char16_t *text;
        bool scanned;
        qint64 value;
        qsizetype end;
    };
    const Case cases[] = {
        {u"42,7", true, 42, 2},
        {u"  -17x", true, -17, 5},
        {u"+8", true, 8, 2},
        {u"007", true, 7, 3},
        {u"9223372036854775807", true, max, 19},
        {u"9223372036854775808", true, max, 19},
        {u"99999999999999999999999", true, max, 23},
        {u"-9223372036854775808", true, min, 20},
        {u"-9223372036854775809", true, min, 20},
        {u"\u0661\u0662", true, 12, 2}, // Arabic-Indic digits
        {u"-", false, 0, 0},
        {u"x1", false, 0, 0},
        {u"", false, 0, 0},
    };
    for (const Case &c : cases) {
        Scanner scanner(QString::fromUtf16(c.text));
        qint64 value = 0;
        EXPECT_EQ(scanner.scanInteger(&value), c.scanned)
            << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(value, c.value) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(scanner.scanLocation(), c.end) << QString::fromUtf16(c.text).toStdString();
    }
}
