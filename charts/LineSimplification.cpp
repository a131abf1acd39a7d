#include "LineSimplification.h"

#include <QLineF>

#include <algorithm>
#include <utility>
#include <vector>

namespace flowtally {

namespace {

// The distance of a point from the segment between two others.
double distanceFromSegment(const QPointF &point, const QPointF &from, const QPointF &to) {
    const QPointF along = to - from;
    const double lengthSquared = QPointF::dotProduct(along, along);
    if (lengthSquared == 0)
        return QLineF(point, from).length();
    const double share =
        std::clamp(QPointF::dotProduct(point - from, along) / lengthSquared, 0.0, 1.0);
    return QLineF(point, from + along * share).length();
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
        double farthest = -1;
        qsizetype at = first;
        for (qsizetype index = first + 1; index < last; ++index) {
            const double distance = distanceFromSegment(points[index], points[first], points[last]);
            if (distance > farthest) {
                farthest = distance;
                at = index;
            }
        }
        if (farthest > tolerance) {
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
