#pragma once

#include "history/BillingCycle.h"
#include "record/ExpectedTotal.h"
#include "history/FreeHours.h"
#include "record/NetworkRecord.h"
#include "history/TrafficTotals.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace flowtally {

// A network's billing cycle at the moment of a report.
struct CycleFigures {
    int startDay = 0;
    BillingCycle cycle; // in the report's zone
    int daysLeft = 0;   // "N days left", the cycle's last day counting 1
    // The bytes counted in the cycle: the totals when the reset date lies in
    // it (Flowtally resets them at each cycle start), none when the reset
    // date is older (Flowtally has not run since the cycle began and resets
    // the totals when it next does).
    TrafficTotals counted;
    // Of those, the bytes counted in free hours.
    TrafficTotals free;
    // The total at the cycle's end if traffic goes on as it went since the
    // cycle began, and the same of the billed bytes; none at the cycle's
    // first moment.
    std::optional<double> projectedTotal;
    std::optional<double> projectedBilled;
};

// A network's figures as Flowtally computes them, at one moment.
struct NetworkFigures {
    QString service;
    QDateTime resetDate; // in the report's zone; invalid when not set yet
    TrafficTotals totals;
    // Of the totals, the bytes counted in free hours, and the network's free
    // hours.
    TrafficTotals free;
    FreeWindows freeWindows;
    // The source the counters were last read from ("local", "router"; empty
    // where not known).
    QString source;
    // in + out × 30 days ÷ the time since the reset date; none without a reset
    // date or before it.
    std::optional<double> thirtyDayProjection;
    std::optional<double> limit; // bytes
    std::optional<CycleFigures> cycle;
    // What the plan holds against the limit: the billed bytes of the cycle,
    // or without a cycle since the reset date; their share of the limit
    // (none without a limit) and whether they are more than the limit.
    quint64 billed = 0;
    std::optional<double> limitShare;
    bool overLimit = false;
    // The billed total expected from the last weeks' traffic; none where no
    // history was read or no end lies ahead (see expectedTotal()).
    std::optional<ExpectedTotal> expected;
};

// in + out, held at 2^64 - 1.
quint64 totalOf(const TrafficTotals &totals);

// What is left of the totals without the free part.
TrafficTotals billedOf(const TrafficTotals &totals, const TrafficTotals &free);

// The total projected onto thirty days: total ÷ (seconds since the reset ÷
// thirty days), in IEEE arithmetic (infinite, or NaN for no traffic, at the
// reset itself).
double thirtyDayProjection(double total, double secondsSinceReset);

// The figures of a record at `now`, dates and cycles in the local time of
// `zone`.
NetworkFigures figuresOf(const NetworkRecord &record, const QDateTime &now, const QTimeZone &zone);

} // namespace flowtally
