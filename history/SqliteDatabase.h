#pragma once

#include "platform/system/Status.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

struct sqlite3;

namespace flowtally {

class SqliteStatement;

// One connection to an SQLite file, closed with the object, with the
// statements it has prepared. Every failure becomes a Status whose sentence
// names the file and says what is wrong with it in words a person can act on.
//
// The connection is opened without SQLite's own locking: one thread at a time
// may use it (any thread, one after the other).
class SqliteDatabase {
  public:
    enum class Access { ReadWrite, ReadOnly };

    explicit SqliteDatabase(QString path);
    ~SqliteDatabase();
    Q_DISABLE_COPY_MOVE(SqliteDatabase)

    // Opens the file. Read-write creates it when missing; read-only never
    // creates nor writes it. Any operation waits up to `busyTimeout` for a
    // lock another connection holds before it fails as "locked".
    Status open(Access access, std::chrono::milliseconds busyTimeout);

    const QString &path() const { return path_; }

    // Runs SQL text of one or more statements that return no rows.
    Status execute(const char *sql);
    // The statement for `sql`, prepared on first use and kept until the
    // connection closes.
    Status statement(const std::string &sql, SqliteStatement **prepared);
    // Runs `work` in a write transaction: commits when it succeeds, rolls
    // back everything it did when it fails, and returns its Status.
    Status transaction(const std::function<Status()> &work);

    // The Status for an SQLite result code of this connection.
    Status failure(int code) const;

  private:
    QString path_;
    sqlite3 *handle_ = nullptr;
    std::map<std::string, std::unique_ptr<SqliteStatement>> statements_;
};

} // namespace flowtally
