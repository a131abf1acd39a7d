#pragma once

#include <QDateTime>
#include <QList>
#include <QTimeZone>

namespace flowtally {

// A plan's free hours: daily windows of local wall-clock time whose traffic
// the plan does not hold against its limit (a satellite or mobile plan's
// night-time "bonus" hours). Flowtally counts their bytes apart.
//
// A window runs from `start` up to `end`, both in minutes after local
// midnight (0 to 1439); an end at or before its start lies on the next day:
// 02:00 to 08:00 is {120, 480}, 23:00 to 06:00 is {1380, 360}. A window
// whose end equals its start holds nothing. Wall-clock time is what counts:
// when the clocks go back, the repeated hour is free twice if it lies in a
// window; when they go forward, the hour that is skipped holds no traffic.
//
// These are rules without state: every function takes what it needs.
struct FreeWindow {
    int start = 0;
    int end = 0;

    bool operator==(const FreeWindow &) const = default;
    // Whether the local minute of the day (0 to 1439) lies in the window.
    bool contains(int minuteOfDay) const;
};

using FreeWindows = QList<FreeWindow>;

inline constexpr int kMinutesADay = 1440;

// Whether a moment falls in one of the windows, by its local time in `zone`.
bool isFreeAt(const FreeWindows &windows, const QDateTime &moment, const QTimeZone &zone);

// How much of a stretch of time lies in the windows.
enum class FreeCover { None, Part, Whole };

// How much of [from, to), in seconds since the epoch, lies in the windows,
// by its local time in `zone`, to the minute. An empty stretch lies in none.
FreeCover freeCover(const FreeWindows &windows, qint64 from, qint64 to, const QTimeZone &zone);

// A minute after midnight as a wall clock shows it: "02:00".
QString minuteOfDayText(int minute);
// A window as a person reads it: "02:00 to 08:00".
QString freeWindowText(const FreeWindow &window);

} // namespace flowtally
