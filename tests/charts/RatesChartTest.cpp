// The rates chart: which points it draws and where its lines break, its
// axis in bytes per second, a chart without points, and a chart that moves
// on with time looking like one drawn anew.
#include "charts/RatesChart.h"

#include "charts/ChartColours.h"

#include "tests/charts/ChartTesting.h"

#include <QImage>

#include <cmath>

namespace flowtally {

namespace {

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

// Whether the chart says in the middle of its plot, in the text colour, that
// there are no rates.
bool saysNoRates(RatesChart &chart) {
    const QImage image = chart.grab().toImage();
    const QColor text = chartColours(chart.palette()).text;
    int textPixels = 0;
    const int middle = image.height() / 2 + 10;
    for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x) {
        for (int y = middle - 12; y < middle + 12; ++y)
            textPixels += std::abs(image.pixelColor(x, y).lightness() - text.lightness()) < 40;
    }
    return textPixels > 0;
}

// The runs of points the lines break into, the rate axis' top in bytes per
// second of the largest rate shown, and without points a text that says so.
TEST(RatesChart, LinesBreakWhereTheSamplesStoppedOverAnAxisOfTheShownRates) {
    const QDateTime now = utc("2024-03-27T19:00:00Z");
    const RatePoint broken{now.addSecs(-30), qQNaN(), 0};
    // clang-format off
    const struct {
        const char *what; QList<RatePoint> points; QStringList runs; const char *top;
    } cases[] = {
        {"steady", run(now, 600, 1.5, 401), {"-600s 401"}, "1.0M/s"},
        // A burst eleven minutes ago is off the chart and off the axis.
        {"older than ten minutes", run(now, 660, 1.5, 10, 9 * kM) + run(now, 60, 1.5, 41, 300 * kK),
         {"-60s 41"}, "300K/s"},
        {"a pause of a minute", run(now, 300, 1.5, 41) + run(now, 180, 4, 46),
         {"-300s 41", "-180s 46"}, "1.0M/s"},
        {"10 s apart joins", run(now, 100, 10, 11), {"-100s 11"}, "1.0M/s"},
        {"10.5 s apart breaks", run(now, 21, 10.5, 3), {"-21s 1", "-10.5s 1", "-0s 1"}, "1.0M/s"},
        {"the clock went back", run(now, 30, 1.5, 5) + run(now, 50, 1.5, 5),
         {"-30s 5", "-50s 5"}, "1.0M/s"},
        {"after now", run(now, 3, 1.5, 5), {"-3s 3"}, "1.0M/s"},
        {"a rate that is no number", run(now, 33, 1.5, 2) + QList{broken} + run(now, 28.5, 1.5, 2),
         {"-33s 4"}, "1.0M/s"},
        {"no traffic", run(now, 600, 1.5, 401, 0), {"-600s 401"}, "1K/s"},
        {"none", {}, {}, "1K/s"},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        RatesChart chart;
        chart.resize(500, 260);
        chart.setRates(c.points, now);
        EXPECT_EQ(described(chart.segments(), now), c.runs);
        EXPECT_EQ(chart.rateAxis().label(chart.rateAxis().top()), c.top);
        EXPECT_EQ(saysNoRates(chart), c.runs.isEmpty());
    }
}

// Rates that go up and down at every sample, as traffic's do.
RatePoint wobbling(const QDateTime &at, int sample) {
    const double wobble = std::sin(sample * 1.7) * std::cos(sample * 0.37);
    return {at, 700 * kK * (1 + 0.3 * wobble), 60 * kK * (1 - 0.5 * wobble)};
}

// A chart fed at every tick, as the app feeds it, keeps most of its plot
// from the tick before and moves it on; whatever happened between two ticks
// (its axis, colours or size changed too), it looks exactly like a chart
// drawn anew with the same points.
TEST(RatesChart, ChartMovingOnLooksLikeANewOne) {
    const QDateTime start = utc("2024-03-27T19:00:00.250Z");
    QDateTime now = start;
    // Ten minutes of points: the oldest two a run of their own that falls
    // out of the span at the next ticks (a dot for one tick between), then
    // a minute of points 9 s apart, whose pieces reach far into the plot as
    // they fall out, then a point every 1.5 s.
    QList<RatePoint> points{wobbling(now.addMSecs(-599'000), 0),
                            wobbling(now.addMSecs(-598'000), 1)};
    int sample = 2;
    for (qint64 ago = 585'000; ago > 525'000; ago -= 9'000)
        points.append(wobbling(now.addMSecs(-ago), sample++));
    for (qint64 ago = 525'000; ago >= 0; ago -= 1500)
        points.append(wobbling(now.addMSecs(-ago), sample++));
    std::vector<std::pair<QString, std::function<void(RatesChart &)>>> states;
    QPalette palette = lightPalette();
    QSize size(500, 260);
    const auto add = [&](const QString &what) {
        states.push_back({what, [points, now, palette, size](RatesChart &chart) {
                              chart.setPalette(palette);
                              chart.resize(size);
                              chart.setRates(points, now);
                          }});
    };
    // Ticks 1.5 s apart give or take a few milliseconds, each with a point.
    const auto tick = [&](int count, const QString &what, qint64 step = 1500) {
        for (int done = 0; done < count; ++done) {
            now = now.addMSecs(step + (sample % 3) * 17);
            points.append(wobbling(now, sample++));
            add(what + QStringLiteral(", tick %1").arg(done + 1));
        }
    };
    add(QStringLiteral("ten minutes of points"));
    tick(12, QStringLiteral("moving on while old points fall out"));
    now = now.addMSecs(120);
    add(QStringLiteral("a moment later, without a point"));
    now = now.addSecs(15);
    points.append(wobbling(now, sample++));
    add(QStringLiteral("a lone point after a pause"));
    now = now.addSecs(15);
    add(QStringLiteral("another pause"));
    tick(3, QStringLiteral("going on after the pause"));
    tick(2, QStringLiteral("in the background"), 4000);
    // Another network's points, on the same axis.
    points.clear();
    for (qint64 ago = 300'000; ago >= 0; ago -= 1500)
        points.append(wobbling(now.addMSecs(-ago), sample += 7));
    add(QStringLiteral("another network, on the same axis"));
    tick(2, QStringLiteral("the other network moving on"));
    now = now.addMSecs(1500);
    points.append({now, 9 * kM, 10 * kK});
    add(QStringLiteral("a burst that changes the axis"));
    tick(2, QStringLiteral("after the burst"));
    palette = darkPalette();
    add(QStringLiteral("other colours"));
    size = QSize(620, 300);
    add(QStringLiteral("another size"));
    tick(2, QStringLiteral("moving on in another size"));
    now = now.addSecs(-40);
    add(QStringLiteral("the clock set back"));
    tick(2, QStringLiteral("points while the clock is behind"));
    now = now.addSecs(40);
    tick(2, QStringLiteral("the clock set right"));
    points.clear();
    add(QStringLiteral("another network: no points"));
    tick(3, QStringLiteral("another network's first points"));
    now = now.addSecs(11 * 60);
    tick(2, QStringLiteral("after eleven minutes asleep"));
    expectRedrawnLikeNew<RatesChart>(states);
}

} // namespace

} // namespace flowtally
