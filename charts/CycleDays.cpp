#include "CycleDays.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace flowtally {

QList<CycleDay> cycleDays(const BillingCycle &period, const QList<HistoryBucket> &days,
                          double limit, const QDateTime &now) {
    const QTimeZone zone = period.start.timeZone();
    const QDate first = period.start.date();
    const QDate end = period.end.date();
    const QDate today = now.toTimeZone(zone).date();
    const bool hasLimit = std::isfinite(limit) && limit > 0;

    QHash<QDate, const HistoryBucket *> byDate;
    for (const HistoryBucket &bucket : days)
        byDate.insert(bucket.start.toTimeZone(zone).date(), &bucket);

    QList<CycleDay> shown;
    quint64 total = 0;
    for (QDate date = first; date < end; date = date.addDays(1)) {
        CycleDay day{.date = date, .toCome = date > today};
        if (const HistoryBucket *bucket = byDate.value(date); bucket && !day.toCome) {
            day.in = bucket->in;
            day.out = bucket->out;
        }
        total += day.in + day.out;
        day.totalThrough = total;
        const QDateTime dayEnd = std::min(date.addDays(1).startOfDay(zone), period.end);
        day.pace = hasLimit ? limitPace(limit, period, dayEnd) : qQNaN();
        shown.append(day);
    }
    return shown;
}

BillingCycle periodWithoutCycle(const QDateTime &resetDate, const QDateTime &now,
                                const QTimeZone &zone) {
    const QDate today = now.toTimeZone(zone).date();
    const QDate earliest = today.addDays(1 - kDaysWithoutCycle);
    const bool set = resetDate.isValid() && resetDate.toSecsSinceEpoch() != 0;
    const QDate first =
        set ? std::clamp(resetDate.toTimeZone(zone).date(), earliest, today) : earliest;
    return {first.startOfDay(zone), first.addDays(kDaysWithoutCycle).startOfDay(zone)};
}

} // namespace flowtally
