// A network's figures at a moment: the projections where they can be had
// and none where they cannot, the bytes counted in a billing cycle, and
// totals that do not wrap.
#include "NetworkFigures.h"

#include "StoredRecord.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace flowtally {

namespace {

QDateTime at(const char *iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

const QTimeZone berlin("Europe/Berlin");
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
        {"reset at this moment", storedRecord("n", now, 1, 0), std::nullopt, {}, std::nullopt},
        {"reset in the future", storedRecord("n", now.addSecs(60), 1, 0), std::nullopt, {}, std::nullopt},
        {"reset never", storedRecord("n", QDateTime(), 0, 0, 0, 14), std::nullopt, {}, 0.0},
        // Reset by hand within the cycle: all of it is in the cycle.
        {"reset after the cycle began", storedRecord("n", at("2024-03-01T00:00:00Z"), 100, 20, 0, 14),
         120.0 * 30 / 4.4583333333333333, {100, 20}, 120.0 / 20.5 * 29},
        // Flowtally has not run since the cycle began.
        {"reset before the cycle began", storedRecord("n", at("2024-02-13T22:59:59Z"), 100, 20, 0, 14),
         120.0 * 2592000 / 1771201, {}, 0.0},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const NetworkFigures figures = figuresOf(c.record, now, berlin);
        ASSERT_EQ(figures.thirtyDayProjection.has_value(), c.thirtyDays.has_value());
        if (c.thirtyDays)
            EXPECT_NEAR(*figures.thirtyDayProjection, *c.thirtyDays, 1e-6 * *c.thirtyDays);
        ASSERT_EQ(figures.cycle.has_value(), c.record.cycleStartDay != 0);
        if (!figures.cycle)
            continue;
        EXPECT_EQ(figures.cycle->counted, c.counted);
        ASSERT_EQ(figures.cycle->projectedTotal.has_value(), c.cycleEnd.has_value());
        if (c.cycleEnd)
            EXPECT_NEAR(*figures.cycle->projectedTotal, *c.cycleEnd, 1e-6 * *c.cycleEnd);
    }

    // At a cycle's first moment there is nothing to project from.
    const QDateTime cycleStart = at("2024-03-04T23:00:00Z");
    const NetworkFigures first =
        figuresOf(storedRecord("n", cycleStart, 0, 0, 0, 5), cycleStart, berlin);
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
    const NetworkRecord tenDays = storedRecord("n", now.addDays(-10), 600, 400, 2000, 14);
    // clang-format off
    const struct { const char *what; NetworkRecord record; quint64 billed; std::optional<double> share; bool over; } cases[] = {
        {"no free hours", tenDays, 1000, 0.5, false},
        {"free hours", withFree(tenDays, 500, 100), 400, 0.2, false},
        {"at the limit", storedRecord("n", now.addDays(-10), 1500, 500, 2000), 2000, 1.0, false},
        {"over the limit, but for free hours",
         withFree(storedRecord("n", now.addDays(-10), 2500, 0, 2000), 600, 0), 1900, 0.95, false},
        {"over the limit", storedRecord("n", now.addDays(-10), 2001, 0, 2000), 2001, 1.0005, true},
        {"no limit", storedRecord("n", now.addDays(-10), 2001, 0), 2001, std::nullopt, false},
        // Flowtally has not run since the cycle began: nothing billed in it.
        {"totals of the cycle before",
         withFree(storedRecord("n", at("2024-02-01T00:00:00Z"), 2500, 0, 2000, 14), 100, 0), 0, 0.0, false},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const NetworkFigures figures = figuresOf(c.record, now, berlin);
        EXPECT_EQ(figures.billed, c.billed);
        EXPECT_EQ(figures.limitShare, c.share);
        EXPECT_EQ(figures.overLimit, c.over);
    }
    // The cycle's projection of the billed bytes beside that of all of them.
    const NetworkFigures free = figuresOf(cases[1].record, now, berlin);
    ASSERT_TRUE(free.cycle && free.cycle->projectedBilled && free.cycle->projectedTotal);
    EXPECT_DOUBLE_EQ(*free.cycle->projectedBilled, *free.cycle->projectedTotal * 0.4);
    EXPECT_EQ(free.cycle->free, (TrafficTotals{500, 100}));
}

TEST(NetworkFigures, TotalsAreHeldAtTheLargestCount) {
    constexpr quint64 kMost = std::numeric_limits<quint64>::max();
    EXPECT_EQ(totalOf({kMost, 5}), kMost);
    EXPECT_EQ(totalOf({kMost - 5, 5}), kMost);
    EXPECT_EQ(totalOf({kMost - 6, 5}), kMost - 1);
    // The cycle's projection stays finite however large the totals.
    const NetworkFigures figures =
        figuresOf(storedRecord("n", now.addDays(-1), kMost, kMost, 0, 5), now, QTimeZone::utc());
    ASSERT_TRUE(figures.cycle && figures.cycle->projectedTotal);
    EXPECT_TRUE(std::isfinite(*figures.cycle->projectedTotal));
}

} // namespace

} // namespace flowtally
