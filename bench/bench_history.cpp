// The traffic history's cost: a year of five networks' traffic, the file it
// makes, the reads a window and a report make, and the time per batch of
// bytes the app adds. Prints figures; asserts nothing.
//
// The year is added an hour at a time per network (one batch per hour with
// the five networks' bytes of that hour, each network with its own billing
// cycle, so that each cycle start splits its hour and day): that makes the
// same rows as the app's batches every 10 s, in far less time. Pruned once a
// day, as the app does. The app's own rhythm is then measured on top of the
// full year: a batch every 10 s with the current network's bytes.
//
// Usage: bench_history [days of history, 30 to 3650; default 365]

#include "history/BillingCycle.h"
#include "bench/Figures.h"
#include "history/HistoryStore.h"
#include "bench/Timing.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace flowtally {

namespace {

constexpr int kDefaultDays = 365;
constexpr int kMinimumDays = 30;
constexpr int kMaximumDays = 3650;
constexpr int kNetworks = 5;
constexpr int kCycleDays[kNetworks] = {1, 15, 31, 28, 5};
constexpr int kTimedBatches = 20000; // the app's batches, every 10 s: 55 hours
constexpr qint64 kBatchSeconds = 10;
constexpr int kReadRounds = 200;
constexpr double kFrameMs = 16.0;
constexpr double kGoalMiB = 5.0;

void fail(const char *what, const Status &status) {
    std::fprintf(stderr, "bench_history: %s: %s\n", what, qPrintable(status.message()));
    std::exit(1);
}

// A network's bytes in one hour: busy evenings, quiet nights, some noise.
quint64 hourlyBytes(std::mt19937_64 &random, int localHour, quint64 peak) {
    const double shape = localHour < 7 ? 0.05 : localHour < 17 ? 0.4 : 1.0;
    return static_cast<quint64>(shape * double(peak) *
                                std::uniform_real_distribution<double>(0.5, 1.0)(random));
}

QString networkName(int index) {
    return QStringLiteral("6A1F0E52-0000-4000-8000-%1").arg(index, 12, 10, QLatin1Char('0'));
}

// The start of the period a network's totals are in at `at`.
QDateTime periodStart(int network, const QDateTime &at, const QTimeZone &zone) {
    return billingCycleAt(at, kCycleDays[network], zone)->start;
}

void printReads(HistoryStore &store, const QDateTime &now, const QTimeZone &zone) {
    const QString network = networkName(0);
    // The last whole cycle.
    const BillingCycle current = *billingCycleAt(now, kCycleDays[0], zone);
    const BillingCycle cycle = *billingCycleAt(current.start.addSecs(-1), kCycleDays[0], zone);
    const QDateTime yearAgo = now.addYears(-1);
    std::vector<double> cycleDays, twelveMonths, allMonths;
    QList<HistoryBucket> buckets;
    for (int round = 0; round < kReadRounds; ++round) {
        Clock::time_point start = Clock::now();
        if (Status status = store.days(network, cycle.start, cycle.end, &buckets); !status.ok())
            fail("days", status);
        cycleDays.push_back(millisecondsSince(start));
        start = Clock::now();
        if (Status status = store.months(network, yearAgo, now, &buckets); !status.ok())
            fail("months", status);
        twelveMonths.push_back(millisecondsSince(start));
        start = Clock::now();
        QList<HistoryNetwork> networks;
        if (Status status = store.networks(&networks); !status.ok())
            fail("networks", status);
        for (const HistoryNetwork &each : networks) {
            if (Status status =
                    store.months(each.network, QDateTime::fromSecsSinceEpoch(0), now, &buckets);
                !status.ok())
                fail("months", status);
        }
        allMonths.push_back(millisecondsSince(start));
    }
    const struct {
        const char *what;
        Spread spread;
    } reads[] = {{"one cycle's days, one network", spreadOf(cycleDays)},
                 {"twelve months, one network", spreadOf(twelveMonths)},
                 {"all months, all networks", spreadOf(allMonths)}};
    std::printf("reads (%d rounds; a frame is %.0f ms):\n", kReadRounds, kFrameMs);
    for (const auto &read : reads) {
        std::printf("  %-32s median %.3f ms, mean %.3f ms, worst %.3f ms\n", read.what,
                    read.spread.median, read.spread.mean, read.spread.worst);
        printFigure(std::string("history: read ") + read.what + ", median", read.spread.median,
                    "ms");
    }
}

} // namespace

