// The byte axes of the charts: the unit is the one Flowtally's figures show
// the largest value in, the top the first round tick at or above it. In and
// Out stand out from the background on light and dark desktops.
#include "charts/ByteAxis.h"
#include "charts/ChartColours.h"

#include "tests/charts/ChartTesting.h"

namespace flowtally {

namespace {

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
        EXPECT_EQ(axis.labels(), c.labels) << c.largest;
        EXPECT_EQ(axis.ticks().last(), axis.top()) << c.largest;
        EXPECT_DOUBLE_EQ(axis.fraction(axis.top()), 1) << c.largest;
    }
}

TEST(ChartColours, InAndOutKeepAContrastOfThreeToOneOnEveryPalette) {
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
    const std::pair<const char *, QPalette> palettes[] = {
        {"light", lightPalette()},
        {"dark", darkPalette()},
        // A dark theme whose highlight is a dark blue, and one with a grey.
        {"dark, dark blue",
         paletteOf(QColor(0x35, 0x35, 0x35), Qt::white, QColor(0x15, 0x53, 0x9e))},
        {"light, pale grey",
         paletteOf(QColor(0xf6, 0xf5, 0xf4), Qt::black, QColor(0xc0, 0xc0, 0xc0))},
        {"mid grey", paletteOf(QColor(0x80, 0x80, 0x80), Qt::black, QColor(0x70, 0x90, 0xb0))},
    };
    for (const auto &[name, palette] : palettes) {
        const ChartColours colours = chartColours(palette);
        EXPECT_GE(contrastRatio(colours.in, colours.background), kMinimumContrast) << name;
        EXPECT_GE(contrastRatio(colours.out, colours.background), kMinimumContrast) << name;
        EXPECT_NE(colours.in, colours.out) << name;
    }
}

} // namespace

} // namespace flowtally
