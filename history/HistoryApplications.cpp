// The bytes of each application in the history: written with the bytes of
// their entry, split at a period start like them, read per span.
#include "history/HistoryStore.h"

#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <algorithm>

namespace flowtally {

Status HistoryStore::addApplications(qint64 id, qint64 at, qint64 periodStart,
                                     const QMap<QString, TrafficTotals> &applications) {
    Status status;
    for (auto application = applications.cbegin(); application != applications.cend();
         ++application) {
        const TrafficTotals &bytes = application.value();
        if (bytes.in == 0 && bytes.out == 0)
            continue;
        for (const auto &[tier, bucketStart] : kTiers) {
            SqliteStatement *upsert = nullptr;
            if (status.ok())
                status = statement(tier,
                                   "INSERT INTO application_%T (network, start, application, "
                                   "bytes_in, bytes_out) VALUES (?1, ?2, ?3, ?4, ?5) "
                                   "ON CONFLICT (network, start, application) DO UPDATE "
                                   "SET bytes_in = bytes_in + excluded.bytes_in, "
                                   "bytes_out = bytes_out + excluded.bytes_out",
                                   &upsert);
            if (status.ok())
                status = upsert->bind(1, id)
                             .bind(2, std::max(bucketStart(at, options_.zone), periodStart))
                             .bind(3, application.key())
                             .bind(4, static_cast<qint64>(bytes.in))
                             .bind(5, static_cast<qint64>(bytes.out))
                             .run();
        }
    }
    return status;
}

Status HistoryStore::pullBackApplications(Tier tier, qint64 id, qint64 start) {
    SqliteStatement *move = nullptr, *remove = nullptr;
    Status status =
        statement(tier,
                  "INSERT INTO application_%T (network, start, application, bytes_in, bytes_out) "
                  "SELECT network, ?2, application, sum(bytes_in), sum(bytes_out) "
                  "FROM application_%T WHERE network = ?1 AND start > ?2 GROUP BY application "
                  "ON CONFLICT (network, start, application) DO UPDATE "
                  "SET bytes_in = bytes_in + excluded.bytes_in, "
                  "bytes_out = bytes_out + excluded.bytes_out",
                  &move);
    if (status.ok())
        status = move->bind(1, id).bind(2, start).run();
    if (status.ok())
        status = statement(tier, "DELETE FROM application_%T WHERE network = ?1 AND start > ?2",
                           &remove);
    if (status.ok())
        status = remove->bind(1, id).bind(2, start).run();
    return status;
}

Status HistoryStore::applications(const QString &network, const QDateTime &from,
                                  const QDateTime &to, QList<ApplicationBytes> *applications) {
    applications->clear();
    qint64 id = 0;
    Status status = findNetwork(network, false, &id);
    if (!status.ok() || id == 0)
        return status;
    SqliteStatement *select = nullptr;
    status = database_->statement(
        "SELECT application, sum(bytes_in), sum(bytes_out) FROM application_days "
        "WHERE network = ?1 AND start >= ?2 AND start < ?3 GROUP BY application "
        "ORDER BY sum(bytes_in) + sum(bytes_out) DESC, application",
        &select);
    if (status.ok())
        status = select->bind(1, id)
                     .bind(2, from.toSecsSinceEpoch())
                     .bind(3, to.toSecsSinceEpoch())
                     .run([&](const SqliteStatement &row) {
                         applications->append({row.text(0), static_cast<quint64>(row.integer(1)),
                                               static_cast<quint64>(row.integer(2))});
                     });
    return status;
}

} // namespace flowtally
