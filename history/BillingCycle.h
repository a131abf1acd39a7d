#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace flowtally {

// A network's billing cycle: the plan's counts begin again at local midnight
// of its start day each month. The start day is 1 to 31; 29 to 31 mean the
// month's last day in months that are shorter. Any other day means the
// network has no cycle ("off").
//
// These are rules without state: every function takes what it needs.
struct BillingCycle {
    QDateTime start; // the first moment of the cycle, in the zone it was made for
    QDateTime end;   // the first moment of the next cycle

    bool operator==(const BillingCycle &) const = default;
};

// The cycle with start day `startDay` that contains `now` (start <= now < end)
// in the local time of `zone`; none when the start day is off.
std::optional<BillingCycle> billingCycleAt(const QDateTime &now, int startDay,
                                           const QTimeZone &zone);

// The cycle's length in seconds: an hour less or more than whole days when
// the clocks change within it.
qint64 cycleSeconds(const BillingCycle &cycle);

// The whole days left in the cycle for a person who reads "N days left":
// the local calendar days from the one of `now` to the one the cycle ends
// on, today included, so that the cycle's last day has 1 day left.
int daysLeft(const BillingCycle &cycle, const QDateTime &now);

// Whether the totals that began at `periodStart` are due for their automatic
// reset at `now`: the start of the cycle `now` is in came after the period
// began. That holds once however many cycle starts passed while Flowtally
// was not running; after the reset, with the period starting at that cycle
// start or later, it holds again at the next cycle start. A change of the
// start day is taken as it stands: a start that the new day puts between the
// period start and `now` is due now. Never due without a cycle or for an
// invalid period start.
bool resetDue(const QDateTime &periodStart, const QDateTime &now, int startDay,
              const QTimeZone &zone);

// The total at the cycle's end if traffic goes on as it went since the cycle
// began: total ÷ time elapsed since the start × the cycle's length. Infinite
// (or NaN for no traffic) at the cycle's first moment.
double projectedTotal(double total, const BillingCycle &cycle, const QDateTime &now);

// How much of the limit the cycle allows up to `at`, used evenly over the
// cycle: limit × time elapsed since the start ÷ the cycle's length.
double limitPace(double limit, const BillingCycle &cycle, const QDateTime &at);

} // namespace flowtally
