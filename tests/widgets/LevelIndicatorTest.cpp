#include "platform/widgets/LevelIndicator.h"
#include "tests/support/PaintCounter.h"

#include <QCoreApplication>
#include <QImage>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// A value or range that is not finite, or a range that holds nothing, shows
// as a full bar (+inf) or an empty one, never as a fill in its zone's
// colour. A new value repaints the bar when its picture changes, and only
// then: most samples move the level by less than a pixel.
TEST(LevelIndicator, EndsForWhatIsNotFiniteAndRepaintsWhenItsPictureChangesOnly) {
    LevelIndicator indicator;
    indicator.setWarningValue(50);
    indicator.setCriticalValue(90);
    indicator.resize(100, 16);
    const std::pair<double, double> cases[] = {{qInf(), 100}, {qQNaN(), 100}, {-qInf(), 100},
                                               {10, qInf()},  {10, qQNaN()},  {10, 0}};
    for (const auto &[value, max] : cases) {
        indicator.setDoubleValue(value);
        indicator.setMaxValue(max);
        const QImage image = indicator.grab().toImage();
        const QColor left = image.pixelColor(4, 8), right = image.pixelColor(95, 8);
        EXPECT_EQ(left, right) << value << " of " << max;
        if (value == qInf())
            EXPECT_EQ(left, LevelIndicator::colour(LevelIndicator::Zone::Critical));
        else
            EXPECT_NE(left, LevelIndicator::colour(indicator.zone())) << value << " of " << max;
    }

    indicator.setMaxValue(100);
    indicator.show();
    QCoreApplication::processEvents();
    PaintCounter counter;
    indicator.installEventFilter(&counter);
    QImage before = indicator.grab().toImage();
    int repaints = 0, changes = 0, steps = 0;
    for (double value = 40; value < 95; value += 0.037, ++steps) {
        counter.paints = 0;
        indicator.setDoubleValue(value);
        QCoreApplication::processEvents();
        const bool repainted = counter.paints > 0;
        const QImage after = indicator.grab().toImage();
        if (after != before) {
            ++changes;
            EXPECT_TRUE(repainted) << "the bar shows a stale level at " << value;
        }
        repaints += repainted;
        before = after;
    }
    EXPECT_GT(changes, 40);
    EXPECT_LE(repaints, changes) << "repainted " << repaints << " times in " << steps << " steps";
}

} // namespace

} // namespace flowtally
