#include "history/LocalBuckets.h"

#include <QDateTime>

namespace flowtally {

namespace {

constexpr qint64 kHour = 3600;

QDateTime utc(qint64 moment) {
    return QDateTime::fromSecsSinceEpoch(moment, Qt::UTC);
}

QDate localDate(qint64 moment, const QTimeZone &zone) {
    return QDateTime::fromSecsSinceEpoch(moment, zone).date();
}

} // namespace

qint64 localHourStart(qint64 moment, const QTimeZone &zone) {
    const int offset = zone.offsetFromUtc(utc(moment));
    const qint64 wallClock = moment + offset;
    const qint64 wallHour = wallClock - (wallClock % kHour + kHour) % kHour;
    const qint64 start = wallHour - offset;
    if (zone.offsetFromUtc(utc(start)) == offset)
        return start;
    // The offset changed within this wall-clock hour: it begins at the change.
    return zone.previousTransition(utc(moment + 1)).atUtc.toSecsSinceEpoch();
}

qint64 localDayStart(qint64 moment, const QTimeZone &zone) {
    return localDate(moment, zone).startOfDay(zone).toSecsSinceEpoch();
}

qint64 localMonthStart(qint64 moment, const QTimeZone &zone) {
    const QDate date = localDate(moment, zone);
    return QDate(date.year(), date.month(), 1).startOfDay(zone).toSecsSinceEpoch();
}

qint64 nextLocalHourStart(qint64 moment, const QTimeZone &zone) {
    const qint64 start = localHourStart(moment, zone);
    // An hour lasts an hour at most, but a wall-clock hour may begin twice
    // in a row when the clocks go back: the next one is the first later start.
    qint64 next = localHourStart(start + kHour, zone);
    for (qint64 probe = start + 2 * kHour; next <= start; probe += kHour)
        next = localHourStart(probe, zone);
    return next;
}

qint64 nextLocalDayStart(qint64 moment, const QTimeZone &zone) {
    return localDate(moment, zone).addDays(1).startOfDay(zone).toSecsSinceEpoch();
}

} // namespace flowtally
