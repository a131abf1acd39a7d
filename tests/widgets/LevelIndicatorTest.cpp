#include "LevelIndicator.h"

#include <QImage>

#include <gtest/gtest.h>

#include <limits>

namespace flowtally {

namespace {

// A value or range that is not finite shows as a full bar (+inf) or an empty
// one, never as a fill in its zone's colour.
TEST(LevelIndicator, ValuesAndRangesThatAreNotFiniteShowAsAnEndOfTheBar) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    LevelIndicator indicator;
    indicator.setWarningValue(50);
    indicator.setCriticalValue(90);
    indicator.resize(100, 16);
    const std::pair<double, double> cases[] = {
        {inf, 100}, {nan, 100}, {-inf, 100}, {10, inf}, {10, nan}};
    for (const auto &[value, max] : cases) {
        indicator.setDoubleValue(value);
        indicator.setMaxValue(max);
        const QImage image = indicator.grab().toImage();
        const QColor left = image.pixelColor(4, 8), right = image.pixelColor(95, 8);
        EXPECT_EQ(left, right) << value << " of " << max;
        if (value == inf)
            EXPECT_EQ(left, LevelIndicator::colour(LevelIndicator::Zone::Critical));
        else
            EXPECT_NE(left, LevelIndicator::colour(indicator.zone())) << value << " of " << max;
    }
}

} // namespace

} // namespace flowtally
