#include "charts/RateSegments.h"

#include <cmath>

namespace flowtally {

namespace {

bool shown(const RatePoint &point, const QDateTime &from, const QDateTime &now) {
    return point.at.isValid() && point.at >= from && point.at <= now && std::isfinite(point.in) &&
           std::isfinite(point.out) && point.in >= 0 && point.out >= 0;
}

} // namespace

QList<QList<RatePoint>> rateSegments(const QList<RatePoint> &points, const QDateTime &now) {
    const QDateTime from = now.addSecs(-kRatesSpan.count());
    QList<QList<RatePoint>> segments;
    for (const RatePoint &point : points) {
        if (!shown(point, from, now))
            continue;
        const bool joins = !segments.isEmpty() && [&] {
            const qint64 step = segments.last().last().at.msecsTo(point.at);
            return step >= 0 && step <= std::chrono::milliseconds(kRatesGap).count();
        }();
        if (!joins)
            segments.emplaceBack();
        segments.last().append(point);
    }
    return segments;
}

} // namespace flowtally
