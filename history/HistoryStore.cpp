// The history file: opening it, and every write to it.
#include "history/HistoryStore.h"

#include "platform/system/Environment.h"
#include "history/HistorySchema.h"
#include "history/LocalBuckets.h"
#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace flowtally {

namespace {

// The largest count SQLite's 64-bit signed integers hold.
constexpr quint64 kLargestCount = std::numeric_limits<qint64>::max();
// The row start of an entry without a period start: its bucket's start.
constexpr qint64 kNoPeriodStart = std::numeric_limits<qint64>::min();
constexpr int kHourlyDays = 90;
constexpr int kDailyYears = 10;

Status makeFolderOf(const QString &path) {
    const QString folder = QFileInfo(path).absolutePath();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        return Status::systemError(
            QStringLiteral("cannot make the folder %1 for the traffic history").arg(folder),
            error.value());
    return {};
}

Status checkEntry(const HistoryEntry &entry) {
    if (entry.network.isEmpty() || !entry.at.isValid())
        return Status::invalidArgument(
            QStringLiteral("a traffic history entry needs a network and a valid time"));
    if (entry.in > kLargestCount || entry.out > kLargestCount)
        return Status::invalidArgument(
            QStringLiteral("the traffic history cannot count %1 bytes of %2")
                .arg(std::max(entry.in, entry.out))
                .arg(entry.network));
    if (entry.freeIn > entry.in || entry.freeOut > entry.out)
        return Status::invalidArgument(
            QStringLiteral("a traffic history entry of %1 has more bytes in free hours than bytes")
                .arg(entry.network));
    TrafficTotals ofApplications;
    for (const TrafficTotals &bytes : entry.applications) {
        ofApplications.in += bytes.in;
        ofApplications.out += bytes.out;
        if (bytes.in > entry.in || bytes.out > entry.out || ofApplications.in > entry.in ||
            ofApplications.out > entry.out)
            return Status::invalidArgument(
                QStringLiteral("a traffic history entry of %1 has more bytes of applications "
                               "than bytes")
                    .arg(entry.network));
    }
    return {};
}

} // namespace

HistoryStore::HistoryStore(std::unique_ptr<SqliteDatabase> database, const Options &options)
    : database_(std::move(database)), options_(options) {}

HistoryStore::~HistoryStore() = default;

QString HistoryStore::standardPath() {
    return Environment::current().dataFolder() + QStringLiteral("/flowtally/history.sqlite3");
}

Status HistoryStore::open(const QString &path, const Options &options,
                          std::unique_ptr<HistoryStore> *store) {
    auto database = std::make_unique<SqliteDatabase>(path);
    Status status;
    if (options.readOnly) {
        if (!QFileInfo::exists(path))
            return Status::notFound(QStringLiteral("there is no traffic history at %1").arg(path));
        status = database->open(SqliteDatabase::Access::ReadOnly, options.busyTimeout);
        if (status.ok())
            status = checkHistoryLayout(*database);
    } else {
        status = makeFolderOf(path);
        if (status.ok())
            status = database->open(SqliteDatabase::Access::ReadWrite, options.busyTimeout);
        if (status.ok())
            status = database->execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON");
        if (status.ok())
            status = migrateHistory(*database);
        // Only a file known to be a history is switched: the switch writes it.
        if (status.ok())
            status = database->execute("PRAGMA journal_mode = WAL");
    }
    if (status.ok())
        store->reset(new HistoryStore(std::move(database), options));
    return status;
}

Status HistoryStore::statement(Tier tier, const char *pattern, SqliteStatement **prepared) {
    std::string sql = pattern;
    const std::string table = tier == Tier::Hours ? "hours" : "days";
    for (size_t at = sql.find("%T"); at != std::string::npos; at = sql.find("%T", at))
        sql.replace(at, 2, table);
    return database_->statement(sql, prepared);
}

