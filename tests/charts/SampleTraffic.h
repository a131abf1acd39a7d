#pragma once

// Traffic that looks like a household's, for the charts' pictures and
// benchmark: hourly entries with quiet nights and busy evenings, some days
// heavier than others, the same every run. Needs no test framework, so that
// benchmarks use it too.
#include "history/HistoryStore.h"

#include <QDate>
#include <QStringList>
#include <QTimeZone>

#include <random>
#include <vector>

namespace flowtally {

// Adds the hours of the days from `first` to `last` (both included) for each
// network, in one batch per day; a network's traffic is `scale` times the
// first's, network by network (1, 0.6, 0.36, …). Incoming bytes average
// about 6 GiB a day for the first network, outgoing about a tenth of that.
inline Status addSampleTraffic(HistoryStore &store, const QStringList &networks, const QDate &first,
                               const QDate &last, const QTimeZone &zone, double scale = 0.6) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> noise(0.6, 1.4);
    constexpr double kMeanHourIn = 6.0 * (1 << 30) / 24;
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        // Weekends weigh more.
        const double dayWeight = (date.dayOfWeek() >= 6 ? 1.5 : 1.0) * noise(random);
        std::vector<HistoryEntry> batch;
        for (int hour = 0; hour < 24; ++hour) {
            const QDateTime at = date.startOfDay(zone).addSecs(hour * 3600 + 1800);
            const double hourWeight = hour < 7 ? 0.1 : hour < 17 ? 0.8 : hour < 23 ? 2.2 : 0.6;
            double networkScale = 1;
            for (const QString &network : networks) {
                const double in = kMeanHourIn * dayWeight * hourWeight * noise(random);
                batch.push_back({network, at, quint64(in * networkScale),
                                 quint64(in * networkScale / 10 * noise(random)), QDateTime()});
                networkScale *= scale;
            }
        }
        if (Status status = store.add(batch); !status.ok())
            return status;
    }
    return Status();
}

} // namespace flowtally
