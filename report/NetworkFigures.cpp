#include "NetworkFigures.h"

#include <cmath>
#include <limits>

namespace flowtally {

namespace {

constexpr double kThirtyDays = 2592000.0; // seconds

std::optional<double> finite(double value) {
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

} // namespace

quint64 totalOf(const TrafficTotals &totals) {
    constexpr quint64 kMost = std::numeric_limits<quint64>::max();
    return totals.in > kMost - totals.out ? kMost : totals.in + totals.out;
}

NetworkFigures figuresOf(const NetworkRecord &record, const QDateTime &now, const QTimeZone &zone) {
    NetworkFigures figures;
    figures.service = record.service;
    figures.totals = {record.in, record.out};
    if (record.resetDate.isValid()) {
        figures.resetDate = record.resetDate.toTimeZone(zone);
        const double sinceReset = static_cast<double>(record.resetDate.msecsTo(now)) / 1000.0;
        if (sinceReset > 0)
            figures.thirtyDayProjection =
                finite(static_cast<double>(totalOf(figures.totals)) * kThirtyDays / sinceReset);
    }
    if (record.limit > 0)
        figures.limit = record.limit;
    if (const std::optional<BillingCycle> cycle = billingCycleAt(now, record.cycleStartDay, zone)) {
        CycleFigures cycleFigures{record.cycleStartDay, *cycle, daysLeft(*cycle, now), {}, {}};
        if (record.resetDate.isValid() && record.resetDate >= cycle->start)
            cycleFigures.counted = figures.totals;
        cycleFigures.projectedTotal =
            finite(projectedTotal(static_cast<double>(totalOf(cycleFigures.counted)), *cycle, now));
        figures.cycle = cycleFigures;
    }
    return figures;
}

} // namespace flowtally
