#include "CLocaleNumbers.h"

#include <gtest/gtest.h>

#include <limits>

TEST(CLocaleNumbers, FixedPointAsPrintfWritesIt) {
    const struct {
        double value;
        unsigned digits;
        const char *text;
    } cases[] = {
        {0, 0, "0"},
        {0, 2, "0.00"},
        {1.5, 0, "2"}, // ties go to even
        {2.5, 0, "2"},
        {0.125, 2, "0.12"},
        {0.5009765625, 2, "0.50"},
        {1e20, 1, "100000000000000000000.0"},
        {-1.25, 1, "-1.2"},
        {std::numeric_limits<double>::infinity(), 2, "inf"},
        {-std::numeric_limits<double>::infinity(), 0, "-inf"},
        {std::numeric_limits<double>::max(), 0, nullptr}, // 309 digits; only its length is checked
    };
    for (const auto &c : cases) {
        const QString text = cFixedPoint(c.value, c.digits);
        if (c.text)
            EXPECT_EQ(text, c.text) << c.text;
        else
            EXPECT_EQ(text.size(), 309);
    }
    EXPECT_TRUE(cFixedPoint(std::numeric_limits<double>::quiet_NaN(), 1).endsWith("nan"));
    EXPECT_EQ(cFixedPoint(1, 1000).size(), 102); // fraction digits are capped at 100
}

TEST(CLocaleNumbers, StringToDouble) {
    EXPECT_DOUBLE_EQ(cStringToDouble("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(cStringToDouble("-2e3"), -2000);
    EXPECT_DOUBLE_EQ(cStringToDouble(""), 0);
}
