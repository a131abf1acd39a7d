#include "TextNumbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(TextNumbers, DoubleValueReadsTheLeadingDecimalNumber) {
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"1.5G", 1.5},    {" \t\n2.25 gb", 2.25},
        {"-3", -3},       {"+.5", 0.5},
        {"5.", 5},        {"1e3k", 1000},
        {"2E-2", 0.02},   {"1e", 1},
        {"1e+", 1},       {"G", 0},
        {"", 0},          {".", 0},
        {"-x", 0},        {"0x10", 0},
        {"inf", 0},       {"1,5", 1},
        {"10 bytes", 10}, {"1e-400", 0},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(doubleValue(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isinf(doubleValue("1e400")));
    EXPECT_LT(doubleValue("-1e400"), 0);
}

TEST(TextNumbers, IntegerValuesSaturate) {
    const struct {
        const char *text;
        qint64 value;
    } cases[] = {
        {"2", 2},
        {" -12abc", -12},
        {"+7", 7},
        {"x", 0},
        {"1.9", 1},
        {"", 0},
        {"99999999999999999999", std::numeric_limits<qint64>::max()},
        {"-99999999999999999999", std::numeric_limits<qint64>::min()},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(longLongValue(c.text), c.value) << c.text;
        EXPECT_EQ(integerValue(c.text), c.value) << c.text;
    }
}
