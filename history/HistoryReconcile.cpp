// Reconciling the history with the totals of a network's settings record.
#include "history/HistoryStore.h"

#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace flowtally {

namespace {

quint64 excess(quint64 value, quint64 over) {
    return value > over ? value - over : 0;
}

// A count as the file's signed numbers hold it.
qint64 signedCount(quint64 count) {
    return static_cast<qint64>(std::min<quint64>(count, std::numeric_limits<qint64>::max()));
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
        // Billed bytes go first: a row keeps what it counted in free hours
        // while it has bytes enough.
        status = statement(tier,
                           "UPDATE %T SET bytes_in = bytes_in - ?3, bytes_out = bytes_out - ?4, "
                           "free_in = min(free_in, bytes_in - ?3), "
                           "free_out = min(free_out, bytes_out - ?4) "
                           "WHERE network = ?1 AND start = ?2",
                           &change);
        if (status.ok())
            status = change->bind(1, id)
                         .bind(2, row->start)
                         .bind(3, static_cast<qint64>(takeIn))
                         .bind(4, static_cast<qint64>(takeOut))
                         .run();
        // Its applications never hold more than it.
        if (status.ok())
            status = trimApplications(tier, id, row->start, {row->in - takeIn, row->out - takeOut});
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

Status HistoryStore::shiftFree(Tier tier, qint64 id, qint64 periodStart, qint64 in, qint64 out) {
    if (in == 0 && out == 0)
        return {};
    struct Row {
        qint64 start;
        qint64 in, out, freeIn, freeOut;
    };
    std::vector<Row> rows;
    SqliteStatement *select = nullptr;
    Status status = statement(tier,
                              "SELECT start, bytes_in, bytes_out, free_in, free_out FROM %T "
                              "WHERE network = ?1 AND start >= ?2 ORDER BY start DESC",
                              &select);
    if (status.ok())
        status = select->bind(1, id).bind(2, periodStart).run([&](const SqliteStatement &row) {
            rows.push_back(
                {row.integer(0), row.integer(1), row.integer(2), row.integer(3), row.integer(4)});
        });
    // How much of a shift a row takes: up to its billed bytes when bytes
    // become free, up to its free bytes when they become billed.
    const auto part = [](qint64 shift, qint64 bytes, qint64 free) {
        return shift > 0 ? std::min(shift, bytes - free) : std::max(shift, -free);
    };
    for (auto row = rows.begin(); row != rows.end() && status.ok() && (in != 0 || out != 0);
         ++row) {
        const qint64 shiftIn = part(in, row->in, row->freeIn);
        const qint64 shiftOut = part(out, row->out, row->freeOut);
        in -= shiftIn;
        out -= shiftOut;
        SqliteStatement *change = nullptr;
        status = statement(tier,
                           "UPDATE %T SET free_in = free_in + ?3, free_out = free_out + ?4 "
                           "WHERE network = ?1 AND start = ?2",
                           &change);
        if (status.ok())
            status =
                change->bind(1, id).bind(2, row->start).bind(3, shiftIn).bind(4, shiftOut).run();
    }
    return status;
}

Status HistoryStore::reconcile(const QString &network, const QDateTime &periodStart,
                               quint64 totalIn, quint64 totalOut, const QDateTime &at,
                               const std::optional<TrafficTotals> &free) {
    if (!periodStart.isValid() || periodStart.toSecsSinceEpoch() <= 0)
        return {};
    if (network.isEmpty() || !at.isValid())
        return Status::invalidArgument(
            QStringLiteral("reconciling the traffic history needs a network and a valid time"));
    const qint64 start = periodStart.toSecsSinceEpoch();
    return write([&] {
        qint64 id = 0;
        TrafficTotals held, heldFree;
        // Without totals nothing can be missing: an unknown network stays unknown.
        Status status = findNetwork(network, totalIn != 0 || totalOut != 0, &id);
        if (status.ok() && id != 0)
            status = sumSince(id, start, &held);
        if (status.ok() && id != 0)
            status = addBytes(id, at.toSecsSinceEpoch(), start,
                              {excess(totalIn, held.in), excess(totalOut, held.out)}, {});
        for (const Tier tier : {Tier::Hours, Tier::Days}) {
            if (status.ok() && id != 0)
                status = takeBytes(tier, id, start, excess(held.in, totalIn),
                                   excess(held.out, totalOut));
        }
        // Then the part counted in free hours, the newest rows first: bytes
        // that were missing are the newest, so they take it first.
        if (status.ok() && id != 0 && free)
            status = sumSince(id, start, &held, &heldFree);
        for (const Tier tier : {Tier::Hours, Tier::Days}) {
            if (status.ok() && id != 0 && free)
                status = shiftFree(
                    tier, id, start,
                    signedCount(std::min(free->in, totalIn)) - signedCount(heldFree.in),
                    signedCount(std::min(free->out, totalOut)) - signedCount(heldFree.out));
        }
        return status;
    });
}

} // namespace flowtally
