#pragma once

#include "platform/system/Status.h"

#include <QString>

#include <functional>

struct sqlite3_stmt;

namespace flowtally {

class SqliteDatabase;

// A prepared statement of an SqliteDatabase, which owns it. Parameters are
// bound by their number (1 for "?1"); a run steps through every row and
// leaves the statement reset, so that no statement holds a read of the file
// open between uses.
class SqliteStatement {
  public:
    SqliteStatement(SqliteDatabase &database, sqlite3_stmt *statement);
    ~SqliteStatement();
    Q_DISABLE_COPY_MOVE(SqliteStatement)

    SqliteStatement &bind(int parameter, qint64 value);
    SqliteStatement &bind(int parameter, const QString &text);

    // Runs the statement with the values bound since the last run; calls
    // `onRow` for each row it gives. Fails when a bind failed.
    Status run(const std::function<void(const SqliteStatement &)> &onRow = {});

    // The columns of the current row, for `onRow`. NULL reads as 0 or "".
    qint64 integer(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

  private:
    void noteBind(int code);

    SqliteDatabase &database_;
    sqlite3_stmt *statement_;
    int bindFailure_ = 0;
};

} // namespace flowtally
