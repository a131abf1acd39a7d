// Where local hours, days and months begin, at the edges that go wrong:
// ends of hours, days and months, clocks that go forward and back by an hour
// or by half an hour, a zone half an hour off the hour, a day without its
// midnight. The billing cycle's rules: where a cycle starts and ends for
// start days a month may not have, its length and days left across a change
// of clocks, when the automatic reset is due, the projection and the limit's
// pace, and the days of a history summed per cycle.
#include "history/BillingCycle.h"
#include "history/CycleBuckets.h"
#include "history/LocalBuckets.h"
#include "tests/history/HistoryFixture.h"

#include <cmath>

namespace flowtally {

namespace {

constexpr qint64 kDay = 86400;
const QTimeZone berlin("Europe/Berlin");

// The start of a day in Berlin: "2024-02-29".
QDateTime dayStart(const char *date) {
    return QDate::fromString(QString::fromLatin1(date), Qt::ISODate).startOfDay(berlin);
}

TEST(LocalBuckets, StartsOfHourDayAndMonth) {
    // clang-format off
    const struct { const char *zone, *moment, *hour, *day, *month; } cases[] = {
        // Berlin, winter: the last second of January and the first of February.
        {"Europe/Berlin", "2024-01-31T22:59:59Z", "2024-01-31T22:00:00Z", "2024-01-30T23:00:00Z", "2023-12-31T23:00:00Z"},
        {"Europe/Berlin", "2024-01-31T23:00:00Z", "2024-01-31T23:00:00Z", "2024-01-31T23:00:00Z", "2024-01-31T23:00:00Z"},
        // Berlin, clocks forward at 02:00 CET: 01:59:59 CET, 03:00 CEST, and the next day in CEST.
        {"Europe/Berlin", "2024-03-31T00:59:59Z", "2024-03-31T00:00:00Z", "2024-03-30T23:00:00Z", "2024-02-29T23:00:00Z"},
        {"Europe/Berlin", "2024-03-31T01:00:00Z", "2024-03-31T01:00:00Z", "2024-03-30T23:00:00Z", "2024-02-29T23:00:00Z"},
        {"Europe/Berlin", "2024-03-31T22:30:00Z", "2024-03-31T22:00:00Z", "2024-03-31T22:00:00Z", "2024-03-31T22:00:00Z"},
        // Berlin, clocks back at 03:00 CEST: 02:30 CEST and 02:30 CET are two hours.
        {"Europe/Berlin", "2024-10-27T00:30:00Z", "2024-10-27T00:00:00Z", "2024-10-26T22:00:00Z", "2024-09-30T22:00:00Z"},
        {"Europe/Berlin", "2024-10-27T01:30:00Z", "2024-10-27T01:00:00Z", "2024-10-26T22:00:00Z", "2024-09-30T22:00:00Z"},
        // Kolkata, UTC+5:30: hours begin at half past in UTC.
        {"Asia/Kolkata", "2024-05-10T04:29:59Z", "2024-05-10T03:30:00Z", "2024-05-09T18:30:00Z", "2024-04-30T18:30:00Z"},
        // Lord Howe, clocks forward half an hour at 02:00 (+10:30 to +11): 01:59:59, 02:30 and 03:00 local.
        {"Australia/Lord_Howe", "2024-10-05T15:29:59Z", "2024-10-05T14:30:00Z", "2024-10-05T13:30:00Z", "2024-09-30T13:30:00Z"},
        {"Australia/Lord_Howe", "2024-10-05T15:40:00Z", "2024-10-05T15:30:00Z", "2024-10-05T13:30:00Z", "2024-09-30T13:30:00Z"},
        {"Australia/Lord_Howe", "2024-10-05T16:00:00Z", "2024-10-05T16:00:00Z", "2024-10-05T13:30:00Z", "2024-09-30T13:30:00Z"},
        // Lord Howe, clocks back half an hour at 02:00 (+11 to +10:30): 01:59:59, 01:40 and 02:00 local.
        {"Australia/Lord_Howe", "2024-04-06T14:59:59Z", "2024-04-06T14:00:00Z", "2024-04-06T13:00:00Z", "2024-03-31T13:00:00Z"},
        {"Australia/Lord_Howe", "2024-04-06T15:10:00Z", "2024-04-06T15:00:00Z", "2024-04-06T13:00:00Z", "2024-03-31T13:00:00Z"},
        {"Australia/Lord_Howe", "2024-04-06T15:30:00Z", "2024-04-06T15:30:00Z", "2024-04-06T13:00:00Z", "2024-03-31T13:00:00Z"},
        // Havana, clocks forward at midnight: 10 March begins at 01:00 CDT.
        {"America/Havana", "2024-03-10T12:00:00Z", "2024-03-10T12:00:00Z", "2024-03-10T05:00:00Z", "2024-03-01T05:00:00Z"},
        {"America/Havana", "2024-03-10T04:59:59Z", "2024-03-10T04:00:00Z", "2024-03-09T05:00:00Z", "2024-03-01T05:00:00Z"},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.zone) + ' ' + c.moment);
        const QTimeZone in = zone(c.zone);
        const qint64 moment = utc(c.moment).toSecsSinceEpoch();
        EXPECT_EQ(localHourStart(moment, in), utc(c.hour).toSecsSinceEpoch());
        EXPECT_EQ(localDayStart(moment, in), utc(c.day).toSecsSinceEpoch());
        EXPECT_EQ(localMonthStart(moment, in), utc(c.month).toSecsSinceEpoch());
    }
}

