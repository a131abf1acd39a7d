#include "history/FreeHours.h"

#include <algorithm>
#include <limits>

namespace flowtally {

namespace {

constexpr qint64 kMinute = 60;

qint64 floorDivision(qint64 value, qint64 by) {
    return value / by - (value % by < 0 ? 1 : 0);
}

int minuteOfDay(qint64 localMinute) {
    return static_cast<int>(localMinute - floorDivision(localMinute, kMinutesADay) * kMinutesADay);
}

bool freeMinute(const FreeWindows &windows, qint64 localMinute) {
    const int minute = minuteOfDay(localMinute);
    return std::any_of(windows.begin(), windows.end(),
                       [minute](const FreeWindow &window) { return window.contains(minute); });
}

int offsetAt(qint64 moment, const QTimeZone &zone) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(moment, Qt::UTC));
}

} // namespace

bool FreeWindow::contains(int minuteOfDay) const {
    if (start < end)
        return minuteOfDay >= start && minuteOfDay < end;
    if (start > end)
        return minuteOfDay >= start || minuteOfDay < end;
    return false;
}

bool isFreeAt(const FreeWindows &windows, const QDateTime &moment, const QTimeZone &zone) {
    if (windows.isEmpty() || !moment.isValid())
        return false;
    const qint64 seconds = moment.toSecsSinceEpoch();
    return freeMinute(windows, floorDivision(seconds + offsetAt(seconds, zone), kMinute));
}

FreeCover freeCover(const FreeWindows &windows, qint64 from, qint64 to, const QTimeZone &zone) {
    if (windows.isEmpty() || to <= from)
        return FreeCover::None;
    bool free = false, billed = false;
    // Piece by piece, each of one offset from UTC.
    for (qint64 start = from; start < to && !(free && billed);) {
        const int offset = offsetAt(start, zone);
        const QTimeZone::OffsetData change =
            zone.nextTransition(QDateTime::fromSecsSinceEpoch(start, Qt::UTC));
        const qint64 changeAt = change.atUtc.isValid() ? change.atUtc.toSecsSinceEpoch()
                                                       : std::numeric_limits<qint64>::max();
        const qint64 end = std::min(to, std::max(changeAt, start + 1));
        const qint64 last = floorDivision(end - 1 + offset, kMinute);
        for (qint64 minute = floorDivision(start + offset, kMinute);
             minute <= last && !(free && billed); ++minute)
            (freeMinute(windows, minute) ? free : billed) = true;
        start = end;
    }
    return free && billed ? FreeCover::Part : free ? FreeCover::Whole : FreeCover::None;
}

QString minuteOfDayText(int minute) {
    return QStringLiteral("%1:%2")
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

QString freeWindowText(const FreeWindow &window) {
    return QStringLiteral("%1 to %2")
        .arg(minuteOfDayText(window.start), minuteOfDayText(window.end));
}

} // namespace flowtally
