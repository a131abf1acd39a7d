#include "history/SqliteDatabase.h"

#include "history/SqliteStatement.h"

#include <sqlite3.h>

namespace flowtally {

SqliteDatabase::SqliteDatabase(QString path) : path_(std::move(path)) {}

SqliteDatabase::~SqliteDatabase() {
    statements_.clear(); // statements are finalized before their connection
    sqlite3_close(handle_);
}

Status SqliteDatabase::open(Access access, std::chrono::milliseconds busyTimeout) {
    const int flags = SQLITE_OPEN_NOMUTEX |
                      (access == Access::ReadOnly ? SQLITE_OPEN_READONLY
                                                  : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const int code = sqlite3_open_v2(path_.toUtf8().constData(), &handle_, flags, nullptr);
    if (code != SQLITE_OK)
        return failure(code);
    sqlite3_extended_result_codes(handle_, 1);
    sqlite3_busy_timeout(handle_, static_cast<int>(busyTimeout.count()));
    return {};
}

Status SqliteDatabase::execute(const char *sql) {
    const int code = sqlite3_exec(handle_, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK ? Status() : failure(code);
}

Status SqliteDatabase::statement(const std::string &sql, SqliteStatement **prepared) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        sqlite3_stmt *compiled = nullptr;
        const int code = sqlite3_prepare_v3(handle_, sql.c_str(), static_cast<int>(sql.size()),
                                            SQLITE_PREPARE_PERSISTENT, &compiled, nullptr);
        if (code != SQLITE_OK)
            return failure(code);
        found = statements_.emplace(sql, std::make_unique<SqliteStatement>(*this, compiled)).first;
    }
    *prepared = found->second.get();
    return {};
}

Status SqliteDatabase::transaction(const std::function<Status()> &work) {
    if (Status begun = execute("BEGIN IMMEDIATE"); !begun.ok())
        return begun;
    Status done = work();
    if (done.ok())
        done = execute("COMMIT");
    if (!done.ok() && !sqlite3_get_autocommit(handle_))
        (void)execute("ROLLBACK"); // the failure that led here is the one to report
    return done;
}

Status SqliteDatabase::failure(int code) const {
    const QString file = path_;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Status::refused(
            QStringLiteral("the traffic history %1 is locked by another program").arg(file));
    case SQLITE_NOTADB:
        return Status::corrupt(
            QStringLiteral("%1 is not a traffic history: it is not an SQLite database, or a "
                           "damaged one")
                .arg(file));
    case SQLITE_CORRUPT:
        return Status::corrupt(QStringLiteral("the traffic history %1 is damaged").arg(file));
    case SQLITE_READONLY:
        return Status::refused(
            QStringLiteral("the traffic history %1 cannot be written: it is read-only").arg(file));
    case SQLITE_FULL:
        return Status::ioError(
            QStringLiteral("the disk that holds the traffic history %1 is full").arg(file));
    case SQLITE_CANTOPEN:
        return Status::systemError(QStringLiteral("cannot open the traffic history %1").arg(file),
                                   sqlite3_system_errno(handle_));
    case SQLITE_IOERR:
        return Status::systemError(
            QStringLiteral("cannot read or write the traffic history %1").arg(file),
            sqlite3_system_errno(handle_));
    }
    if (code == SQLITE_CONSTRAINT_CHECK)
        return Status::invalidArgument(
            QStringLiteral("a byte count in the traffic history %1 would exceed the largest it "
                           "can hold")
                .arg(file));
    return Status::ioError(QStringLiteral("the traffic history %1 failed: %2")
                               .arg(file, QString::fromUtf8(handle_ ? sqlite3_errmsg(handle_)
                                                                    : sqlite3_errstr(code))));
}

} // namespace flowtally
