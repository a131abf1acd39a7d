#include "charts/CycleDays.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace flowtally {

namespace {

quint64 lessBy(quint64 value, quint64 taken) {
    return value > taken ? value - taken : 0;
}

// The share of its local day that `moment` falls at.
double shareOfDay(const QDateTime &moment, const QTimeZone &zone) {
    const QDateTime dayStart = moment.date().startOfDay(zone);
    const qint64 length = dayStart.secsTo(moment.date().addDays(1).startOfDay(zone));
    return double(dayStart.secsTo(moment)) / double(std::max<qint64>(length, 1));
}

// Today's bar takes what the history lacks; today's total is the meter's,
// and the days before it back to the reset count down from it.
void addMetered(QList<CycleDay> &shown, const BillingCycle &period, const QDate &today,
                const MeteredTotals &metered) {
    const QTimeZone zone = period.start.timeZone();
    const qsizetype todayIndex = period.start.date().daysTo(today);
    if (todayIndex < 0 || todayIndex >= shown.size())
        return;
    shown[todayIndex].in += lessBy(metered.counted.in, metered.written.in);
    shown[todayIndex].out += lessBy(metered.counted.out, metered.written.out);
    // Totals whose period has not begun (reset, and nothing counted since)
    // start today.
    qsizetype from = todayIndex;
    if (metered.since.isValid() && metered.since.toSecsSinceEpoch() != 0)
        from = 0;
    if (from == 0 && metered.since >= period.start) {
        const QDateTime since = metered.since.toTimeZone(zone);
        from = period.start.date().daysTo(since.date());
        // A reset ahead of a clock that came back marks nothing.
        if (from > todayIndex)
            from = 0;
        else
            shown[from].resetAt = shareOfDay(since, zone);
    }
    quint64 total = metered.counted.in + metered.counted.out;
    for (qsizetype index = shown.size() - 1; index > todayIndex; --index)
        shown[index].totalThrough = shown[index].totalAtStart = total;
    for (qsizetype index = todayIndex; index >= from; --index) {
        CycleDay &day = shown[index];
        day.totalThrough = total;
        total = lessBy(total, day.in + day.out);
        day.totalAtStart = total;
    }
    if (shown[from].resetAt)
        shown[from].totalAtStart = from > 0 ? shown[from - 1].totalThrough : 0;
}

} // namespace

QList<CycleDay> cycleDays(const BillingCycle &period, const QList<HistoryBucket> &days,
                          double limit, const QDateTime &now,
                          const std::optional<MeteredTotals> &metered) {
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
        CycleDay day;
        day.date = date;
        day.toCome = date > today;
        if (const HistoryBucket *bucket = byDate.value(date); bucket && !day.toCome) {
            day.in = bucket->in;
            day.out = bucket->out;
        }
        day.totalAtStart = total;
        total += day.in + day.out;
        day.totalThrough = total;
        const QDateTime dayEnd = std::min(date.addDays(1).startOfDay(zone), period.end);
        day.pace = hasLimit ? limitPace(limit, period, dayEnd) : qQNaN();
        shown.append(day);
    }
    if (metered)
        addMetered(shown, period, today, *metered);
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
