#pragma once

#include "platform/system/Status.h"

namespace flowtally {

class SqliteDatabase;

// The layout of the traffic history file, numbered in SQLite's user_version,
// and the steps that bring a file of any earlier layout to the current one.
//
// Layout 1: byte counts per network in two tables, "hours" and "days", each
// row keyed by the network's service identifier and its start.
// Layout 2: a table "networks" with each network's name to show and the time
// it was last seen; the count tables refer to it by number, which keeps the
// identifier out of every row.
// Layout 3: each count row also holds the bytes of it that were counted in
// the network's free hours ("free_in", "free_out", never more than the
// row's bytes); rows of earlier layouts hold none.
// Layout 4: the tables "application_hours" and "application_days" hold the
// bytes of each application (its key, see CgroupApplication) per network and
// bucket, split at a period start like the count rows; files of earlier
// layouts hold none.
constexpr int kHistoryLayout = 4;

// Brings a database open for writing to the current layout in one
// transaction: lays out an empty file, or applies in order the steps an
// earlier layout lacks. Refuses a newer layout and another program's database.
Status migrateHistory(SqliteDatabase &database);

// Checks, without writing, that a database has the current layout; otherwise
// says whether the file is empty, another program's, older or newer.
Status checkHistoryLayout(SqliteDatabase &database);

} // namespace flowtally
