// The charts' and the History window's cost, each against one frame: a year
// of five networks' traffic in a temporary history, then, for one network,
// reading a cycle's days and feeding and painting the cycle chart
// (offscreen, into an image at pixel ratios 1 and 2); the rates chart fed
// and painted as at every tick (ten minutes of points, one more each time)
// and painted anew whole; and filling the History window with all its days
// and months and painting it. Prints figures; asserts nothing.
//
// Usage: bench_charts [rounds, 10 to 1000; default 100]

#include "tests/charts/SampleTraffic.h"
#include "history/BillingCycle.h"
#include "charts/CycleChart.h"
#include "bench/Figures.h"
#include "history/HistoryStore.h"
#include "charts/HistoryTable.h"
#include "charts/HistoryTableModel.h"
#include "charts/HistoryWindow.h"
#include "charts/RatesChart.h"
#include "bench/Timing.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace flowtally {

namespace {

constexpr int kDefaultRounds = 100;
constexpr int kMinimumRounds = 10;
constexpr int kMaximumRounds = 1000;
constexpr int kNetworks = 5;
constexpr int kDays = 365;
constexpr int kCycleStartDay = 20;
constexpr double kLimit = 250.0 * (quint64(1) << 30);
constexpr double kFrameMs = 16.0;
const QSize kChartSize(760, 360);
const QSize kWindowSize(560, 520);
constexpr int kRatePoints = 400; // ten minutes of ticks
constexpr qint64 kTickMs = 1500;

void check(const char *what, const Status &status) {
    if (status.ok())
        return;
    std::fprintf(stderr, "bench_charts: %s: %s\n", what, qPrintable(status.message()));
    std::exit(1);
}

// Paints a widget into an image as the screen would at `ratio`.
void paint(QWidget &widget, qreal ratio) {
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    widget.render(&painter);
}

// Prints the spread; the medians of the lines `figure` names go to the table
// of scripts/bench too.
void print(const char *what, const std::vector<double> &times, const char *figure = nullptr) {
    const Spread spread = spreadOf(times);
    if (figure)
        printFigure(std::string(figure) + ", median", spread.median, "ms");
    std::printf("  %-44s median %7.3f ms, mean %7.3f ms, worst %7.3f ms (%4.1f%% of a frame)\n",
                what, spread.median, spread.mean, spread.worst, spread.median / kFrameMs * 100);
}

// Times `work` over `rounds` rounds.
std::vector<double> timed(int rounds, const std::function<void()> &work) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(millisecondsSince(start));
    }
    return times;
}

} // namespace