Status HistoryStore::write(const std::function<Status()> &work) {
    if (options_.readOnly)
        return Status::refused(QStringLiteral("the traffic history %1 is open for reading only")
                                   .arg(database_->path()));
    const Status status = database_->transaction(work);
    if (!status.ok())
        networkIds_.clear(); // networks the failed work added are gone with it
    return status;
}

Status HistoryStore::findNetwork(const QString &network, bool create, qint64 *id) {
    *id = networkIds_.value(network);
    if (*id != 0)
        return {};
    SqliteStatement *select = nullptr;
    Status status = database_->statement("SELECT id FROM networks WHERE service = ?1", &select);
    if (status.ok())
        status =
            select->bind(1, network).run([&](const SqliteStatement &row) { *id = row.integer(0); });
    if (status.ok() && *id == 0 && create) {
        SqliteStatement *insert = nullptr;
        status = database_->statement("INSERT INTO networks (service) VALUES (?1) RETURNING id",
                                      &insert);
        if (status.ok())
            status = insert->bind(1, network).run([&](const SqliteStatement &row) {
                *id = row.integer(0);
            });
    }
    if (status.ok() && *id != 0)
        networkIds_.insert(network, *id);
    return status;
}

Status HistoryStore::addToRow(Tier tier, qint64 id, qint64 start, const TrafficTotals &bytes,
                              const TrafficTotals &free) {
    SqliteStatement *upsert = nullptr;
    Status status =
        statement(tier,
                  "INSERT INTO %T (network, start, bytes_in, bytes_out, free_in, free_out) "
                  "VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT (network, start) DO UPDATE "
                  "SET bytes_in = bytes_in + excluded.bytes_in, "
                  "bytes_out = bytes_out + excluded.bytes_out, "
                  "free_in = free_in + excluded.free_in, "
                  "free_out = free_out + excluded.free_out",
                  &upsert);
    if (status.ok())
        status = upsert->bind(1, id)
                     .bind(2, start)
                     .bind(3, static_cast<qint64>(bytes.in))
                     .bind(4, static_cast<qint64>(bytes.out))
                     .bind(5, static_cast<qint64>(free.in))
                     .bind(6, static_cast<qint64>(free.out))
                     .run();
    return status;
}

Status HistoryStore::addBytes(qint64 id, qint64 at, qint64 periodStart, const TrafficTotals &bytes,
                              const TrafficTotals &free) {
    if (bytes.in == 0 && bytes.out == 0)
        return {};
    Status status;
    for (const auto &[tier, bucketStart] : kTiers) {
        if (status.ok())
            status = addToRow(tier, id, std::max(bucketStart(at, options_.zone), periodStart),
                              bytes, free);
    }
    return status;
}

Status HistoryStore::pullBack(qint64 id, qint64 at, qint64 periodStart) {
    Status status;
    for (const auto &[tier, bucketStart] : kTiers) {
        const qint64 start = std::max(bucketStart(at, options_.zone), periodStart);
        TrafficTotals ahead, aheadFree;
        SqliteStatement *sum = nullptr, *remove = nullptr;
        if (status.ok())
            status = statement(tier,
                               "SELECT coalesce(sum(bytes_in), 0), coalesce(sum(bytes_out), 0), "
                               "coalesce(sum(free_in), 0), coalesce(sum(free_out), 0) "
                               "FROM %T WHERE network = ?1 AND start > ?2",
                               &sum);
        if (status.ok())
            status = sum->bind(1, id).bind(2, start).run([&](const SqliteStatement &row) {
                ahead = {static_cast<quint64>(row.integer(0)),
                         static_cast<quint64>(row.integer(1))};
                aheadFree = {static_cast<quint64>(row.integer(2)),
                             static_cast<quint64>(row.integer(3))};
            });
        if (status.ok())
            status = statement(tier, "DELETE FROM %T WHERE network = ?1 AND start > ?2", &remove);
        if (status.ok())
            status = remove->bind(1, id).bind(2, start).run();
        if (status.ok() && (ahead.in != 0 || ahead.out != 0))
            status = addToRow(tier, id, start, ahead, aheadFree);
        if (status.ok())
            status = pullBackApplications(tier, id, start);
    }
    return status;
}

