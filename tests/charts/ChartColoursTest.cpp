// In and Out stand out from the background on light and dark desktops.
#include "ChartColours.h"
#include "Palettes.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

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
