#pragma once

#include <QTimeZone>

namespace flowtally {

// Where the local hour, day and month that contain a moment begin, in a time
// zone. Moments are seconds since the epoch (UTC), as the traffic history
// stores them.
//
// An hour is the wall-clock hour, cut where the zone's offset from UTC
// changes: when clocks go back, the repeated hour is two hours; when a zone
// moves by half an hour, the hour of the change begins at the change. A day
// begins at its first moment (local midnight, or where a change of offset at
// midnight puts it); a month at the first moment of its first day.
qint64 localHourStart(qint64 moment, const QTimeZone &zone);
qint64 localDayStart(qint64 moment, const QTimeZone &zone);
qint64 localMonthStart(qint64 moment, const QTimeZone &zone);

// Where the local hour and day after the ones that contain a moment begin.
qint64 nextLocalHourStart(qint64 moment, const QTimeZone &zone);
qint64 nextLocalDayStart(qint64 moment, const QTimeZone &zone);

} // namespace flowtally
