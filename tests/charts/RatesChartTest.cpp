// The rates chart: which points it draws and where its lines break, its
// axis in bytes per second, and a chart without points.
#include "RatesChart.h"

#include "ChartColours.h"

#include "../history/HistoryFixture.h"
#include "Palettes.h"
#include "RedrawnLikeNew.h"
#include "TextPrinting.h"

#include <QImage>

namespace flowtally {

namespace {

constexpr double kK = 1024;
constexpr double kM = kK * 1024;

// Points from `from` seconds before now on, every `every` seconds, `count` of them.
QList<RatePoint> run(const QDateTime &now, double from, double every, int count, double in = kM) {
    QList<RatePoint> points;
    for (int point = 0; point < count; ++point)
        points.append({now.addMSecs(qint64((point * every - from) * 1000)), in, in / 20});
    return points;
}

// The runs as "seconds before now of the first point, point count".
QStringList described(const QList<QList<RatePoint>> &segments, const QDateTime &now) {
    QStringList runs;
    for (const QList<RatePoint> &segment : segments)
        runs.append(QStringLiteral("-%1s %2")
                        .arg(double(segment.first().at.msecsTo(now)) / 1000)
                        .arg(segment.size()));
    return runs;
}

TEST(RatesChart, LinesBreakWhereTheSamplesStopped) {
    const QDateTime now = utc("2024-03-27T19:00:00Z");
    const RatePoint broken{now.addSecs(-30), qQNaN(), 0};
    // clang-format off
    const struct { const char *what; QList<RatePoint> points; QStringList runs; } cases[] = {
        {"steady", run(now, 600, 1.5, 401), {"-600s 401"}},
        {"older than ten minutes", run(now, 800, 1.5, 100) + run(now, 60, 1.5, 41), {"-60s 41"}},
        {"a pause of a minute", run(now, 300, 1.5, 41) + run(now, 180, 4, 46), {"-300s 41", "-180s 46"}},
        {"10 s apart joins", run(now, 100, 10, 11), {"-100s 11"}},
        {"10.5 s apart breaks", run(now, 21, 10.5, 3), {"-21s 1", "-10.5s 1", "-0s 1"}},
        {"the clock went back", run(now, 30, 1.5, 5) + run(now, 50, 1.5, 5), {"-30s 5", "-50s 5"}},
        {"after now", run(now, 3, 1.5, 5), {"-3s 3"}},
        {"a rate that is no number", run(now, 33, 1.5, 2) + QList{broken} + run(now, 28.5, 1.5, 2),
         {"-33s 4"}},
        {"none", {}, {}},
    };
    // clang-format on
    for (const auto &c : cases) {
        RatesChart chart;
        chart.setRates(c.points, now);
        EXPECT_EQ(described(chart.segments(), now), c.runs) << c.what;
    }
}

TEST(RatesChart, AxisInBytesPerSecondOfTheLargestShownRate) {
    const QDateTime now = utc("2024-03-27T19:00:00Z");
    // clang-format off
    const struct { QList<RatePoint> points; const char *top; } cases[] = {
        {run(now, 60, 1.5, 41, 1.59 * kM), "2.0M/s"},
        {run(now, 60, 1.5, 41, 300 * kK), "300K/s"},
        // A burst eleven minutes ago is off the chart and off the axis.
        {run(now, 660, 1.5, 10, 9 * kM) + run(now, 60, 1.5, 41, 300 * kK), "300K/s"},
        {run(now, 60, 1.5, 41, 0), "1K/s"},
        {{}, "1K/s"},
    };
    // clang-format on
    for (const auto &c : cases) {
        RatesChart chart;
        chart.setRates(c.points, now);
        EXPECT_EQ(chart.rateAxis().label(chart.rateAxis().top()), c.top);
    }
}

// Without points the chart says so in the middle of its plot, in the text
// colour; with points (all at zero) no such text stands there.
TEST(RatesChart, SaysWhenThereAreNoRates) {
    const QDateTime now = utc("2024-03-27T19:00:00Z");
    for (const bool withPoints : {false, true}) {
        RatesChart chart;
        chart.resize(500, 260);
        chart.setRates(withPoints ? run(now, 600, 1.5, 401, 0) : QList<RatePoint>(), now);
        const QImage image = chart.grab().toImage();
        const QColor text = chartColours(chart.palette()).text;
        int textPixels = 0;
        const int middle = image.height() / 2 + 10;
        for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x) {
            for (int y = middle - 12; y < middle + 12; ++y)
                textPixels += std::abs(image.pixelColor(x, y).lightness() - text.lightness()) < 40;
        }
        EXPECT_EQ(textPixels > 0, !withPoints) << textPixels;
    }
}

// A chart shown again after its axis, colours or size changed looks exactly
// like a chart made anew: nothing of an earlier frame stays.
TEST(RatesChart, RedrawnChartLooksLikeANewOne) {
    const QDateTime now = utc("2024-03-27T19:00:00Z");
    const auto state = [&now](double rate, const QPalette &palette, QSize size) {
        return [=](RatesChart &chart) {
            chart.setPalette(palette);
            chart.resize(size);
            chart.setRates(run(now, 600, 1.5, 401, rate), now);
        };
    };
    expectRedrawnLikeNew<RatesChart>({
        {"first", state(300 * kK, lightPalette(), {500, 260})},
        {"rates of another axis", state(9 * kM, lightPalette(), {500, 260})},
        {"other colours", state(9 * kM, darkPalette(), {500, 260})},
        {"another size", state(9 * kM, darkPalette(), {620, 300})},
        {"back to the first axis", state(300 * kK, darkPalette(), {620, 300})},
    });
}

} // namespace

} // namespace flowtally
