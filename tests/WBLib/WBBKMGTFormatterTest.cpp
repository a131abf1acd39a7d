#include "WBBKMGTFormatter.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <limits>

TEST(WBBKMGTFormatter, ShowsValuesInTheirScale) {
    const struct {
        QVariant value;
        unsigned digits;
        const char *text;
    } cases[] = {
        {0, 0, "0B"},
        {0, 2, "0.00B"},
        {512, 0, "512B"},
        {513, 0, "1K"},
        {513, 2, "0.50K"},
        {1536, 2, "1.50K"},
        {1610612736, 2, "1.50G"},
        {524288, 2, "512.00K"},
        {524289, 2, "0.50M"},
        {512.9, 2, "512.90B"},
        {QVariant::fromValue(quint64(10995116277760)), 2, "10.00T"},
        {QVariant::fromValue(quint64(1) << 40), 1, "1.0T"},
        {-5.0, 0, "-5B"},
        {QStringLiteral("1536"), 1, "1.5K"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WBBKMGTFormatter::stringForObjectValue(c.value, c.digits), c.text) << c.text;
}

TEST(WBBKMGTFormatter, GotchaAboveTenT) {
    LogCapture log;
    EXPECT_EQ(
        WBBKMGTFormatter::stringForObjectValue(QVariant::fromValue(quint64(10995116277760)), 2),
        "10.00T");
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(
        WBBKMGTFormatter::stringForObjectValue(QVariant::fromValue(quint64(10995116277761)), 2),
        "10.00T");
    EXPECT_EQ(log.lines(), QStringList{"gotcha!"});
}

TEST(WBBKMGTFormatter, NonFiniteValuesShowAsPrintfWritesThem) {
    LogCapture log;
    EXPECT_EQ(WBBKMGTFormatter::stringForObjectValue(std::numeric_limits<double>::infinity(), 2),
              "infT");
    EXPECT_EQ(log.lines(), QStringList{"gotcha!"});
    EXPECT_EQ(WBBKMGTFormatter::scaleForObjectValue(-std::numeric_limits<double>::infinity()), 1u);
    EXPECT_EQ(WBBKMGTFormatter::scaleForObjectValue(std::numeric_limits<double>::quiet_NaN()), 1u);
    EXPECT_TRUE(WBBKMGTFormatter::stringForObjectValue(std::numeric_limits<double>::quiet_NaN(), 0)
                    .endsWith("nanB"));
}

TEST(WBBKMGTFormatter, ScalesAndUnits) {
    EXPECT_EQ(WBBKMGTFormatter::scaleInString("G"), 1073741824u);
    EXPECT_EQ(WBBKMGTFormatter::unitForScale(1073741824), "G");
    EXPECT_EQ(WBBKMGTFormatter::unitForScale(1), "B");
    EXPECT_EQ(WBBKMGTFormatter::unitForScale(1099511627776), "T");
    EXPECT_FALSE(WBBKMGTFormatter::unitForScale(1000).has_value());
    EXPECT_FALSE(WBBKMGTFormatter::unitForScale(0).has_value());
    const struct {
        const char *text;
        quint64 scale;
    } cases[] = {
        {"1.5 GB", 1073741824}, {"k", 1024}, {"m", 1048576},
        {"2t", 1099511627776},  {"100", 1},  {"", 1},
        {"10 bytes", 1},        {"x\ny", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WBBKMGTFormatter::scaleInString(c.text), c.scale) << c.text;
}

TEST(WBBKMGTFormatter, ReadsTypedTextIntoBytes) {
    const WBBKMGTFormatter formatter;
    const struct {
        const char *text;
        double bytes;
    } cases[] = {
        {"1.5G", 1610612736},
        {"1.5 gb", 1610612736},
        {"2t", 2199023255552},
        {"100", 100},
        {"500k", 512000},
        {"G", 0},
        {"", 0},
        {"10 bytes", 10},
    };
    for (const auto &c : cases) {
        QVariant object;
        QString error = "stale";
        EXPECT_TRUE(formatter.getObjectValue(&object, c.text, &error)) << c.text;
        EXPECT_EQ(object.typeId(), QMetaType::Double) << c.text;
        EXPECT_DOUBLE_EQ(object.toDouble(), c.bytes) << c.text;
        EXPECT_TRUE(error.isNull()) << c.text;
    }
}

TEST(WBBKMGTFormatter, InstancesUseTheirFractionDigits) {
    WBBKMGTFormatter formatter;
    EXPECT_EQ(formatter.formatterBehavior(), NumberFormatter::kBehavior10_4);
    EXPECT_EQ(formatter.stringForObjectValue(1536), "2K");
    formatter.setMaximumFractionDigits(2);
    EXPECT_EQ(formatter.stringForObjectValue(1536), "1.50K");
    EXPECT_FALSE(formatter.stringForObjectValue(QVariant()).has_value());
    EXPECT_FALSE(formatter.attributedStringForObjectValue(1536, {}).has_value());
}
