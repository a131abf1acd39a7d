// The bytes of each application in the history: written with the bytes of
// their entry, split at a period start like them, read per span.
#include "history/HistoryStore.h"

#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <algorithm>
#include <vector>

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

Status HistoryStore::trimApplications(Tier tier, qint64 id, qint64 start,
                                      const TrafficTotals &bytes) {
    struct Row {
        QString application;
        quint64 in, out;
    };
    std::vector<Row> rows;
    SqliteStatement *select = nullptr, *change = nullptr, *remove = nullptr;
    Status status = statement(tier,
                              "SELECT application, bytes_in, bytes_out FROM application_%T "
                              "WHERE network = ?1 AND start = ?2",
                              &select);
    if (status.ok())
        status = select->bind(1, id).bind(2, start).run([&](const SqliteStatement &row) {
            rows.push_back({row.text(0), static_cast<quint64>(row.integer(1)),
                            static_cast<quint64>(row.integer(2))});
        });
    // One direction's surplus, taken from the rows with the most of it first.
    const auto trim = [&](quint64 Row::*count, quint64 keep) {
        quint64 held = 0;
        for (const Row &row : rows)
            held += row.*count;
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const Row &a, const Row &b) { return a.*count > b.*count; });
        quint64 over = held > keep ? held - keep : 0;
        for (Row &row : rows) {
            const quint64 take = std::min(row.*count, over);
            row.*count -= take;
            over -= take;
        }
    };
    trim(&Row::in, bytes.in);
    trim(&Row::out, bytes.out);
    if (status.ok())
        status = statement(tier,
                           "UPDATE application_%T SET bytes_in = ?4, bytes_out = ?5 "
                           "WHERE network = ?1 AND start = ?2 AND application = ?3",
                           &change);
    for (auto row = rows.cbegin(); row != rows.cend() && status.ok(); ++row)
        status = change->bind(1, id)
                     .bind(2, start)
                     .bind(3, row->application)
                     .bind(4, static_cast<qint64>(row->in))
                     .bind(5, static_cast<qint64>(row->out))
                     .run();
    if (status.ok())
        status = statement(tier,
                           "DELETE FROM application_%T WHERE network = ?1 AND start = ?2 "
                           "AND bytes_in = 0 AND bytes_out = 0",
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
