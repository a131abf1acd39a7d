#include "history/SqliteStatement.h"

#include "history/SqliteDatabase.h"

#include <sqlite3.h>

namespace flowtally {

SqliteStatement::SqliteStatement(SqliteDatabase &database, sqlite3_stmt *statement)
    : database_(database), statement_(statement) {}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement &SqliteStatement::bind(int parameter, qint64 value) {
    noteBind(sqlite3_bind_int64(statement_, parameter, value));
    return *this;
}

SqliteStatement &SqliteStatement::bind(int parameter, const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    noteBind(sqlite3_bind_text(statement_, parameter, utf8.constData(), int(utf8.size()),
                               SQLITE_TRANSIENT));
    return *this;
}

void SqliteStatement::noteBind(int code) {
    if (code != SQLITE_OK && bindFailure_ == 0)
        bindFailure_ = code;
}

Status SqliteStatement::run(const std::function<void(const SqliteStatement &)> &onRow) {
    int code = bindFailure_;
    if (code == 0) {
        while ((code = sqlite3_step(statement_)) == SQLITE_ROW) {
            if (onRow)
                onRow(*this);
        }
    }
    const Status status = code == SQLITE_DONE ? Status() : database_.failure(code);
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    bindFailure_ = 0;
    return status;
}

qint64 SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

QString SqliteStatement::text(int column) const {
    const auto *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(statement_, column));
    return QString::fromUtf8(utf8, sqlite3_column_bytes(statement_, column));
}

} // namespace flowtally
