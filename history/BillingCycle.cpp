#include "history/BillingCycle.h"

#include <algorithm>

namespace flowtally {

namespace {

constexpr int kLastStartDay = 31;

// The start day's date in a month: its last day when the month is shorter.
QDate startDate(int year, int month, int startDay) {
    const QDate first(year, month, 1);
    return first.addDays(std::min(startDay, first.daysInMonth()) - 1);
}

double secondsFromStart(const BillingCycle &cycle, const QDateTime &to) {
    return static_cast<double>(cycle.start.secsTo(to));
}

} // namespace

std::optional<BillingCycle> billingCycleAt(const QDateTime &now, int startDay,
                                           const QTimeZone &zone) {
    if (startDay < 1 || startDay > kLastStartDay || !now.isValid())
        return std::nullopt;
    const QDate today = now.toTimeZone(zone).date();
    QDate start = startDate(today.year(), today.month(), startDay);
    if (today < start) {
        const QDate previousMonth = today.addMonths(-1);
        start = startDate(previousMonth.year(), previousMonth.month(), startDay);
    }
    const QDate nextMonth = start.addMonths(1);
    const QDate end = startDate(nextMonth.year(), nextMonth.month(), startDay);
    return BillingCycle{start.startOfDay(zone), end.startOfDay(zone)};
}

qint64 cycleSeconds(const BillingCycle &cycle) {
    return cycle.start.secsTo(cycle.end);
}

int daysLeft(const BillingCycle &cycle, const QDateTime &now) {
    const QTimeZone zone = cycle.end.timeZone();
    return static_cast<int>(now.toTimeZone(zone).date().daysTo(cycle.end.date()));
}

bool resetDue(const QDateTime &periodStart, const QDateTime &now, int startDay,
              const QTimeZone &zone) {
    const std::optional<BillingCycle> cycle = billingCycleAt(now, startDay, zone);
    return cycle && periodStart.isValid() && periodStart < cycle->start;
}

double projectedTotal(double total, const BillingCycle &cycle, const QDateTime &now) {
    return total / secondsFromStart(cycle, now) * static_cast<double>(cycleSeconds(cycle));
}

double limitPace(double limit, const BillingCycle &cycle, const QDateTime &at) {
    return limit * secondsFromStart(cycle, at) / static_cast<double>(cycleSeconds(cycle));
}

} // namespace flowtally
