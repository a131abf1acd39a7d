// Reading a network's traffic anew with other free hours.
#include "history/HistoryStore.h"

#include "history/LocalBuckets.h"
#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <algorithm>
#include <vector>

namespace flowtally {

namespace {

struct Row {
    qint64 start = 0;
    TrafficTotals bytes, free;
    // Where the row's stretch of time ends: its bucket's end, or the next
    // row's start where a period start split the bucket.
    qint64 end = 0;
};

// The split of a row under windows that cover its stretch as told; none
// where they cover part of it.
std::optional<TrafficTotals> splitFor(FreeCover cover, const TrafficTotals &bytes) {
    switch (cover) {
    case FreeCover::Whole:
        return bytes;
    case FreeCover::None:
        return TrafficTotals{};
    case FreeCover::Part:
        break;
    }
    return std::nullopt;
}

void note(TrafficTotals *totals, const TrafficTotals &more) {
    totals->in += more.in;
    totals->out += more.out;
}

quint64 gained(quint64 before, quint64 after) {
    return after > before ? after - before : 0;
}

} // namespace

Status HistoryStore::reapplyFreeHours(const QString &network, const QDateTime &from,
                                      const FreeWindows &windows, FreeHoursChange *change) {
    *change = {};
    if (network.isEmpty() || !from.isValid())
        return Status::invalidArgument(
            QStringLiteral("reading the traffic history anew needs a network and a valid start"));
    const QTimeZone &zone = options_.zone;
    return write([&] {
        qint64 id = 0;
        Status status = findNetwork(network, false, &id);
        if (!status.ok() || id == 0)
            return status;
        // The rows of each tier, oldest first, with where their stretches end.
        std::vector<Row> rows[2];
        for (const Tier tier : {Tier::Hours, Tier::Days}) {
            std::vector<Row> &tierRows = rows[tier == Tier::Hours ? 0 : 1];
            const BucketStart ends = tier == Tier::Hours ? &nextLocalHourStart : &nextLocalDayStart;
            SqliteStatement *select = nullptr;
            if (status.ok())
                status = statement(tier,
                                   "SELECT start, bytes_in, bytes_out, free_in, free_out FROM %T "
                                   "WHERE network = ?1 AND start >= ?2 ORDER BY start",
                                   &select);
            if (status.ok())
                status =
                    select->bind(1, id)
                        .bind(2, from.toSecsSinceEpoch())
                        .run([&](const SqliteStatement &row) {
                            tierRows.push_back({row.integer(0),
                                                {quint64(row.integer(1)), quint64(row.integer(2))},
                                                {quint64(row.integer(3)), quint64(row.integer(4))},
                                                0});
                        });
            for (size_t i = 0; i < tierRows.size(); ++i) {
                tierRows[i].end = ends(tierRows[i].start, zone);
                if (i + 1 < tierRows.size())
                    tierRows[i].end = std::min(tierRows[i].end, tierRows[i + 1].start);
            }
        }
        const auto update = [&](Tier tier, const Row &row, const TrafficTotals &free) {
            SqliteStatement *set = nullptr;
            Status updated = statement(tier,
                                       "UPDATE %T SET free_in = ?3, free_out = ?4 "
                                       "WHERE network = ?1 AND start = ?2",
                                       &set);
            if (updated.ok())
                updated = set->bind(1, id)
                              .bind(2, row.start)
                              .bind(3, qint64(free.in))
                              .bind(4, qint64(free.out))
                              .run();
            return updated;
        };

        // Day by day: its hours anew, and the day from them when they hold
        // all of its bytes.
        auto hour = rows[0].cbegin();
        for (const Row &day : rows[1]) {
            if (!status.ok())
                break;
            TrafficTotals hoursBytes, hoursFree, keptInHours;
            int keptHours = 0;
            for (hour = std::find_if(hour, rows[0].cend(),
                                     [&](const Row &row) { return row.start >= day.start; });
                 hour != rows[0].cend() && hour->start < day.end && status.ok(); ++hour) {
                const std::optional<TrafficTotals> split =
                    splitFor(freeCover(windows, hour->start, hour->end, zone), hour->bytes);
                if (split && *split != hour->free)
                    status = update(Tier::Hours, *hour, *split);
                note(&hoursBytes, hour->bytes);
                note(&hoursFree, split.value_or(hour->free));
                if (!split) {
                    ++keptHours;
                    note(&keptInHours, hour->bytes);
                }
            }
            std::optional<TrafficTotals> free;
            if (hoursBytes == day.bytes) {
                free = hoursFree;
                change->keptHours += keptHours;
                note(&change->kept, keptInHours);
            } else {
                free = splitFor(freeCover(windows, day.start, day.end, zone), day.bytes);
                if (!free) {
                    ++change->keptDays;
                    note(&change->kept, day.bytes);
                }
            }
            if (status.ok() && free && *free != day.free) {
                note(&change->madeFree,
                     {gained(day.free.in, free->in), gained(day.free.out, free->out)});
                note(&change->madeBilled,
                     {gained(free->in, day.free.in), gained(free->out, day.free.out)});
                status = update(Tier::Days, day, *free);
            }
        }
        return status;
    });
}

} // namespace flowtally