TEST(BillingCycle, StartAndEnd) {
    // clang-format off
    const struct { int day; const char *now, *start, *end; } cases[] = {
        {31, "2024-02-15T12:00:00", "2024-01-31", "2024-02-29"}, // leap year: February's last day
        {31, "2024-02-29T00:00:00", "2024-02-29", "2024-03-31"},
        {31, "2023-02-27T23:59:59", "2023-01-31", "2023-02-28"}, // common year
        {31, "2023-02-28T00:00:00", "2023-02-28", "2023-03-31"},
        {30, "2024-02-29T08:00:00", "2024-02-29", "2024-03-30"},
        {30, "2023-02-28T08:00:00", "2023-02-28", "2023-03-30"},
        {29, "2023-03-01T08:00:00", "2023-02-28", "2023-03-29"},
        {31, "2024-04-29T23:59:59", "2024-03-31", "2024-04-30"}, // 30-day months
        {31, "2024-04-30T00:00:00", "2024-04-30", "2024-05-31"},
        {1, "2024-12-31T23:59:59", "2024-12-01", "2025-01-01"},  // across the year
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.day) + ' ' + c.now);
        const std::optional<BillingCycle> cycle =
            billingCycleAt(local(c.now, berlin), c.day, berlin);
        ASSERT_TRUE(cycle);
        EXPECT_EQ(cycle->start, dayStart(c.start));
        EXPECT_EQ(cycle->end, dayStart(c.end));
    }
    for (const int off : {0, -1, 32})
        EXPECT_FALSE(billingCycleAt(local("2024-02-15T12:00:00", berlin), off, berlin)) << off;
}

TEST(BillingCycle, LengthDaysLeftAndRatesAcrossAChangeOfClocks) {
    // March 2024 in Berlin loses an hour, October gains one; Kolkata keeps
    // its clocks.
    // clang-format off
    const struct { const char *zone, *now; qint64 length; int daysLeft; double elapsed; } cases[] = {
        {"Europe/Berlin", "2024-03-16T00:00:00", 31 * kDay - 3600, 16, 15 * kDay},
        {"Europe/Berlin", "2024-03-31T12:00:00", 31 * kDay - 3600, 1, 30.5 * kDay - 3600},
        {"Europe/Berlin", "2024-03-30T23:30:00", 31 * kDay - 3600, 2, 30 * kDay - 1800},
        {"Europe/Berlin", "2024-10-27T12:00:00", 31 * kDay + 3600, 5, 26.5 * kDay + 3600},
        {"Asia/Kolkata", "2024-03-31T12:00:00", 31 * kDay, 1, 30.5 * kDay},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.zone) + ' ' + c.now);
        const QTimeZone in = zone(c.zone);
        const QDateTime now = local(c.now, in);
        const std::optional<BillingCycle> cycle = billingCycleAt(now, 1, in);
        ASSERT_TRUE(cycle);
        EXPECT_EQ(cycleSeconds(*cycle), c.length);
        EXPECT_EQ(daysLeft(*cycle, now), c.daysLeft);
        EXPECT_DOUBLE_EQ(projectedTotal(1e9, *cycle, now), 1e9 / c.elapsed * double(c.length));
        EXPECT_DOUBLE_EQ(limitPace(5e10, *cycle, now), 5e10 * c.elapsed / double(c.length));
    }
    // At the cycle's first moment nothing has elapsed.
    const BillingCycle march = *billingCycleAt(local("2024-03-01T00:00:00", berlin), 1, berlin);
    EXPECT_TRUE(std::isinf(projectedTotal(1, march, march.start)));
    EXPECT_EQ(limitPace(5e10, march, march.start), 0);
    EXPECT_EQ(limitPace(5e10, march, march.end), 5e10);
}

