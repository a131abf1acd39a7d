// The cycle chart as a person reads it: the axes' units follow the largest
// day and the larger of total and limit, no pace without a limit, incoming
// bytes at the bottom of a bar and outgoing on top in their share, and texts
// in the palette's colours on a light and on a dark desktop.
#include "charts/CycleChart.h"

#include "charts/ChartColours.h"

#include "tests/charts/ChartTesting.h"

#include <QImage>

namespace flowtally {

namespace {

class CycleChartTest : public ::testing::Test {
  protected:
    const QTimeZone berlin = zone("Europe/Berlin");
    const QDateTime now = local("2024-03-27T20:00:00", berlin);
    const BillingCycle cycle = *billingCycleAt(now, 20, berlin);

    HistoryBucket day(const char *date, double in, double out) const {
        return {QDate::fromString(QString::fromLatin1(date), Qt::ISODate).startOfDay(berlin),
                quint64(in), quint64(out)};
    }
};

TEST_F(CycleChartTest, AxesTakeTheUnitOfTheirLargestValue) {
    // clang-format off
    const struct { double in, out, limit; const char *dayTop, *totalTop; bool pace; } cases[] = {
        {300 * kM, 100 * kM, 0, "400M", "0.8G", false},  // three days: 800M in all
        {1.2 * kG, 0.4 * kG, 250 * kG, "2.0G", "250G", true},
        {300 * kM, 100 * kM, 0.5 * kG, "400M", "0.8G", true}, // the total passed the limit
        {0, 0, 0, "1K", "1K", false},
    };
    // clang-format on
    CycleChart chart;
    for (const auto &c : cases) {
        chart.setDays(cycle,
                      {day("2024-03-20", c.in, c.out), day("2024-03-21", c.in / 2, c.out / 2),
                       day("2024-03-22", c.in / 2, c.out / 2)},
                      c.limit, now);
        EXPECT_EQ(chart.dayAxis().label(chart.dayAxis().top()), c.dayTop) << c.in;
        EXPECT_EQ(chart.totalAxis().label(chart.totalAxis().top()), c.totalTop) << c.in;
        EXPECT_EQ(chart.hasPace(), c.pace) << c.limit;
    }
}

// On a dark and a light desktop: the bar of a day with three times as much
// in as out, in below out in their share (against a large limit the lines
// stay low in its column), and texts in the palette's colours.
TEST_F(CycleChartTest, BarsAndTextsInThePalettesColours) {
    for (const QPalette &palette : {darkPalette(), lightPalette()}) {
        SCOPED_TRACE(palette.color(QPalette::Window).name().toStdString());
        CycleChart chart;
        chart.setPalette(palette);
        chart.resize(600, 400);
        chart.setDays(cycle, {day("2024-03-24", 3 * kG, 1 * kG)}, 250 * kG, now);
        const QImage image = chart.grab().toImage();
        const ChartColours colours = chartColours(chart.palette());
        // The bar's middle, below the title and legend that show the colours too.
        int left = image.width(), right = -1;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = image.height() / 4; y < image.height(); ++y) {
                if (image.pixelColor(x, y) == colours.in) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        ASSERT_GE(right, 0);
        // The in and out colours of the bar's middle column from the bottom
        // up, each run of them once, and how many pixels each has.
        QList<QColor> runs;
        QList<int> counts{0, 0};
        for (int y = image.height() - 1; y >= 0; --y) {
            const QColor colour = image.pixelColor((left + right) / 2, y);
            if (colour != colours.in && colour != colours.out)
                continue;
            ++counts[colour == colours.out];
            if (runs.isEmpty() || runs.last() != colour)
                runs.append(colour);
        }
        EXPECT_EQ(runs, (QList<QColor>{colours.in, colours.out}));
        EXPECT_NEAR(double(counts[0]) / counts[1], 3.0, 0.1);

        const QColor background = palette.color(QPalette::Window);
        const QColor text = palette.color(QPalette::WindowText);
        EXPECT_EQ(image.pixelColor(1, 1), background);
        // The left axis' labels: glyph pixels near the text colour, and none
        // that a default black or white would give.
        int nearText = 0, offColour = 0;
        for (int x = 0; x < 40; ++x) {
            for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y) {
                const QColor colour = image.pixelColor(x, y);
                const int distance = std::abs(colour.lightness() - text.lightness());
                nearText += distance < 40;
                offColour += colour != background &&
                             std::abs(colour.lightness() - background.lightness()) >
                                 std::abs(text.lightness() - background.lightness()) + 8;
            }
        }
        EXPECT_GT(nearText, 20);
        EXPECT_EQ(offColour, 0);
    }
}

// A chart shown again after its days, limit, colours or size changed looks
// exactly like a chart made anew: nothing of an earlier frame stays. Last, the
// same axes and a title that grows from "9.80G used" to "10.15G used": at
// some width in between the legend no longer fits beside it and goes under.
TEST_F(CycleChartTest, RedrawnChartLooksLikeANewOne) {
    const auto state = [this](double in, double limit, const QPalette &palette, QSize size,
                              const BillingCycle &period) {
        return [=, this](CycleChart &chart) {
            chart.setPalette(palette);
            chart.resize(size);
            chart.setDays(period, {day("2024-03-20", in, in / 4), day("2024-03-21", in / 2, 0)},
                          limit, now);
        };
    };
    const BillingCycle april = *billingCycleAt(now.addDays(30), 20, berlin);
    std::vector<std::pair<QString, std::function<void(CycleChart &)>>> states{
        {"first", state(300 * kM, 0, lightPalette(), {600, 300}, cycle)},
        {"more bytes, the same axes", state(310 * kM, 0, lightPalette(), {600, 300}, cycle)},
        {"another axis", state(3 * kG, 0, lightPalette(), {600, 300}, cycle)},
        {"a limit", state(3 * kG, 250 * kG, lightPalette(), {600, 300}, cycle)},
        {"the next cycle", state(3 * kG, 250 * kG, lightPalette(), {600, 300}, april)},
        {"other colours", state(3 * kG, 250 * kG, darkPalette(), {600, 300}, april)},
        {"another size", state(3 * kG, 250 * kG, darkPalette(), {700, 320}, april)},
    };
    for (int width = 360; width <= 720; width += 8) {
        for (const double in : {5.6 * kG, 5.8 * kG, 5.6 * kG})
            states.emplace_back(QStringLiteral("%1 px, %2 bytes").arg(width).arg(in),
                                state(in, 250 * kG, lightPalette(), {width, 300}, cycle));
    }
    expectRedrawnLikeNew<CycleChart>(states);
}

} // namespace

} // namespace flowtally
