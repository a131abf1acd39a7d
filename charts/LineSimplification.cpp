#include "LineSimplification.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace flowtally {

namespace {

// The square of a point's distance from the segment between two others:
// squares compare as the distances do, without a square root for each.
double squaredDistanceFromSegment(const QPointF &point, const QPointF &from, const QPointF &to) {
    const QPointF along = to - from;
    const double lengthSquared = QPointF::dotProduct(along, along);
    const double share =
        lengthSquared == 0
            ? 0.0
            : std::clamp(QPointF::dotProduct(point - from, along) / lengthSquared, 0.0, 1.0);
    const QPointF away = point - (from + along * share);
    return QPointF::dotProduct(away, away);
}

} // namespace

QList<QPointF> simplifiedLine(const QList<QPointF> &points, double tolerance) {
    if (points.size() < 3)
        return points;
    std::vector<bool> kept(size_t(points.size()), false);
    kept.front() = kept.back() = true;
    // Stretches still to look at, by their first and last point; a stack
    // instead of recursion, so that no line is too long for it.
    std::vector<std::pair<qsizetype, qsizetype>> stretches{{0, points.size() - 1}};
    while (!stretches.empty()) {
        const auto [first, last] = stretches.back();
        stretches.pop_back();
        double farthestSquared = -1;
        qsizetype at = first;
        for (qsizetype index = first + 1; index < last; ++index) {
            const double squared =
                squaredDistanceFromSegment(points[index], points[first], points[last]);
            if (squared > farthestSquared) {
                farthestSquared = squared;
                at = index;
            }
        }
        if (farthestSquared > tolerance * tolerance) {
            kept[size_t(at)] = true;
            stretches.push_back({first, at});
            stretches.push_back({at, last});
        }
    }
    QList<QPointF> line;
    for (qsizetype index = 0; index < points.size(); ++index) {
        if (kept[size_t(index)])
            line.append(points[index]);
    }
    return line;
}

} // namespace flowtally
