#pragma once

#include <QDateTime>
#include <QList>

#include <chrono>

namespace flowtally {

// The rates of one sample: bytes per second in and out at a moment.
struct RatePoint {
    QDateTime at;
    double in = 0;
    double out = 0;

    bool operator==(const RatePoint &) const = default;
};

// How far back the rates chart looks; the app need keep no older points.
inline constexpr std::chrono::seconds kRatesSpan = std::chrono::minutes(10);
// A longer silence between two points is a gap in the lines: Flowtally
// samples every 1.5 s, every 4 s in the background.
inline constexpr std::chrono::seconds kRatesGap = std::chrono::seconds(10);

// The points of `points` (oldest first) in the span that ends at `now`
// ([now - kRatesSpan, now]), in runs without gaps: a run ends where the next
// point comes more than kRatesGap later (or earlier, should the clock go
// back). Points that are not finite or negative are left out, and so is
// each point without a valid time.
QList<QList<RatePoint>> rateSegments(const QList<RatePoint> &points, const QDateTime &now);

} // namespace flowtally
