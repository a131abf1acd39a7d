#include "history/HistorySchema.h"

#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <string>
#include <vector>

namespace flowtally {

namespace {

// A count column: SQLite turns a sum beyond 64 bits into a floating-point
// value, which the check refuses, so a count is exact or not stored at all.
std::string countColumn(const std::string &name) {
    return name + " INTEGER NOT NULL CHECK (typeof(" + name + ") = 'integer' AND " + name +
           " >= 0)";
}

// A table of byte counts: one row per network and start of a bucket.
std::string countsTable(const std::string &table, const std::string &network) {
    return "CREATE TABLE " + table + " (network " + network +
           " NOT NULL, start INTEGER NOT NULL, " + countColumn("bytes_in") + ", " +
           countColumn("bytes_out") + ", PRIMARY KEY (network, start)) WITHOUT ROWID;";
}

// Layout 2 of a count table: its rows refer to the networks table by number.
std::string countsByNumber(const std::string &table) {
    const std::string renumbered = table + "_by_number";
    return countsTable(renumbered, "INTEGER REFERENCES networks (id)") + "INSERT INTO " +
           renumbered + " SELECT networks.id, start, bytes_in, bytes_out FROM " + table +
           " JOIN networks ON networks.service = " + table + ".network; DROP TABLE " + table +
           "; ALTER TABLE " + renumbered + " RENAME TO " + table + ";";
}

// Layout 3's columns of a count table: the part of its bytes counted in free
// hours.
std::string freeColumns(const std::string &table) {
    std::string sql;
    for (const char *direction : {"in", "out"}) {
        const std::string column = std::string("free_") + direction;
        sql += "ALTER TABLE " + table + " ADD COLUMN " + column +
               " INTEGER NOT NULL DEFAULT 0 CHECK (typeof(" + column + ") = 'integer' AND " +
               column + " >= 0 AND " + column + " <= bytes_" + direction + ");";
    }
    return sql;
}

// Layout 4's table of an application's bytes per network and bucket.
std::string applicationsTable(const std::string &table) {
    return "CREATE TABLE " + table +
           " (network INTEGER REFERENCES networks (id) NOT NULL, start INTEGER NOT NULL, "
           "application TEXT NOT NULL, " +
           countColumn("bytes_in") + ", " + countColumn("bytes_out") +
           ", PRIMARY KEY (network, start, application)) WITHOUT ROWID;";
}

// The steps from one layout to the next; step i makes layout i + 1.
std::vector<std::string> migrations() {
    return {
        countsTable("hours", "TEXT") + countsTable("days", "TEXT"),
        // The networks seen so far, last seen at the start of their newest
        // bucket; they have no name until Flowtally gives one.
        "CREATE TABLE networks (id INTEGER PRIMARY KEY, service TEXT NOT NULL UNIQUE, "
        "name TEXT NOT NULL DEFAULT '', last_seen INTEGER);"
        "INSERT INTO networks (service, last_seen) SELECT network, max(start) FROM "
        "(SELECT network, start FROM hours UNION ALL SELECT network, start FROM days) "
        "GROUP BY network;" +
            countsByNumber("hours") + countsByNumber("days"),
        freeColumns("hours") + freeColumns("days"),
        applicationsTable("application_hours") + applicationsTable("application_days"),
    };
}

struct Layout {
    qint64 version = 0;
    bool hasTables = false;
    // Which of a history's tables it holds: hours, days, networks.
    int historyTables = 0;
};

Status readLayout(SqliteDatabase &database, Layout *layout) {
    SqliteStatement *version = nullptr;
    SqliteStatement *tables = nullptr;
    Status status = database.statement("PRAGMA user_version", &version);
    if (status.ok())
        status =
            version->run([&](const SqliteStatement &row) { layout->version = row.integer(0); });
    if (status.ok())
        status = database.statement("SELECT count(*) FROM sqlite_schema", &tables);
    if (status.ok())
        status = tables->run(
            [&](const SqliteStatement &row) { layout->hasTables = row.integer(0) > 0; });
    SqliteStatement *ours = nullptr;
    if (status.ok())
        status = database.statement("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND "
                                    "name IN ('hours', 'days', 'networks')",
                                    &ours);
    if (status.ok())
        status = ours->run(
            [&](const SqliteStatement &row) { layout->historyTables = int(row.integer(0)); });
    return status;
}

// What is wrong with a layout that can be neither read nor brought up to
// date.
Status unusable(const SqliteDatabase &database, const Layout &layout) {
    const QString file = database.path();
    if (layout.version > kHistoryLayout)
        return Status::notSupported(
            QStringLiteral("the traffic history %1 comes from a newer Flowtally "
                           "(layout %2; this one knows up to %3)")
                .arg(file)
                .arg(layout.version)
                .arg(kHistoryLayout));
    // The first layout has the hourly and daily tables, the later ones the
    // networks too; a file whose version says more than its tables do is
    // another program's.
    const int tablesOfLayout = layout.version <= 0 ? 0 : layout.version == 1 ? 2 : 3;
    if ((layout.version <= 0 && layout.hasTables) || layout.historyTables < tablesOfLayout)
        return Status::corrupt(
            QStringLiteral("%1 is another program's database, not a traffic history").arg(file));
    return {};
}

// The file's layout, when it is one this program can read or bring up to
// date.
Status usableLayout(SqliteDatabase &database, Layout *layout) {
    Status status = readLayout(database, layout);
    if (status.ok())
        status = unusable(database, *layout);
    return status;
}

} // namespace

Status migrateHistory(SqliteDatabase &database) {
    return database.transaction([&] {
        Layout layout;
        Status status = usableLayout(database, &layout);
        if (!status.ok() || layout.version == kHistoryLayout)
            return status;
        const std::vector<std::string> steps = migrations();
        for (qint64 step = layout.version; step < kHistoryLayout && status.ok(); ++step)
            status = database.execute(steps[step].c_str());
        if (status.ok())
            status = database.execute(
                ("PRAGMA user_version = " + std::to_string(kHistoryLayout)).c_str());
        return status;
    });
}

Status checkHistoryLayout(SqliteDatabase &database) {
    Layout layout;
    const Status status = usableLayout(database, &layout);
    if (!status.ok() || layout.version == kHistoryLayout)
        return status;
    const QString file = database.path();
    if (layout.version <= 0)
        return Status::notFound(
            QStringLiteral("the traffic history %1 is empty: Flowtally has not written it yet")
                .arg(file));
    return Status::notSupported(
        QStringLiteral("the traffic history %1 has an older layout (%2): start "
                       "Flowtally once to bring it up to date")
            .arg(file)
            .arg(layout.version));
}

} // namespace flowtally
