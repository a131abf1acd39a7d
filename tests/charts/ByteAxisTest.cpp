// The byte axes of the charts: the unit is the one Flowtally's figures show
// the largest value in, the top the first round tick at or above it.
#include "ByteAxis.h"

#include "TextPrinting.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

constexpr double kK = 1024;
constexpr double kM = kK * 1024;
constexpr double kG = kM * 1024;

QStringList labels(const ByteAxis &axis) {
    QStringList texts;
    for (const double tick : axis.ticks())
        texts.append(axis.label(tick));
    return texts;
}

TEST(ByteAxis, UnitOfTheLargestValueAndRoundTicksUpToIt) {
    // clang-format off
    const struct { double largest; const char *perUnit; QStringList labels; } cases[] = {
        {0, "", {"0", "1K"}},                                  // nothing to show
        {qQNaN(), "", {"0", "1K"}},
        {300, "", {"0", "0.1K", "0.2K", "0.3K"}},              // never below K
        {512 * kM, "", {"0", "200M", "400M", "600M"}},         // 512M shows as "512.00M"
        {513 * kM, "", {"0", "0.2G", "0.4G", "0.6G"}},         // and 513M as "0.50G"
        {1.6 * kG, "", {"0", "0.5G", "1.0G", "1.5G", "2.0G"}},
        {250 * kG, "", {"0", "50G", "100G", "150G", "200G", "250G"}}, // on a tick: no room above
        {1.59 * kM, "/s", {"0", "0.5M/s", "1.0M/s", "1.5M/s", "2.0M/s"}},
        {82 * kK, "/s", {"0", "20K/s", "40K/s", "60K/s", "80K/s", "100K/s"}},
    };
    // clang-format on
    for (const auto &c : cases) {
        const ByteAxis axis(c.largest, QString::fromLatin1(c.perUnit));
        EXPECT_EQ(labels(axis), c.labels) << c.largest;
        EXPECT_EQ(axis.ticks().last(), axis.top()) << c.largest;
        if (c.largest > 0) {
            EXPECT_GE(axis.top(), c.largest) << c.largest;
        }
        EXPECT_DOUBLE_EQ(axis.fraction(axis.top()), 1) << c.largest;
    }
}

} // namespace

} // namespace flowtally
