#include "WBLib/WBBKMGTFormatter.h"

#include "platform/system/Resources.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace flowtally {

using F = WBBKMGTFormatter;

// Values above 10T, +infinity among them, log "gotcha!".
TEST(WBBKMGTFormatter, ShowsValuesInTheirScale) {
    const quint64 tenT = 10 * F::kT;
    const double inf = qInf();
    const std::tuple<QVariant, unsigned, const char *> cases[] = {
        {1610612736, 2, "1.50G"}, {0, 0, "0B"},           {0, 2, "0.00B"},
        {512, 0, "512B"},         {513, 0, "1K"},         {513, 2, "0.50K"},
        {1536, 2, "1.50K"},       {524288, 2, "512.00K"}, {524289, 2, "0.50M"},
        {512.9, 2, "512.90B"},    {"1536", 1, "1.5K"},    {tenT, 2, "10.00T"},
        {tenT + 1, 2, "10.00T"},  {inf, 2, "infT"},
    };
    for (const auto &[value, digits, text] : cases) {
        TestEnvironment environment;
        EXPECT_EQ(F::stringForObjectValue(value, digits), text);
        const bool aboveTenT = value.toDouble() > double(tenT);
        EXPECT_EQ(environment.logLines(), aboveTenT ? QStringList{"gotcha!"} : QStringList())
            << text;
    }
    EXPECT_EQ(F::scaleForObjectValue(-inf), F::kB);
    EXPECT_TRUE(F::stringForObjectValue(qQNaN(), 0).endsWith("nanB"));
}

TEST(WBBKMGTFormatter, ReadsScalesAndBytesFromItsResources) {
    for (const char *unit : {"B", "K", "M", "G", "T"})
        EXPECT_EQ(F::unitForScale(F::scaleInString(unit)), unit);
    EXPECT_EQ(F::unitForScale(1000), std::nullopt);
    const std::tuple<const char *, quint64, double> cases[] = {
        {"1.5 gb", F::kG, 1610612736}, {"1.5G", F::kG, 1610612736},
        {"2t", F::kT, 2199023255552},  {"100", 1, 100},
        {"500k", F::kK, 512000},       {"G", F::kG, 0},
        {"10 bytes", 1, 10},           {"", 1, 0},
    };
    WBBKMGTFormatter formatter;
    for (const auto &[text, scale, bytes] : cases) {
        EXPECT_EQ(F::scaleInString(text), scale) << text;
        QVariant object;
        EXPECT_TRUE(formatter.getObjectValue(&object, text, nullptr)) << text;
        EXPECT_EQ(object.typeId(), QMetaType::Double) << text;
        EXPECT_DOUBLE_EQ(object.toDouble(), bytes) << text;
    }
    // Instances show values with their own fraction digits.
    EXPECT_EQ(formatter.stringForObjectValue(1536), "2K");
    formatter.setMaximumFractionDigits(2);
    EXPECT_EQ(formatter.stringForObjectValue(1536), "1.50K");
    EXPECT_EQ(formatter.stringForObjectValue(QVariant()), std::nullopt);
    // A resource that is not there reads as none.
    EXPECT_EQ(resourceText("NoSuchResource.txt"), std::nullopt);
}

} // namespace flowtally
