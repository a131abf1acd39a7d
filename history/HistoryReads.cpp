// Reads of the history: sums since a period start, buckets, networks.
#include "history/HistoryStore.h"

#include "history/LocalBuckets.h"
#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

namespace flowtally {

namespace {

// Less than any month lasts, a change of clocks included: a daily row that
// starts this soon after its month's start is in that month.
constexpr qint64 kShortestMonth = 27 * 86400;

} // namespace

Status HistoryStore::sumSince(qint64 id, qint64 periodStart, TrafficTotals *totals,
                              TrafficTotals *free) {
    SqliteStatement *sum = nullptr;
    Status status =
        database_->statement("SELECT coalesce(sum(bytes_in), 0), coalesce(sum(bytes_out), 0), "
                             "coalesce(sum(free_in), 0), coalesce(sum(free_out), 0) FROM days "
                             "WHERE network = ?1 AND start >= ?2",
                             &sum);
    if (status.ok())
        status = sum->bind(1, id).bind(2, periodStart).run([&](const SqliteStatement &row) {
            *totals = {static_cast<quint64>(row.integer(0)), static_cast<quint64>(row.integer(1))};
            if (free)
                *free = {static_cast<quint64>(row.integer(2)),
                         static_cast<quint64>(row.integer(3))};
        });
    return status;
}

Status HistoryStore::bytesSince(const QString &network, const QDateTime &periodStart,
                                TrafficTotals *totals, TrafficTotals *free) {
    *totals = {};
    if (free)
        *free = {};
    if (!periodStart.isValid())
        return Status::invalidArgument(
            QStringLiteral("summing the traffic history needs a valid period start"));
    qint64 id = 0;
    Status status = findNetwork(network, false, &id);
    if (status.ok() && id != 0)
        status = sumSince(id, periodStart.toSecsSinceEpoch(), totals, free);
    return status;
}

Status HistoryStore::historyStart(const QString &network, QDateTime *start) {
    *start = QDateTime();
    qint64 id = 0;
    Status status = findNetwork(network, false, &id);
    for (const Tier tier : {Tier::Hours, Tier::Days}) {
        SqliteStatement *oldest = nullptr;
        if (!status.ok() || id == 0 || start->isValid())
            break;
        status = statement(tier, "SELECT min(start) FROM %T WHERE network = ?1", &oldest);
        if (status.ok())
            status = oldest->bind(1, id).run([&](const SqliteStatement &row) {
                if (!row.isNull(0))
                    *start = QDateTime::fromSecsSinceEpoch(row.integer(0), options_.zone);
            });
    }
    return status;
}

Status HistoryStore::buckets(Tier tier, BucketStart bucketStart, qint64 surelyWithin,
                             const QString &network, const QDateTime &from, const QDateTime &to,
                             QList<HistoryBucket> *buckets) {
    buckets->clear();
    if (!from.isValid() || !to.isValid())
        return Status::invalidArgument(
            QStringLiteral("reading the traffic history needs a valid time range"));
    qint64 id = 0;
    SqliteStatement *select = nullptr;
    Status status = findNetwork(network, false, &id);
    if (!status.ok() || id == 0)
        return status;
    status = statement(tier,
                       "SELECT start, bytes_in, bytes_out, free_in, free_out FROM %T "
                       "WHERE network = ?1 AND start >= ?2 AND start < ?3 ORDER BY start",
                       &select);
    // Rows come oldest first; the time zone is asked only about rows that may
    // begin a new bucket.
    qint64 lastStart = 0;
    if (status.ok())
        status = select->bind(1, id)
                     .bind(2, from.toSecsSinceEpoch())
                     .bind(3, to.toSecsSinceEpoch())
                     .run([&](const SqliteStatement &row) {
                         const qint64 rowStart = row.integer(0);
                         if (buckets->isEmpty() || rowStart - lastStart >= surelyWithin) {
                             const qint64 start = bucketStart(rowStart, options_.zone);
                             if (buckets->isEmpty() || start != lastStart)
                                 buckets->append(
                                     {QDateTime::fromSecsSinceEpoch(start, options_.zone), 0, 0});
                             lastStart = start;
                         }
                         HistoryBucket &bucket = buckets->last();
                         bucket.in += static_cast<quint64>(row.integer(1));
                         bucket.out += static_cast<quint64>(row.integer(2));
                         bucket.freeIn += static_cast<quint64>(row.integer(3));
                         bucket.freeOut += static_cast<quint64>(row.integer(4));
                     });
    return status;
}

Status HistoryStore::hours(const QString &network, const QDateTime &from, const QDateTime &to,
                           QList<HistoryBucket> *buckets) {
    return this->buckets(Tier::Hours, &localHourStart, 0, network, from, to, buckets);
}

Status HistoryStore::days(const QString &network, const QDateTime &from, const QDateTime &to,
                          QList<HistoryBucket> *buckets) {
    return this->buckets(Tier::Days, &localDayStart, 0, network, from, to, buckets);
}

Status HistoryStore::months(const QString &network, const QDateTime &from, const QDateTime &to,
                            QList<HistoryBucket> *buckets) {
    return this->buckets(Tier::Days, &localMonthStart, kShortestMonth, network, from, to, buckets);
}

Status HistoryStore::networks(QList<HistoryNetwork> *networks) {
    networks->clear();
    SqliteStatement *select = nullptr;
    Status status = database_->statement("SELECT service, name, last_seen, last_seen IS NULL "
                                         "FROM networks ORDER BY last_seen DESC, service",
                                         &select);
    if (status.ok())
        status = select->run([&](const SqliteStatement &row) {
            networks->append({row.text(0), row.text(1),
                              row.integer(3)
                                  ? QDateTime()
                                  : QDateTime::fromSecsSinceEpoch(row.integer(2), options_.zone)});
        });
    return status;
}

} // namespace flowtally
