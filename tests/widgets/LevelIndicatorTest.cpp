#include "LevelIndicator.h"

#include <QImage>

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The colours at a point near the bar's left end and near its right end.
struct Painted {
    QColor left;
    QColor right;
};

Painted paint(LevelIndicator &indicator) {
    indicator.resize(100, 16);
    const QImage image = indicator.grab().toImage();
    return {image.pixelColor(4, 8), image.pixelColor(95, 8)};
}

LevelIndicator::Zone zoneAt(LevelIndicator &indicator, double value) {
    indicator.setDoubleValue(value);
    return indicator.zone();
}

} // namespace

TEST(LevelIndicator, FillsItsShareInTheColourOfItsZone) {
    using Zone = LevelIndicator::Zone;
    LevelIndicator indicator;
    indicator.setMaxValue(100);
    indicator.setWarningValue(80);
    indicator.setCriticalValue(100);
    EXPECT_EQ(zoneAt(indicator, 10), Zone::Normal);
    EXPECT_EQ(zoneAt(indicator, 80), Zone::Warning);
    EXPECT_EQ(zoneAt(indicator, 100), Zone::Critical);

    indicator.setDoubleValue(10);
    Painted painted = paint(indicator);
    EXPECT_EQ(painted.left, LevelIndicator::colour(Zone::Normal));
    EXPECT_NE(painted.right, LevelIndicator::colour(Zone::Normal));

    indicator.setDoubleValue(250);
    painted = paint(indicator);
    EXPECT_EQ(painted.left, LevelIndicator::colour(Zone::Critical));
    EXPECT_EQ(painted.right, LevelIndicator::colour(Zone::Critical));
}

TEST(LevelIndicator, CriticalBelowWarningMakesLowValuesCritical) {
    using Zone = LevelIndicator::Zone;
    LevelIndicator indicator;
    indicator.setWarningValue(30);
    indicator.setCriticalValue(10);
    EXPECT_EQ(zoneAt(indicator, 5), Zone::Critical);
    EXPECT_EQ(zoneAt(indicator, 20), Zone::Warning);
    EXPECT_EQ(zoneAt(indicator, 50), Zone::Normal);
    // Without warning and critical values every value is normal.
    LevelIndicator plain;
    EXPECT_EQ(zoneAt(plain, 1e9), Zone::Normal);
}

TEST(LevelIndicator, ValuesThatAreNotFiniteShowAsAnEndOfTheBar) {
    using Zone = LevelIndicator::Zone;
    LevelIndicator indicator;
    indicator.setWarningValue(50);
    indicator.setCriticalValue(90);

    indicator.setDoubleValue(infinity);
    Painted painted = paint(indicator);
    EXPECT_EQ(painted.right, LevelIndicator::colour(Zone::Critical));

    for (double empty : {notANumber, -infinity}) {
        indicator.setDoubleValue(empty);
        painted = paint(indicator);
        EXPECT_EQ(painted.left, painted.right);
        EXPECT_NE(painted.left, LevelIndicator::colour(indicator.zone()));
    }

    // A range that is not finite shows empty too.
    indicator.setDoubleValue(10);
    indicator.setMaxValue(infinity);
    painted = paint(indicator);
    EXPECT_EQ(painted.left, painted.right);
    indicator.setMaxValue(notANumber);
    painted = paint(indicator);
    EXPECT_EQ(painted.left, painted.right);
}
