#pragma once

#include "history/ApplicationBytes.h"
#include "history/FreeHours.h"
#include "history/FreeHoursChange.h"
#include "history/HistoryBucket.h"
#include "history/HistoryEntry.h"
#include "history/HistoryNetwork.h"
#include "history/LocalBuckets.h"
#include "history/TrafficTotals.h"
#include "platform/system/Status.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace flowtally {

class SqliteDatabase;
class SqliteStatement;

// Flowtally's traffic history: the bytes of each network (network service,
// by its identifier) per local hour and per local day, in one SQLite file,
// each row with the part of its bytes counted in the network's free hours
// (the rest is billed), and the bytes of each application in it. Hourly rows
// are kept 90 days, daily rows 10 years (see prune()).
//
// Buckets follow the local time of the store's zone (see LocalBuckets.h).
// A row starts at max(start of its hour or day, the entry's period start):
// a period start splits the hour and the day it falls in, so the bytes
// since a period start are exactly the bytes added while that period ran.
// That holds when every entry counted after a period began carries that
// period's start. Times are stored as whole seconds since the epoch (UTC),
// like the reset dates of Flowtally's settings; a period start is cut to its
// second.
//
// The file is in WAL mode: a read-only store (a report program) reads while
// Flowtally writes. Writes sync at commit points only as far as WAL's
// "normal" level: a power cut may lose the last commits, never the file; the
// history is brought back in line with the settings by reconcile().
//
// One store is used by one thread at a time; it may move between threads
// between calls. Every failure gives a Status with one sentence; nothing
// throws. Reads of a network the store has never seen give nothing.
class HistoryStore {
  public:
    struct Options {
        bool readOnly = false;
        // Local time for the hours, days and months.
        QTimeZone zone = QTimeZone::systemTimeZone();
        // How long an operation waits for another program's lock.
        std::chrono::milliseconds busyTimeout = std::chrono::seconds(4);
    };

    // Opens the history at `path`. Read-write makes the folder and the file
    // when missing and brings an older layout up to date; read-only never
    // creates, writes or updates the file and fails unless it is a history
    // of the current layout. Fails on a file that is missing (read-only),
    // empty (read-only), not a database or damaged, locked, of a newer
    // layout, another program's database, or in a folder it cannot create.
    // Like any reader of a WAL file, a read-only store may create SQLite's
    // side files ("-wal", "-shm") beside a history that has none.
    static Status open(const QString &path, const Options &options,
                       std::unique_ptr<HistoryStore> *store);
    // Where Flowtally keeps its history: history.sqlite3 in the flowtally
    // folder of the environment's data folder (Environment::dataFolder).
    static QString standardPath();
    ~HistoryStore();
    Q_DISABLE_COPY_MOVE(HistoryStore)

    // Adds the bytes of all entries in one transaction: all are stored, or
    // none (an entry without a network or a valid time, a count above
    // 2^63 - 1, more free bytes than bytes, more bytes of applications than
    // bytes, or a sum the file cannot hold fails the whole batch). Entries without bytes only mark
    // their network as seen.
    Status add(const std::vector<HistoryEntry> &entries);

    // Brings bytesSince(network, periodStart) to the totals of the network's
    // settings record: missing bytes are added at `at` (split like an entry
    // of that period), surplus bytes are taken from the period's newest
    // rows, hourly and daily alike (their billed bytes first). With `free`,
    // the record's free totals, the bytes since the period start counted in
    // free hours are brought to them too: the newest rows (bytes that were
    // missing first) become free or billed until they match. Rows before
    // `periodStart` stay as they are. Does nothing for an invalid period
    // start or the epoch ("not set").
    Status reconcile(const QString &network, const QDateTime &periodStart, quint64 totalIn,
                     quint64 totalOut, const QDateTime &at,
                     const std::optional<TrafficTotals> &free = std::nullopt);

    // Reads the network's rows that start at or after `from` anew with other
    // free hours, in one transaction (see FreeHoursChange.h, which says what
    // it changed and what it could not read anew). `from` is the start of
    // the network's period, whose free totals then change by the same bytes.
    Status reapplyFreeHours(const QString &network, const QDateTime &from,
                            const FreeWindows &windows, FreeHoursChange *change);

