// How well the end of a billing cycle is foreseen: the linear projection of
// the cycle so far (BillingCycle's projectedTotal) against the projection
// that knows the week (WeeklyProjection.h), on made-up histories of a
// person's line, replayed hour by hour. Prints the mean error of each at the
// cycle's days 3, 7, 14 and 21 against the total the cycle really ended
// with, and what reading a profile from the history costs; asserts nothing.
//
// The histories: eight weeks before the cycle and the cycle itself, in
// Berlin's local time, each hour's bytes drawn around a mean, with days
// that run busier or quieter as a whole (a person's days do):
//   weekly pattern  evenings on weekdays, whole days at the weekend
//   no pattern      the same mean every hour of the week
//   update bursts   the weekly pattern, with a few downloads of 2 to 6 GB a
//                   week at any hour
//   holiday week    the weekly pattern with one week at a twentieth of it,
//                   before the cycle or within it
//   new network     the weekly pattern, the history beginning with the cycle
//
// Usage: bench_projection [histories per kind, 10 to 2000; default 300]

#include "history/BillingCycle.h"
#include "bench/Figures.h"
#include "history/HistoryStore.h"
#include "bench/Timing.h"
#include "record/WeeklyProjection.h"

#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace flowtally {

namespace {

constexpr int kDefaultRuns = 300;
constexpr int kMinimumRuns = 10;
constexpr int kMaximumRuns = 2000;
constexpr int kDays[] = {3, 7, 14, 21};
constexpr int kWeeksBefore = 8;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kTimedReads = 200;

enum class Kind { Weekly, Flat, Bursts, Holiday, NewNetwork };

const struct {
    Kind kind;
    const char *name;
} kKinds[] = {{Kind::Weekly, "weekly pattern"},
              {Kind::Flat, "no pattern"},
              {Kind::Bursts, "update bursts"},
              {Kind::Holiday, "holiday week"},
              {Kind::NewNetwork, "new network"}};

void fail(const char *what, const Status &status) {
    std::fprintf(stderr, "bench_projection: %s: %s\n", what, qPrintable(status.message()));
    std::exit(1);
}

// The mean bytes of a local hour, by the weekly pattern: quiet nights,
// mornings, evenings on weekdays; late mornings to midnight at the weekend.
// A week of it is about 17 GiB.
double patternMean(const QDateTime &local) {
    const int hour = local.time().hour();
    const bool weekend = local.date().dayOfWeek() >= 6;
    double shape = 0;
    if (weekend)
        shape = hour < 2 ? 0.5 : hour < 9 ? 0.05 : 1.0;
    else
        shape = hour < 6 ? 0.03 : hour < 9 ? 0.3 : hour < 17 ? 0.1 : hour < 23 ? 0.8 : 0.3;
    return shape * 260 * kMiB;
}

// The week's bytes spread evenly over its hours.
double flatMean() {
    static const double mean = [] {
        double week = 0;
        const QDateTime monday = QDate(2024, 5, 6).startOfDay();
        for (int hour = 0; hour < 7 * 24; ++hour)
            week += patternMean(monday.addSecs(3600 * hour));
        return week / (7 * 24);
    }();
    return mean;
}

struct History {
    QList<HistoryBucket> hours; // oldest first, in Berlin's time
    QDateTime start;            // where the history begins
    BillingCycle cycle;
};

// One made-up history around a cycle with the start day `startDay` that
// begins in the spring or autumn of 2024 (some cross a change of clocks).
History makeHistory(Kind kind, std::mt19937_64 &random, const QTimeZone &zone) {
    std::uniform_int_distribution<int> dayOfYear(0, 300), startDay(1, 28);
    const QDateTime some = QDate(2024, 1, 15).addDays(dayOfYear(random)).startOfDay(zone);
    History history;
    history.cycle = *billingCycleAt(some, startDay(random), zone);
    history.start = kind == Kind::NewNetwork ? history.cycle.start
                                             : history.cycle.start.addDays(-7 * kWeeksBefore);
    std::lognormal_distribution<double> dayLevel(-0.03, 0.25), hourNoise(-0.045, 0.3);
    std::uniform_real_distribution<double> chance(0, 1), burstSize(2048 * kMiB, 6144 * kMiB);
    const qint64 weeks = history.start.daysTo(history.cycle.end) / 7 + 1;
    const qint64 holiday = std::uniform_int_distribution<qint64>(0, weeks - 1)(random);
    double level = 1;
    QDate day;
    for (QDateTime at = history.start; at < history.cycle.end; at = at.addSecs(3600)) {
        const QDateTime local = at.toTimeZone(zone);
        if (local.date() != day) {
            day = local.date();
            level = dayLevel(random);
        }
        double bytes =
            (kind == Kind::Flat ? flatMean() : patternMean(local)) * level * hourNoise(random);
        if (kind == Kind::Holiday && history.start.daysTo(at) / 7 == holiday)
            bytes /= 20;
        // About two bursts a week.
        if (kind == Kind::Bursts && chance(random) < 2.0 / (7 * 24))
            bytes += burstSize(random);
        const auto whole = static_cast<quint64>(bytes);
        history.hours.append({local, whole / 10, whole - whole / 10, 0, 0});
    }
    return history;
}

double bytesIn(const History &history, const QDateTime &from, const QDateTime &to) {
    double bytes = 0;
    for (const HistoryBucket &hour : history.hours) {
        if (hour.start >= from && hour.start < to)
            bytes += static_cast<double>(hour.in + hour.out);
    }
    return bytes;
}

struct Errors {
    // Summed relative errors of the end-of-cycle projection, per checkpoint.
    double linear[std::size(kDays)] = {};
    double weekly[std::size(kDays)] = {};
};

void measure(Kind kind, int runs, const QTimeZone &zone, Errors *errors,
             std::vector<double> *profileTimes) {
    std::mt19937_64 random(1000 + static_cast<unsigned>(kind));
    for (int run = 0; run < runs; ++run) {
        const History history = makeHistory(kind, random, zone);
        const double actual = bytesIn(history, history.cycle.start, history.cycle.end);
        for (size_t checkpoint = 0; checkpoint < std::size(kDays); ++checkpoint) {
            const QDateTime now = history.cycle.start.addDays(kDays[checkpoint]);
            const double counted = bytesIn(history, history.cycle.start, now);
            const double linear = projectedTotal(counted, history.cycle, now);
            const Clock::time_point start = Clock::now();
            const WeekProfile profile =
                WeekProfile::fromHours(history.hours, history.start, now, zone);
            const double weekly = counted + profile.expectedBetween(now, history.cycle.end);
            profileTimes->push_back(millisecondsSince(start));
            errors->linear[checkpoint] += std::abs(linear - actual) / actual;
            errors->weekly[checkpoint] += std::abs(weekly - actual) / actual;
        }
    }
}

// What the report and the window pay: a profile read from a history file of
// a year of hours (the hourly rows of 90 days are kept).
void measureRead(const QTimeZone &zone) {
    QTemporaryDir folder;
    std::unique_ptr<HistoryStore> store;
    if (Status status = HistoryStore::open(folder.filePath(QStringLiteral("history.sqlite3")),
                                           {.zone = zone}, &store);
        !status.ok())
        fail("open", status);
    std::mt19937_64 random(3);
    const History history = makeHistory(Kind::Weekly, random, zone);
    std::vector<HistoryEntry> entries;
    for (const HistoryBucket &hour : history.hours)
        entries.push_back(
            {QStringLiteral("home"), hour.start.addSecs(1800), hour.in, hour.out, history.start});
    if (Status status = store->add(entries); !status.ok())
        fail("add", status);
    const QDateTime now = history.cycle.start.addDays(14);
    std::vector<double> times;
    WeekProfile profile;
    for (int round = 0; round < kTimedReads; ++round) {
        const Clock::time_point start = Clock::now();
        if (Status status = readWeekProfile(*store, QStringLiteral("home"), now, zone, &profile);
            !status.ok())
            fail("read", status);
        times.push_back(millisecondsSince(start));
    }
    const Spread spread = spreadOf(times);
    std::printf("reading a profile from the history (eight weeks of hours, %d rounds): median "
                "%.3f ms, worst %.3f ms\n",
                kTimedReads, spread.median, spread.worst);
    printFigure("weekly projection: read a profile from the history, median", spread.median, "ms");
}

} // namespace