TEST(BillingCycle, ResetIsDueOnceTheCycleStartPassedAfterThePeriodBegan) {
    // clang-format off
    const struct { const char *what, *periodStart, *now; int day; bool due; } cases[] = {
        {"before the start day", "2024-03-10T09:00:00", "2024-03-14T23:59:59", 15, false},
        {"at the start day's midnight", "2024-03-10T09:00:00", "2024-03-15T00:00:00", 15, true},
        {"stopped over the start day", "2024-03-10T09:00:00", "2024-03-17T10:00:00", 15, true},
        {"stopped for two cycles", "2024-03-10T09:00:00", "2024-05-20T10:00:00", 15, true},
        {"reset to the cycle start", "2024-05-15T00:00:00", "2024-05-20T10:00:00", 15, false},
        {"reset when it was noticed", "2024-05-20T10:00:00", "2024-05-20T10:00:01", 15, false},
        {"period began after the start", "2024-03-15T00:00:01", "2024-04-14T23:59:59", 15, false},
        {"day 31 in a 30-day month", "2024-04-01T09:00:00", "2024-04-30T00:00:00", 31, true},
        // The start day moved from the 5th: to a day already passed in the
        // period, the reset is due now; to a later one, when it comes.
        {"day moved back mid-cycle", "2024-03-05T00:00:00", "2024-03-20T12:00:00", 15, true},
        {"day moved ahead mid-cycle", "2024-03-05T00:00:00", "2024-03-20T12:00:00", 25, false},
        {"day moved ahead, reached", "2024-03-05T00:00:00", "2024-03-25T00:00:00", 25, true},
        {"no cycle", "2024-03-10T09:00:00", "2024-05-20T10:00:00", 0, false},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(resetDue(local(c.periodStart, berlin), local(c.now, berlin), c.day, berlin),
                  c.due)
            << c.what;
    EXPECT_FALSE(resetDue({}, local("2024-05-20T10:00:00", berlin), 15, berlin));
}

// Days go to the cycle their day lies in, the cycle's first day to the new
// one, a start day a month lacks to the month's last day.
TEST(BillingCycle, DaysSummedPerCycle) {
    // clang-format off
    const struct { int startDay; QList<const char *> days; QList<std::pair<const char *, quint64>> cycles; } cases[] = {
        {20, {"2024-03-18", "2024-03-19", "2024-03-20", "2024-04-19", "2024-04-20"},
         {{"2024-02-20", 2}, {"2024-03-20", 2}, {"2024-04-20", 1}}},
        {31, {"2024-02-28", "2024-02-29", "2024-03-30", "2024-03-31"},
         {{"2024-01-31", 1}, {"2024-02-29", 2}, {"2024-03-31", 1}}},
        {1, {"2024-03-31", "2024-03-01", "2024-02-29"}, {{"2024-02-01", 1}, {"2024-03-01", 2}}},
        {0, {"2024-03-18"}, {}},
    };
    // clang-format on
    for (const auto &c : cases) {
        QList<HistoryBucket> days;
        for (const char *day : c.days)
            days.append({dayStart(day), 1000, 10, 100, 1});
        QList<HistoryBucket> expected;
        for (const auto &[start, count] : c.cycles)
            expected.append({dayStart(start), 1000 * count, 10 * count, 100 * count, count});
        EXPECT_EQ(cycleBuckets(days, c.startDay, berlin), expected) << c.startDay;
    }
}

} // namespace

} // namespace flowtally
