#include "history/CycleBuckets.h"

#include "history/BillingCycle.h"

#include <QMap>

namespace flowtally {

QList<HistoryBucket> cycleBuckets(const QList<HistoryBucket> &days, int startDay,
                                  const QTimeZone &zone) {
    QMap<qint64, HistoryBucket> cycles;
    for (const HistoryBucket &day : days) {
        const std::optional<BillingCycle> cycle = billingCycleAt(day.start, startDay, zone);
        if (!cycle)
            return {};
        HistoryBucket &sum = cycles[cycle->start.toSecsSinceEpoch()];
        sum.start = cycle->start;
        sum.in += day.in;
        sum.out += day.out;
        sum.freeIn += day.freeIn;
        sum.freeOut += day.freeOut;
    }
    return cycles.values();
}

} // namespace flowtally