int run(int days) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("history.sqlite3"));
    const QTimeZone zone("Europe/Berlin");
    std::unique_ptr<HistoryStore> store;
    if (Status status = HistoryStore::open(path, {.zone = zone}, &store); !status.ok())
        fail("open", status);

    std::mt19937_64 random(7);
    const QDateTime first = QDate(2023, 6, 1).startOfDay(zone);
    const QDateTime end = first.addDays(days);
    quint64 rows = 0;
    Clock::time_point start = Clock::now();
    for (QDateTime hour = first; hour < end; hour = hour.addSecs(3600)) {
        const int localHour = hour.toTimeZone(zone).time().hour();
        std::vector<HistoryEntry> batch;
        for (int network = 0; network < kNetworks; ++network) {
            const quint64 peak = quint64(400) << (20 + network % 3); // 400 MiB to 1.6 GiB an hour
            batch.push_back({networkName(network), hour.addSecs(1800),
                             hourlyBytes(random, localHour, peak),
                             hourlyBytes(random, localHour, peak / 10),
                             periodStart(network, hour.addSecs(1800), zone)});
        }
        if (Status status = store->add(batch); !status.ok())
            fail("add", status);
        rows += kNetworks;
        if (localHour == 4) {
            if (Status status = store->prune(hour); !status.ok())
                fail("prune", status);
        }
    }
    const double yearMs = millisecondsSince(start);

    // The app's rhythm on top of the full history.
    std::vector<double> batchTimes;
    QDateTime at = end;
    for (int batch = 0; batch < kTimedBatches; ++batch, at = at.addSecs(kBatchSeconds)) {
        const HistoryEntry entry{networkName(0), at, 2'000'000, 200'000, periodStart(0, at, zone)};
        start = Clock::now();
        if (Status status = store->add({entry}); !status.ok())
            fail("add", status);
        batchTimes.push_back(millisecondsSince(start));
    }
    start = Clock::now();
    if (Status status = store->prune(at); !status.ok())
        fail("prune", status);
    const double pruneMs = millisecondsSince(start);

    const double walMiB = double(QFileInfo(path + QStringLiteral("-wal")).size()) / 1048576.0;
    std::printf("history of %d days, %d networks (Europe/Berlin), %llu hourly entries added in "
                "%.1f s\n",
                days, kNetworks, static_cast<unsigned long long>(rows), yearMs / 1000.0);
    const Spread batches = spreadOf(batchTimes);
    std::printf("add, one entry every %lld s (%d batches): median %.3f ms, mean %.3f ms, worst "
                "%.3f ms\n",
                static_cast<long long>(kBatchSeconds), kTimedBatches, batches.median, batches.mean,
                batches.worst);
    std::printf("prune: %.3f ms\n", pruneMs);
    printFigure("history: add a batch, median", batches.median, "ms");
    printFigure("history: add a batch, worst", batches.worst, "ms");
    printReads(*store, at, zone);
    store.reset(); // the last connection folds the write-ahead log into the file
    const double fileMiB = double(QFileInfo(path).size()) / 1048576.0;
    std::printf("file: %.2f MiB (goal under %.0f MiB); write-ahead log while open: %.2f MiB\n",
                fileMiB, kGoalMiB, walMiB);
    printFigure("history: file after " + std::to_string(days) + " days of 5 networks", fileMiB,
                "MiB", 2);
    return 0;
}

} // namespace flowtally

int main(int argc, char **argv) {
    int days = flowtally::kDefaultDays;
    if (argc > 1)
        days = std::clamp(std::atoi(argv[1]), flowtally::kMinimumDays, flowtally::kMaximumDays);
    return flowtally::run(days);
}