int run(int runs) {
    const QTimeZone zone("Europe/Berlin");
    std::printf("End-of-cycle error, the mean over %d histories of each kind of |projected - "
                "actual| / actual:\n\n",
                runs);
    std::printf("| %-14s | day | linear | weekly | weekly / linear |\n", "history");
    std::printf("|----------------|----:|-------:|-------:|----------------:|\n");
    std::vector<double> profileTimes;
    for (const auto &kind : kKinds) {
        Errors errors;
        measure(kind.kind, runs, zone, &errors, &profileTimes);
        double linearAll = 0, weeklyAll = 0;
        for (size_t checkpoint = 0; checkpoint < std::size(kDays); ++checkpoint) {
            const double linear = 100 * errors.linear[checkpoint] / runs;
            const double weekly = 100 * errors.weekly[checkpoint] / runs;
            linearAll += linear / std::size(kDays);
            weeklyAll += weekly / std::size(kDays);
            std::printf("| %-14s | %3d | %5.1f%% | %5.1f%% | %15.2f |\n",
                        checkpoint == 0 ? kind.name : "", kDays[checkpoint], linear, weekly,
                        weekly / linear);
            const std::string figure = std::string("projection error, ") + kind.name + ", day " +
                                       std::to_string(kDays[checkpoint]);
            printFigure(figure + ": linear", linear, "%", 1);
            printFigure(figure + ": weekly", weekly, "%", 1);
        }
        std::printf("| %-14s | all | %5.1f%% | %5.1f%% | %15.2f |\n", "", linearAll, weeklyAll,
                    weeklyAll / linearAll);
    }
    const Spread spread = spreadOf(profileTimes);
    std::printf("\nmaking a profile and projecting with it: median %.3f ms, worst %.3f ms\n",
                spread.median, spread.worst);
    printFigure("weekly projection: make a profile and project, median", spread.median, "ms");
    measureRead(zone);
    return 0;
}

} // namespace flowtally

int main(int argc, char **argv) {
    using namespace flowtally;
    int runs = kDefaultRuns;
    if (argc > 1) {
        runs = std::atoi(argv[1]);
        if (runs < kMinimumRuns || runs > kMaximumRuns) {
            std::fprintf(stderr, "usage: bench_projection [histories per kind, %d to %d]\n",
                         kMinimumRuns, kMaximumRuns);
            return 2;
        }
    }
    return run(runs);
}
