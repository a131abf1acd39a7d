#pragma once

#include "history/HistoryBucket.h"

#include <QList>
#include <QTimeZone>

namespace flowtally {

// A network's bytes per billing cycle with start day `startDay`
// (BillingCycle.h): its daily buckets summed by the cycle their day lies in,
// one bucket per cycle that holds any of them, starting where the cycle
// starts, oldest first; free bytes summed alike. Nothing when the start day
// is off.
QList<HistoryBucket> cycleBuckets(const QList<HistoryBucket> &days, int startDay,
                                  const QTimeZone &zone);

} // namespace flowtally
