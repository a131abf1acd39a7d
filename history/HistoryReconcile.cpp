// Reconciling the history with the totals of a network's settings record.
#include "HistoryStore.h"

#include "SqliteDatabase.h"
#include "SqliteStatement.h"

#include <algorithm>
#include <vector>

namespace flowtally {

namespace {

quint64 excess(quint64 value, quint64 over) {
    return value > over ? value - over : 0;
}

} // namespace

Status HistoryStore::takeBytes(Tier tier, qint64 id, qint64 periodStart, quint64 in, quint64 out) {
    if (in == 0 && out == 0)
        return {};
    struct Row {
        qint64 start;
        quint64 in, out;
    };
    std::vector<Row> rows;
    SqliteStatement *select = nullptr;
    Status status = statement(tier,
                              "SELECT start, bytes_in, bytes_out FROM %T "
                              "WHERE network = ?1 AND start >= ?2 ORDER BY start DESC",
                              &select);
    if (status.ok())
        status = select->bind(1, id).bind(2, periodStart).run([&](const SqliteStatement &row) {
            rows.push_back({row.integer(0), static_cast<quint64>(row.integer(1)),
                            static_cast<quint64>(row.integer(2))});
        });
    for (auto row = rows.begin(); row != rows.end() && status.ok() && (in != 0 || out != 0);
         ++row) {
        const quint64 takeIn = std::min(row->in, in);
        const quint64 takeOut = std::min(row->out, out);
        in -= takeIn;
        out -= takeOut;
        SqliteStatement *change = nullptr;
        status = statement(tier,
                           "UPDATE %T SET bytes_in = bytes_in - ?3, "
                           "bytes_out = bytes_out - ?4 WHERE network = ?1 AND start = ?2",
                           &change);
        if (status.ok())
            status = change->bind(1, id)
                         .bind(2, row->start)
                         .bind(3, static_cast<qint64>(takeIn))
                         .bind(4, static_cast<qint64>(takeOut))
                         .run();
    }
    // Rows that gave all they held go.
    SqliteStatement *remove = nullptr;
    if (status.ok())
        status = statement(tier,
                           "DELETE FROM %T WHERE network = ?1 AND start >= ?2 "
                           "AND bytes_in = 0 AND bytes_out = 0",
                           &remove);
    if (status.ok())
        status = remove->bind(1, id).bind(2, periodStart).run();
    return status;
}

Status HistoryStore::reconcile(const QString &network, const QDateTime &periodStart,
                               quint64 totalIn, quint64 totalOut, const QDateTime &at) {
    if (!periodStart.isValid() || periodStart.toSecsSinceEpoch() <= 0)
        return {};
    if (network.isEmpty() || !at.isValid())
        return Status::invalidArgument(
            QStringLiteral("reconciling the traffic history needs a network and a valid time"));
    const qint64 start = periodStart.toSecsSinceEpoch();
    return write([&] {
        qint64 id = 0;
        TrafficTotals held;
        // Without totals nothing can be missing: an unknown network stays unknown.
        Status status = findNetwork(network, totalIn != 0 || totalOut != 0, &id);
        if (status.ok() && id != 0)
            status = sumSince(id, start, &held);
        if (status.ok() && id != 0)
            status = addBytes(id, at.toSecsSinceEpoch(), start, excess(totalIn, held.in),
                              excess(totalOut, held.out));
        for (const Tier tier : {Tier::Hours, Tier::Days}) {
            if (status.ok() && id != 0)
                status = takeBytes(tier, id, start, excess(held.in, totalIn),
                                   excess(held.out, totalOut));
        }
        return status;
    });
}

} // namespace flowtally
