#include "NumberFormatter.h"

#include <gtest/gtest.h>

#include <limits>

TEST(NumberFormatter, ShowsNumbersWithAtMostTheFractionDigits) {
    const struct {
        QVariant value;
        unsigned digits;
        const char *text;
    } cases[] = {
        {1.25, 0, "1"},
        {1.25, 1, "1.2"},
        {1.5, 3, "1.5"},
        {100, 2, "100"},
        {-0.001, 1, "0"},
        {QVariant::fromValue(std::numeric_limits<quint64>::max()), 0, "18446744073709551616"},
        {std::numeric_limits<double>::infinity(), 2, "+\u221E"},
        {std::numeric_limits<double>::quiet_NaN(), 2, "NaN"},
    };
    NumberFormatter formatter;
    for (const auto &c : cases) {
        formatter.setMaximumFractionDigits(c.digits);
        EXPECT_EQ(formatter.stringForObjectValue(c.value), QString::fromUtf8(c.text)) << c.text;
    }
    EXPECT_FALSE(formatter.stringForObjectValue(QStringLiteral("12")).has_value());
    EXPECT_FALSE(formatter.stringForObjectValue(QVariant()).has_value());
    EXPECT_FALSE(formatter.attributedStringForObjectValue(1, {}).has_value());
}

TEST(NumberFormatter, ReadsOnlyTextThatIsWhollyANumber) {
    NumberFormatter formatter;
    QVariant object;
    QString error = "stale";
    EXPECT_TRUE(formatter.getObjectValue(&object, " 2.5 ", &error));
    EXPECT_DOUBLE_EQ(object.toDouble(), 2.5);
    EXPECT_TRUE(error.isNull());
    for (const char *text : {"", "x", "2.5k", "1 2"}) {
        EXPECT_FALSE(formatter.getObjectValue(&object, text, &error)) << text;
        EXPECT_FALSE(error.isEmpty());
    }
}
