#pragma once

#include "history/BillingCycle.h"
#include "history/HistoryBucket.h"
#include "history/TrafficTotals.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include <optional>

namespace flowtally {

// One day of the period a cycle chart shows.
struct CycleDay {
    QDate date;
    quint64 in = 0;
    quint64 out = 0;
    // After today: no bytes and no running total.
    bool toCome = false;
    // The total at the end of this day: the bytes since the reset for the
    // reset's day and the days after it, else since the period began.
    quint64 totalThrough = 0;
    // The total as this day began; for the reset's day, the total before the
    // reset.
    quint64 totalAtStart = 0;
    // On the reset's day: how far into the day the reset came (0 to 1).
    std::optional<double> resetAt;
    // What the limit allows by the end of this day (limitPace); NaN without a
    // limit.
    double pace = 0;
};

// What the meter counts beside the history, read at one moment: the bytes
// since the reset date `since` and the part of them the history holds; the
// rest is not written yet and belongs to today.
struct MeteredTotals {
    QDateTime since;
    TrafficTotals counted;
    TrafficTotals written;
};

// The days of `period` (a billing cycle, or periodWithoutCycle()), one per
// local calendar day from the day the period starts to the day before the
// one it ends on, in the period's time zone; a day the clocks change on is
// one day. Each takes the bytes of the bucket in `days` that starts on it
// (HistoryStore::days of the network, read in the same zone); buckets of
// other days are left out. Days after the one `now` falls on are to come.
// `limit` is in bytes; zero, a negative or a value that is not finite means
// no limit. With `metered`, today's bar takes the bytes not written yet, the
// total through today is the meter's, and the days from the reset on count
// from the reset (a reset in the period marks its day; totals whose period
// has not begun yet count from today); the days to come keep today's total.
QList<CycleDay> cycleDays(const BillingCycle &period, const QList<HistoryBucket> &days,
                          double limit, const QDateTime &now,
                          const std::optional<MeteredTotals> &metered = std::nullopt);

// The period a cycle chart shows for a network without a billing cycle:
// thirty days, the span of Flowtally's projection, from the local day of the
// reset date while it lies less than thirty days back, else the thirty days
// that end with today. A reset date that is not set (invalid or the epoch) or
// lies after today counts as thirty days back or as today. The first day
// holds the whole day's bytes, also those before a reset during it.
BillingCycle periodWithoutCycle(const QDateTime &resetDate, const QDateTime &now,
                                const QTimeZone &zone);

// How many days periodWithoutCycle() spans.
inline constexpr int kDaysWithoutCycle = 30;

} // namespace flowtally
