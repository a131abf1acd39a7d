// A network's figures at a moment: the projections where they can be had
// and none where they cannot, the bytes counted in a billing cycle, and
// totals that do not wrap. The projection that knows the week, on small
// histories: nothing told for a history of less than a day, the week's
// pattern carried forward, hours not seen yet taken from the same hour of
// other days, the changes of Berlin's clocks, and the end it projects to.
#include "record/NetworkFigures.h"
#include "record/WeeklyProjection.h"

#include "tests/support/StoredRecord.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace flowtally {

namespace {

QDateTime at(const char *iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

const QTimeZone kBerlin("Europe/Berlin");
const QDateTime now = at("2024-03-05T11:00:00Z");

TEST(NetworkFigures, ProjectionsAndTheBytesOfTheCycle) {
    constexpr quint64 kDay = 86400;
    // clang-format off
    const struct {
        const char *what; NetworkRecord record;
        std::optional<double> thirtyDays; TrafficTotals counted; std::optional<double> cycleEnd;
    } cases[] = {
        // Ten days since the reset: three times as much in thirty. The cycle
        // began 20 days and 12 hours ago and lasts 29 days.
        {"ten days", storedRecord("n", now.addDays(-10), 2 * kDay, kDay, 0, 14),
         9.0 * kDay, {2 * kDay, kDay}, 3.0 * kDay / 20.5 * 29},
        {"reset in the future", storedRecord("n", now.addSecs(60), 1, 0), std::nullopt, {}, std::nullopt},
        {"reset never", storedRecord("n", QDateTime(), 0, 0, 0, 14), std::nullopt, {}, 0.0},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const NetworkFigures figures = figuresOf(c.record, now, kBerlin);
        ASSERT_EQ(figures.thirtyDayProjection.has_value(), c.thirtyDays.has_value());
        if (c.thirtyDays) {
            EXPECT_NEAR(*figures.thirtyDayProjection, *c.thirtyDays, 1e-6 * *c.thirtyDays);
        }
        ASSERT_EQ(figures.cycle.has_value(), c.record.cycleStartDay != 0);
        if (!figures.cycle)
            continue;
        EXPECT_EQ(figures.cycle->counted, c.counted);
        ASSERT_EQ(figures.cycle->projectedTotal.has_value(), c.cycleEnd.has_value());
        if (c.cycleEnd) {
            EXPECT_NEAR(*figures.cycle->projectedTotal, *c.cycleEnd, 1e-6 * *c.cycleEnd);
        }
    }

    // At a cycle's first moment there is nothing to project from.
    const QDateTime cycleStart = at("2024-03-04T23:00:00Z");
    const NetworkFigures first =
        figuresOf(storedRecord("n", cycleStart, 0, 0, 0, 5), cycleStart, kBerlin);
    ASSERT_TRUE(first.cycle);
    EXPECT_EQ(first.cycle->cycle.start, cycleStart);
    EXPECT_FALSE(first.cycle->projectedTotal);
}

// The plan holds the billed bytes against the limit: those of the cycle
// (since the reset without one) less what free hours counted.
TEST(NetworkFigures, TheBilledBytesAgainstTheLimit) {
    const auto withFree = [](NetworkRecord record, quint64 freeIn, quint64 freeOut) {
        record.freeIn = freeIn;
        record.freeOut = freeOut;
        return record;
    };
    constexpr quint64 kMost = std::numeric_limits<quint64>::max();
    const NetworkRecord tenDays = storedRecord("n", now.addDays(-10), 600, 400, 2000, 14);
    // clang-format off
    const struct { const char *what; NetworkRecord record; quint64 billed; std::optional<double> share; bool over; } cases[] = {
        {"free hours", withFree(tenDays, 500, 100), 400, 0.2, false},
        {"at the limit", storedRecord("n", now.addDays(-10), 1500, 500, 2000), 2000, 1.0, false},
        {"over the limit, but for free hours",
         withFree(storedRecord("n", now.addDays(-10), 2500, 0, 2000), 600, 0), 1900, 0.95, false},
        {"over the limit", storedRecord("n", now.addDays(-10), 2001, 0, 2000), 2001, 1.0005, true},
        // The sum is held at the largest count rather than wrapping.
        {"the largest count", storedRecord("n", now.addDays(-10), kMost, 5), kMost, std::nullopt, false},
        {"a sum one below it", storedRecord("n", now.addDays(-10), kMost - 6, 5), kMost - 1, std::nullopt, false},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const NetworkFigures figures = figuresOf(c.record, now, kBerlin);
        EXPECT_EQ(figures.billed, c.billed);
        EXPECT_EQ(figures.limitShare, c.share);
        EXPECT_EQ(figures.overLimit, c.over);
    }
    // The cycle's projection of the billed bytes beside that of all of them.
    const NetworkFigures free = figuresOf(cases[0].record, now, kBerlin);
    ASSERT_TRUE(free.cycle && free.cycle->projectedBilled && free.cycle->projectedTotal);
    EXPECT_DOUBLE_EQ(*free.cycle->projectedBilled, *free.cycle->projectedTotal * 0.4);
    EXPECT_EQ(free.cycle->free, (TrafficTotals{500, 100}));
}

// A wall-clock time in Berlin.
QDateTime berlin(const char *iso) {
    QDateTime time = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    time.setTimeZone(kBerlin);
    return time;
}

using Billed = std::function<quint64(const QDateTime &)>;

// The profile, read at `to`, of hourly buckets from `from` on as the history
// gives them: the billed bytes of each local hour are `billed(local time)`,
// half of it in, half out; hours without bytes have no bucket. Each bucket
// also holds free bytes, which the profile leaves out.
WeekProfile profileOf(const QDateTime &from, const QDateTime &to, const Billed &billed) {
    QList<HistoryBucket> buckets;
    for (QDateTime at = from; at < to; at = at.addSecs(3600)) {
        const quint64 bytes = billed(at.toTimeZone(kBerlin));
        if (bytes != 0)
            buckets.append({at.toTimeZone(kBerlin), bytes / 2 + 7, bytes - bytes / 2 + 3, 7, 3});
    }
    return WeekProfile::fromHours(buckets, from, to, kBerlin);
}

const auto flat = [](const QDateTime &) -> quint64 { return 1000; };

quint64 weekends(const QDateTime &local) {
    return local.date().dayOfWeek() >= 6 ? 10000 : 1000;
}

TEST(WeekProfile, TheBytesExpectedOfTheHoursSeen) {
    // 2000 bytes at 20:00 only, 3000 on Tuesdays.
    const auto evenings = [](const QDateTime &local) -> quint64 {
        return local.time().hour() != 20 ? 0 : local.date().dayOfWeek() == 2 ? 3000 : 2000;
    };
    // Weekends ten times as busy, and before those eight weeks much more.
    const Billed eightWeeks = [](const QDateTime &local) {
        return local < berlin("2024-04-08T12:00:00") ? 99999 : weekends(local);
    };
    // clang-format off
    const struct {
        const char *what, *from, *now; Billed billed; const char *between, *until; std::optional<double> bytes;
    } cases[] = {
        // Less than a day of history tells nothing.
        {"23.5 hours", "2024-05-06T09:00:00", "2024-05-07T08:30:00", flat, "2024-05-07T09:00:00", "2024-05-08T09:00:00", std::nullopt},
        {"a day", "2024-05-06T09:00:00", "2024-05-07T09:00:00", flat, "2024-05-07T09:00:00", "2024-05-08T09:00:00", 24000},
        // The week's pattern is carried forward: four weeks from Monday 6 May
        // to Monday 3 June, 12:00; of a longer history only eight weeks are read.
        {"a Saturday", "2024-05-06T00:00:00", "2024-06-03T12:00:00", weekends, "2024-06-08T00:00:00", "2024-06-09T00:00:00", 240000},
        {"the rest of Monday, 11.5 hours", "2024-05-06T00:00:00", "2024-06-03T12:00:00", weekends, "2024-06-03T12:30:00", "2024-06-04T00:00:00", 11500},
        {"a Saturday after ten weeks", "2024-02-26T00:00:00", "2024-06-03T12:00:00", eightWeeks, "2024-06-08T00:00:00", "2024-06-09T00:00:00", 240000},
        // Monday to Wednesday: Thursday at 20:00 has not been seen, the mean
        // of the days' 20:00 stands for it; Tuesday's 20:00 keeps its own.
        {"Thursday", "2024-05-06T00:00:00", "2024-05-09T00:00:00", evenings, "2024-05-09T00:00:00", "2024-05-10T00:00:00", 7000.0 / 3},
        {"Tuesday 20:00", "2024-05-06T00:00:00", "2024-05-09T00:00:00", evenings, "2024-05-14T20:00:00", "2024-05-14T21:00:00", 3000},
        // Two weeks: the day the clocks go forward has 23 hours, the one they go back 25.
        {"clocks forward", "2024-03-16T00:00:00", "2024-03-30T00:00:00", flat, "2024-03-31T00:00:00", "2024-04-01T00:00:00", 23000},
        {"clocks back", "2024-10-12T00:00:00", "2024-10-26T00:00:00", flat, "2024-10-27T00:00:00", "2024-10-28T00:00:00", 25000},
        // A day that lacks 02:00, as the clocks went forward: the mean of all
        // the hours seen, (23 * 10000 + 1000) / 24, stands for it.
        {"02:00 never seen", "2024-03-31T00:00:00", "2024-04-01T01:00:00", weekends, "2024-04-01T02:00:00", "2024-04-01T03:00:00", 9625},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const WeekProfile profile = profileOf(berlin(c.from), berlin(c.now), c.billed);
        EXPECT_EQ(profile.knowsEnough(), c.bytes.has_value());
        if (c.bytes) {
            EXPECT_DOUBLE_EQ(profile.expectedBetween(berlin(c.between), berlin(c.until)), *c.bytes);
        }
    }
    EXPECT_EQ(WeekProfile::readFrom(berlin("2024-06-03T12:00:00")), berlin("2024-04-08T12:00:00"));
    const QDateTime day = berlin("2024-05-06T00:00:00");
    EXPECT_DOUBLE_EQ(WeekProfile().expectedBetween(day, day.addDays(1)), 0);
}

TEST(ExpectedTotal, TheEndItProjectsTo) {
    const QDateTime start = berlin("2024-05-06T00:00:00");
    const QDateTime now = start.addDays(14);
    const WeekProfile profile = profileOf(start, now, flat);
    // A cycle from the 15th: the billed bytes so far, and 1000 an hour to
    // the 15th of June.
    NetworkRecord record = storedRecord("n", berlin("2024-05-15T00:00:00"), 5000, 1000, 0, 15);
    record.freeIn = 2000;
    const NetworkFigures cycle = figuresOf(record, now, kBerlin);
    EXPECT_EQ(expectedTotal(cycle, profile, now),
              (ExpectedTotal{berlin("2024-06-15T00:00:00"), 4000.0 + 26 * 24 * 1000}));
    // Without a cycle, thirty days after the reset date; none once they are over.
    const NetworkFigures noCycle = figuresOf(storedRecord("n", start, 5000, 1000), now, kBerlin);
    EXPECT_EQ(expectedTotal(noCycle, profile, now),
              (ExpectedTotal{start.addDays(30), 6000.0 + 16 * 24 * 1000}));
    EXPECT_FALSE(expectedTotal(
        figuresOf(storedRecord("n", start.addDays(-20), 5000, 1000), now, kBerlin), profile, now));
}

} // namespace

} // namespace flowtally