Status HistoryStore::add(const std::vector<HistoryEntry> &entries) {
    for (const HistoryEntry &entry : entries) {
        if (Status checked = checkEntry(entry); !checked.ok())
            return checked;
    }
    return write([&] {
        Status status;
        for (const HistoryEntry &entry : entries) {
            const qint64 at = entry.at.toSecsSinceEpoch();
            const qint64 periodStart =
                entry.periodStart.isValid() ? entry.periodStart.toSecsSinceEpoch() : kNoPeriodStart;
            qint64 id = 0;
            SqliteStatement *lastSeen = nullptr, *seen = nullptr;
            qint64 seenLast = std::numeric_limits<qint64>::min();
            if (status.ok())
                status = findNetwork(entry.network, true, &id);
            if (status.ok())
                status = database_->statement(
                    "SELECT coalesce(last_seen, ?2) FROM networks WHERE id = ?1", &lastSeen);
            if (status.ok())
                status = lastSeen->bind(1, id).bind(2, at).run(
                    [&](const SqliteStatement &row) { seenLast = row.integer(0); });
            // The clock came back: what was dated ahead of it comes back with
            // it, so that no byte is ever dated ahead of the clock.
            const bool clockBack = seenLast > at;
            if (status.ok() && clockBack)
                status = pullBack(id, at, periodStart);
            if (status.ok())
                status = addBytes(id, at, periodStart, {entry.in, entry.out},
                                  {entry.freeIn, entry.freeOut});
            if (status.ok())
                status = addApplications(id, at, periodStart, entry.applications);
            if (status.ok())
                status = database_->statement("UPDATE networks SET last_seen = "
                                              "CASE WHEN ?3 THEN ?2 ELSE "
                                              "max(coalesce(last_seen, ?2), ?2) END WHERE id = ?1",
                                              &seen);
            if (status.ok())
                status = seen->bind(1, id).bind(2, at).bind(3, qint64(clockBack)).run();
        }
        return status;
    });
}

Status HistoryStore::prune(const QDateTime &now) {
    if (!now.isValid())
        return Status::invalidArgument(
            QStringLiteral("pruning the traffic history needs a valid time"));
    const QDateTime local = now.toTimeZone(options_.zone);
    const std::pair<Tier, QDateTime> limits[] = {{Tier::Hours, local.addDays(-kHourlyDays)},
                                                 {Tier::Days, local.addYears(-kDailyYears)}};
    return write([&] {
        Status status;
        for (const auto &[tier, limit] : limits) {
            SqliteStatement *remove = nullptr;
            if (status.ok())
                status = statement(tier, "DELETE FROM %T WHERE start < ?1", &remove);
            if (status.ok())
                status = remove->bind(1, limit.toSecsSinceEpoch()).run();
            if (status.ok())
                status = statement(tier, "DELETE FROM application_%T WHERE start < ?1", &remove);
            if (status.ok())
                status = remove->bind(1, limit.toSecsSinceEpoch()).run();
        }
        return status;
    });
}

Status HistoryStore::nameNetwork(const QString &network, const QString &name) {
    if (network.isEmpty())
        return Status::invalidArgument(
            QStringLiteral("naming a network in the traffic history needs its identifier"));
    return write([&] {
        SqliteStatement *upsert = nullptr;
        Status status =
            database_->statement("INSERT INTO networks (service, name) VALUES (?1, ?2) "
                                 "ON CONFLICT (service) DO UPDATE SET name = excluded.name",
                                 &upsert);
        if (status.ok())
            status = upsert->bind(1, network).bind(2, name).run();
        return status;
    });
}

} // namespace flowtally
