// The days a cycle chart shows: which days, with which bytes, the running
// total and the limit's pace, for cycles across a month's end, a start day a
// month lacks and a change of clocks; and the period shown without a cycle.
#include "charts/CycleDays.h"

#include "tests/charts/ChartTesting.h"

#include <cmath>

namespace flowtally {

namespace {

// A day's bytes: its day of the year in MiB in, a tenth out.
TrafficTotals bytesOf(const QDate &date) {
    return {quint64(date.dayOfYear()) * kM, quint64(date.dayOfYear()) * kM / 10};
}

// The daily buckets of a history with bytes on every day of [first, last],
// their starts in UTC.
QList<HistoryBucket> history(const QDate &first, const QDate &last, const QTimeZone &in) {
    QList<HistoryBucket> days;
    for (QDate date = first; date <= last; date = date.addDays(1))
        days.append({date.startOfDay(in).toUTC(), bytesOf(date).in, bytesOf(date).out});
    return days;
}

using CycleDays = HistoryFixture;

TEST_F(CycleDays, OneBarPerDayOfTheCycleWithThatDaysBytes) {
    // clang-format off
    const struct { const char *zone, *now; int startDay; const char *first, *last; int count; } cases[] = {
        {"Europe/Berlin", "2024-03-27T20:00:00", 20, "2024-03-20", "2024-04-19", 31}, // across a month's end
        {"Europe/Berlin", "2024-04-15T09:00:00", 31, "2024-03-31", "2024-04-29", 30}, // day 31, 30-day month
        {"Europe/Berlin", "2024-05-10T09:00:00", 31, "2024-04-30", "2024-05-30", 31},
        {"Europe/Berlin", "2024-03-31T12:00:00", 1, "2024-03-01", "2024-03-31", 31},  // clocks go forward
        {"Europe/Berlin", "2024-10-27T23:59:00", 1, "2024-10-01", "2024-10-31", 31},  // clocks go back
        {"America/New_York", "2024-03-10T12:00:00", 5, "2024-03-05", "2024-04-04", 31},
        {"Europe/Berlin", "2024-02-29T00:00:00", 31, "2024-02-29", "2024-03-30", 31}, // leap day
    };
    // clang-format on
    for (const auto &c : cases) {
        const QTimeZone in = zone(c.zone);
        const QDateTime now = local(c.now, in);
        const BillingCycle cycle = *billingCycleAt(now, c.startDay, in);
        const QDate first = QDate::fromString(QString::fromLatin1(c.first), Qt::ISODate);
        const QDate last = QDate::fromString(QString::fromLatin1(c.last), Qt::ISODate);
        // Bytes on the days around the cycle too: they stay out.
        const QList<CycleDay> days =
            cycleDays(cycle, history(first.addDays(-3), last.addDays(3), in), 0, now);
        SCOPED_TRACE(std::string(c.zone) + ' ' + c.now);
        ASSERT_EQ(days.size(), c.count);
        quint64 total = 0;
        for (qsizetype index = 0; index < days.size(); ++index) {
            const CycleDay &day = days[index];
            SCOPED_TRACE(day.date.toString(Qt::ISODate).toStdString());
            EXPECT_EQ(day.date, first.addDays(index));
            const bool toCome = day.date > now.date();
            EXPECT_EQ(day.toCome, toCome);
            const TrafficTotals expected = toCome ? TrafficTotals() : bytesOf(day.date);
            EXPECT_EQ(TrafficTotals({day.in, day.out}), expected);
            total += expected.in + expected.out;
            EXPECT_EQ(day.totalThrough, total);
        }
    }
}

TEST_F(CycleDays, PaceEndsAtTheLimitOnTheLastDayAndFollowsTheClocks) {
    const BillingCycle march = *billingCycleAt(local("2024-03-05T12:00:00", berlin), 1, berlin);
    const double limit = 250.0 * kG;
    const QList<CycleDay> days = cycleDays(march, {}, limit, local("2024-03-05T12:00:00", berlin));
    ASSERT_EQ(days.size(), 31);
    EXPECT_DOUBLE_EQ(days.last().pace, limit);
    // March 31 is an hour short: the days before it take a bit more than a
    // 31st of the limit each, and the last a bit less.
    const double cycleLength = 31 * 86400.0 - 3600;
    EXPECT_DOUBLE_EQ(days[0].pace, limit * 86400 / cycleLength);
    EXPECT_DOUBLE_EQ(days[29].pace, limit * 30 * 86400 / cycleLength);
    for (qsizetype index = 1; index < days.size(); ++index)
        EXPECT_GT(days[index].pace, days[index - 1].pace) << index;

    for (const double none : {0.0, -1.0, qInf(), qQNaN()}) {
        for (const CycleDay &day : cycleDays(march, {}, none, march.start))
            EXPECT_TRUE(std::isnan(day.pace)) << none;
    }
}

TEST_F(CycleDays, WithoutACycleThirtyDaysFromTheResetOrEndingToday) {
    const QDateTime now = local("2024-03-27T20:00:00", berlin);
    // clang-format off
    const struct { QDateTime reset; const char *first; } cases[] = {
        {local("2024-03-17T15:30:00", berlin), "2024-03-17"},  // ten days back: from its day
        {local("2024-02-27T00:00:00", berlin), "2024-02-27"},  // 29 days back
        {local("2024-02-26T23:59:59", berlin), "2024-02-27"},  // 30 days back: the last thirty
        {local("2023-11-01T08:00:00", berlin), "2024-02-27"},
        {QDateTime::fromSecsSinceEpoch(0), "2024-02-27"},      // not set
        {QDateTime(), "2024-02-27"},
        {local("2024-03-29T08:00:00", berlin), "2024-03-27"},  // after today: today
        {utc("2024-03-16T23:30:00Z"), "2024-03-17"},           // the day in Berlin
    };
    // clang-format on
    for (const auto &c : cases) {
        const BillingCycle period = periodWithoutCycle(c.reset, now, berlin);
        const QDate first = QDate::fromString(QString::fromLatin1(c.first), Qt::ISODate);
        EXPECT_EQ(period.start, first.startOfDay(berlin)) << c.first;
        EXPECT_EQ(period.end, first.addDays(kDaysWithoutCycle).startOfDay(berlin)) << c.first;
        EXPECT_EQ(cycleDays(period, {}, 0, now).size(), kDaysWithoutCycle) << c.first;
    }
}

} // namespace

} // namespace flowtally
