#pragma once

#include <QList>
#include <QPointF>

namespace flowtally {

// The points of a line through `points` that stand further than `tolerance`
// from the line drawn through the kept ones (Douglas and Peucker's method):
// the first and the last point always, turns and spikes, and none of the
// points along a straight or nearly straight stretch. A line that is mostly
// flat, as the rates of an idle or steady connection are, is drawn in a few
// pieces instead of one a sample, and looks the same when the tolerance is
// a fraction of a device pixel.
QList<QPointF> simplifiedLine(const QList<QPointF> &points, double tolerance);

} // namespace flowtally
