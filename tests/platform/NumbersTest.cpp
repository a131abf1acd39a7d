#include "platform/text/Numbers.h"

#include "platform/text/Scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace flowtally {

namespace {

// Leading-number rules shared by the scanner and the text readers: white
// space of any kind is skipped, digits of any script count, integers
// saturate and consume all their digits, and a failed scan moves nothing.
TEST(Numbers, LeadingNumberRules) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    // end: where scanInteger stops; -1: it scans nothing
    // clang-format off
    const struct { const char16_t *text; qint64 integer; qsizetype end; double number; } cases[] = {
        {u"42,7", 42, 2, 42},
        {u" \t\n-17.25e1x", -17, 6, -172.5},
        {u"\u00a0\u3000+8", 8, 4, 8},
        {u"\u0661\u0662", 12, 2, 0}, // doubles are read as strtod reads them
        {u"99999999999999999999999", max, 23, 1e23},
        {u"-9223372036854775809", min, 20, -9223372036854775809.0},
        {u"+.5", 0, -1, 0.5},
        {u"", 0, -1, 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        Scanner scanner(text);
        qint64 scanned = 7;
        EXPECT_EQ(scanner.scanInteger(&scanned), c.end >= 0);
        EXPECT_EQ(scanned, c.end >= 0 ? c.integer : 7);
        EXPECT_EQ(scanner.scanLocation(), std::max<qsizetype>(c.end, 0));
        EXPECT_EQ(longLongValue(text), c.integer);
        EXPECT_DOUBLE_EQ(doubleValue(text), c.number);
    }
    EXPECT_EQ(doubleValue(QStringLiteral("1e400")), std::numeric_limits<double>::infinity());
    EXPECT_EQ(doubleValue(QStringLiteral("-1e400")), -std::numeric_limits<double>::infinity());
}

} // namespace

} // namespace flowtally