    // Deletes hourly rows that start more than 90 days and daily rows that
    // start more than 10 years (local calendar) before `now`. Bytes since a
    // period start older than 10 years are no longer complete.
    Status prune(const QDateTime &now);

    // Sets the name a report shows for a network.
    Status nameNetwork(const QString &network, const QString &name);

    // The bytes of a network in the daily rows that start at or after
    // `periodStart`: exact for a period start its entries carried. With
    // `free`, also the part of them counted in free hours.
    Status bytesSince(const QString &network, const QDateTime &periodStart, TrafficTotals *totals,
                      TrafficTotals *free = nullptr);

    // Where a network's history begins: the start of its oldest hourly row,
    // or daily row once the hourly rows are gone; invalid when it has none.
    Status historyStart(const QString &network, QDateTime *start);

    // A network's bytes per local hour, day or month, oldest first, from the
    // rows that start in [from, to). Rows a period start split are summed
    // into their hour or day; months are summed from the daily rows. A
    // bucket's start is where its hour, day or month begins even when `from`
    // cuts it.
    Status hours(const QString &network, const QDateTime &from, const QDateTime &to,
                 QList<HistoryBucket> *buckets);
    Status days(const QString &network, const QDateTime &from, const QDateTime &to,
                QList<HistoryBucket> *buckets);
    Status months(const QString &network, const QDateTime &from, const QDateTime &to,
                  QList<HistoryBucket> *buckets);

    // Every network the history knows, the most recently seen first.
    Status networks(QList<HistoryNetwork> *networks);

    // The bytes of each application on a network in the daily rows that
    // start in [from, to), the most bytes first (HistoryApplications.cpp).
    Status applications(const QString &network, const QDateTime &from, const QDateTime &to,
                        QList<ApplicationBytes> *applications);

  private:
    enum class Tier { Hours, Days };
    using BucketStart = qint64 (*)(qint64 moment, const QTimeZone &zone);
    // The hourly and the daily rows, with where their buckets start.
    static constexpr std::pair<Tier, BucketStart> kTiers[] = {{Tier::Hours, &localHourStart},
                                                              {Tier::Days, &localDayStart}};

    HistoryStore(std::unique_ptr<SqliteDatabase> database, const Options &options);

    Status write(const std::function<Status()> &work);
    Status findNetwork(const QString &network, bool create, qint64 *id);
    Status addToRow(Tier tier, qint64 id, qint64 start, const TrafficTotals &bytes,
                    const TrafficTotals &free);
    Status addBytes(qint64 id, qint64 at, qint64 periodStart, const TrafficTotals &bytes,
                    const TrafficTotals &free);
    // Moves the bytes of the network's rows after the bucket of `at` into
    // that bucket.
    Status pullBack(qint64 id, qint64 at, qint64 periodStart);
    Status addApplications(qint64 id, qint64 at, qint64 periodStart,
                           const QMap<QString, TrafficTotals> &applications);
    // pullBack() of the applications' rows.
    Status pullBackApplications(Tier tier, qint64 id, qint64 start);
    Status takeBytes(Tier tier, qint64 id, qint64 periodStart, quint64 in, quint64 out);
    // Takes from the applications of the row at `start` what they hold beyond
    // `bytes`, its bytes, those with the most bytes first.
    Status trimApplications(Tier tier, qint64 id, qint64 start, const TrafficTotals &bytes);
    // Makes bytes of the rows since `periodStart` free (a positive shift) or
    // billed (a negative one), the newest rows first.
    Status shiftFree(Tier tier, qint64 id, qint64 periodStart, qint64 in, qint64 out);
    Status sumSince(qint64 id, qint64 periodStart, TrafficTotals *totals,
                    TrafficTotals *free = nullptr);
    // The rows of [from, to) summed per bucket; a row less than `surelyWithin`
    // seconds after the start of the bucket before it belongs to that bucket.
    Status buckets(Tier tier, BucketStart bucketStart, qint64 surelyWithin, const QString &network,
                   const QDateTime &from, const QDateTime &to, QList<HistoryBucket> *buckets);
    Status statement(Tier tier, const char *pattern, SqliteStatement **prepared);

    std::unique_ptr<SqliteDatabase> database_;
    Options options_;
    QHash<QString, qint64> networkIds_; // as committed to the file
};

} // namespace flowtally