int run(int rounds) {
    QTemporaryDir folder;
    const QTimeZone zone("Europe/Berlin");
    std::unique_ptr<HistoryStore> store;
    check("open", HistoryStore::open(folder.filePath(QStringLiteral("history.sqlite3")),
                                     {.zone = zone}, &store));
    QStringList networks;
    for (int network = 0; network < kNetworks; ++network)
        networks.append(
            QStringLiteral("6A1F0E52-0000-4000-8000-%1").arg(network, 12, 10, QLatin1Char('0')));
    const QDate last(2024, 5, 31);
    Clock::time_point start = Clock::now();
    check("add", addSampleTraffic(*store, networks, last.addDays(1 - kDays), last, zone));
    std::printf("history of %d days, %d networks, hourly (Europe/Berlin), made in %.1f s; "
                "%d rounds, a frame is %.0f ms\n",
                kDays, kNetworks, millisecondsSince(start) / 1000, rounds, kFrameMs);

    const QString network = networks.first();
    const QDateTime now(last, QTime(20, 0), zone);
    const BillingCycle cycle = *billingCycleAt(now, kCycleStartDay, zone);
    QList<HistoryBucket> days;
    CycleChart chart;
    chart.resize(kChartSize);
    std::printf("cycle chart, %dx%d, cycle of %lld days:\n", kChartSize.width(),
                kChartSize.height(), static_cast<long long>(cycle.start.daysTo(cycle.end)));
    print("read the cycle's days", timed(rounds, [&] {
              check("days", store->days(network, cycle.start, cycle.end, &days));
          }));
    print("feed the chart", timed(rounds, [&] { chart.setDays(cycle, days, kLimit, now); }));
    for (const qreal ratio : {1.0, 2.0})
        print(ratio == 1 ? "paint at 1x" : "paint at 2x",
              timed(rounds, [&] { paint(chart, ratio); }));
    print("all three, 1x",
          timed(rounds,
                [&] {
                    check("days", store->days(network, cycle.start, cycle.end, &days));
                    chart.setDays(cycle, days, kLimit, now);
                    paint(chart, 1);
                }),
          "cycle chart: read, feed and paint");

    RatesChart rates;
    rates.resize(kChartSize);
    // Rates that vary from sample to sample, as real traffic's do: a line
    // that turns at every point costs more to draw than a straight one.
    const auto sampleAt = [](const QDateTime &at, int sample, double scale) {
        const double wobble = std::sin(sample * 1.7) * std::cos(sample * 0.37);
        return RatePoint{at, scale * 1.5e6 * (1 + 0.3 * wobble), scale * 8e4 * (1 - 0.5 * wobble)};
    };
    QList<RatePoint> points;
    for (int sample = 0; sample < kRatePoints; ++sample)
        points.append(sampleAt(now.addMSecs(kTickMs * (sample - kRatePoints + 1)), sample, 1));
    std::printf("rates chart, %dx%d, %lld points:\n", kChartSize.width(), kChartSize.height(),
                static_cast<long long>(points.size()));
    // A tick: the chart moves on by 1.5 s with a new point, the oldest falls
    // out.
    QDateTime tickNow = now;
    int sample = kRatePoints;
    for (const qreal ratio : {1.0, 2.0}) {
        paint(rates, ratio);
        print(ratio == 1 ? "feed and paint a tick at 1x" : "feed and paint a tick at 2x",
              timed(rounds,
                    [&] {
                        tickNow = tickNow.addMSecs(kTickMs);
                        points.removeFirst();
                        points.append(sampleAt(tickNow, sample++, 1));
                        rates.setRates(points, tickNow);
                        paint(rates, ratio);
                    }),
              ratio == 1 ? "rates chart: feed and paint a tick" : nullptr);
    }
    // The whole plot painted anew: rates of another axis at every round.
    print("feed and paint anew at 1x",
          timed(rounds,
                [&] {
                    const double scale = sample % 2 ? 1 : 10;
                    for (RatePoint &point : points)
                        point = sampleAt(point.at, sample, scale);
                    ++sample;
                    rates.setRates(points, tickNow);
                    paint(rates, 1);
                }),
          "rates chart: feed and paint anew");

    HistoryWindow window;
    window.resize(kWindowSize);
    window.setNetworks({{network, QStringLiteral("Home"), now}});
    QList<HistoryBucket> months;
    const QDateTime beginning = QDateTime::fromSecsSinceEpoch(0);
    const QDateTime end = now.addDays(1);
    const std::vector<double> reads = timed(rounds, [&] {
        check("days", store->days(network, beginning, end, &days));
        check("months", store->months(network, beginning, end, &months));
    });
    std::printf("History window, %dx%d, %lld days and %lld months:\n", kWindowSize.width(),
                kWindowSize.height(), static_cast<long long>(days.size()),
                static_cast<long long>(months.size()));
    print("read all days and months", reads);
    print("fill the tables", timed(rounds, [&] { window.showHistory(network, days, months); }));
    print("paint at 1x", timed(rounds, [&] { paint(window, 1); }), "History window: paint");
    print("sort the days by total", timed(rounds, [&] {
              static bool descending = false;
              descending = !descending;
              window.dayTable()->sortByColumn(HistoryTableModel::TotalColumn,
                                              descending ? Qt::DescendingOrder
                                                         : Qt::AscendingOrder);
          }));
    return 0;
}

} // namespace flowtally

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int rounds = flowtally::kDefaultRounds;
    if (argc > 1)
        rounds =
            std::clamp(std::atoi(argv[1]), flowtally::kMinimumRounds, flowtally::kMaximumRounds);
    return flowtally::run(rounds);
}
