#include "NumberValues.h"

#include <gtest/gtest.h>

#include <limits>

TEST(NumberValues, ConversionsSaturateInsteadOfOverflowing) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr quint64 max64 = std::numeric_limits<quint64>::max();
    const struct {
        QVariant value;
        quint64 unsignedLongLong;
        quint32 unsignedInt;
    } cases[] = {
        {QVariant::fromValue(max64), max64, 0xFFFFFFFFu},
        {QVariant::fromValue(quint32(0xC0A80101)), 0xC0A80101u, 0xC0A80101u},
        {QVariant::fromValue(qint64(-1)), 0, 0xFFFFFFFFu},
        {512.9, 512, 512},
        {-3.5, 0, quint32(-3)},
        {1e30, max64, 0xFFFFFFFFu}, // saturates at the signed limit, then keeps the low bits
        {inf, max64, 0xFFFFFFFFu},
        {nan, 0, 0},
        {QStringLiteral(" 42.7x"), 42, 42},
        {QVariant(), 0, 0},
        {true, 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(unsignedLongLongValueOf(c.value), c.unsignedLongLong)
            << c.value.toString().toStdString();
        EXPECT_EQ(unsignedIntValueOf(c.value), c.unsignedInt) << c.value.toString().toStdString();
    }
    EXPECT_TRUE(isNumber(1.5f));
    EXPECT_FALSE(isNumber(QStringLiteral("1")));
    EXPECT_DOUBLE_EQ(doubleValueOf(QStringLiteral("1.5G")), 1.5);
}
