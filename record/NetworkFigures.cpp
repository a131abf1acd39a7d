#include "record/NetworkFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace flowtally {

namespace {

constexpr double kThirtyDays = 2592000.0; // seconds

std::optional<double> finite(double value) {
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

} // namespace

double thirtyDayProjection(double total, double secondsSinceReset) {
    return total / (secondsSinceReset / kThirtyDays);
}

quint64 totalOf(const TrafficTotals &totals) {
    constexpr quint64 kMost = std::numeric_limits<quint64>::max();
    return totals.in > kMost - totals.out ? kMost : totals.in + totals.out;
}

TrafficTotals billedOf(const TrafficTotals &totals, const TrafficTotals &free) {
    return {totals.in - std::min(free.in, totals.in), totals.out - std::min(free.out, totals.out)};
}

NetworkFigures figuresOf(const NetworkRecord &record, const QDateTime &now, const QTimeZone &zone) {
    NetworkFigures figures;
    figures.service = record.service.value_or(QString());
    figures.totals = record.totals();
    figures.free = record.freeTotals();
    figures.freeWindows = record.freeWindows;
    figures.source = record.prevSource;
    const QDateTime periodStart = record.periodStart();
    if (periodStart.isValid()) {
        figures.resetDate = periodStart.toTimeZone(zone);
        const double sinceReset = static_cast<double>(periodStart.msecsTo(now)) / 1000.0;
        if (sinceReset > 0)
            figures.thirtyDayProjection = finite(
                thirtyDayProjection(static_cast<double>(totalOf(figures.totals)), sinceReset));
    }
    figures.limit = record.limitInBytes();
    if (const std::optional<BillingCycle> cycle = billingCycleAt(now, record.cycleStartDay, zone)) {
        CycleFigures cycleFigures{
            record.cycleStartDay, *cycle, daysLeft(*cycle, now), {}, {}, {}, {}};
        if (periodStart.isValid() && periodStart >= cycle->start) {
            cycleFigures.counted = figures.totals;
            cycleFigures.free = figures.free;
        }
        const auto projected = [&](const TrafficTotals &bytes) {
            return finite(projectedTotal(static_cast<double>(totalOf(bytes)), *cycle, now));
        };
        cycleFigures.projectedTotal = projected(cycleFigures.counted);
        cycleFigures.projectedBilled = projected(billedOf(cycleFigures.counted, cycleFigures.free));
        figures.cycle = cycleFigures;
    }
    figures.billed = figures.cycle ? totalOf(billedOf(figures.cycle->counted, figures.cycle->free))
                                   : totalOf(billedOf(figures.totals, figures.free));
    if (figures.limit) {
        figures.limitShare = static_cast<double>(figures.billed) / *figures.limit;
        figures.overLimit = static_cast<double>(figures.billed) > *figures.limit;
    }
    return figures;
}

} // namespace flowtally
