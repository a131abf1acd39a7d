#pragma once

// A traffic history in a temporary folder, two networks, times written as
// text, and buckets as text a failed check prints plainly.
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace flowtally {

// "2024-03-31T01:00:00Z": a moment.
inline QDateTime utc(const char *iso) {
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    EXPECT_TRUE(time.isValid()) << iso;
    return time.toUTC();
}

// "2024-03-31T03:00:00": a wall-clock time in a zone.
inline QDateTime local(const char *iso, const QTimeZone &zone) {
    QDateTime time = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    time.setTimeZone(zone);
    EXPECT_TRUE(time.isValid()) << iso;
    return time;
}

inline QTimeZone zone(const char *name) {
    const QTimeZone zone(name);
    EXPECT_TRUE(zone.isValid()) << name;
    return zone;
}

inline const QString kHome = QStringLiteral("6A1F0E52-0000-4000-8000-00000000A001");
inline const QString kOffice = QStringLiteral("6A1F0E52-0000-4000-8000-00000000A002");

class HistoryFixture : public ::testing::Test {
  protected:
    using Lines = std::vector<std::string>;

    // Clocks that change, for the tests that do not vary the zone.
    const QTimeZone berlin = zone("Europe/Berlin");

    // The history's file, in a folder the read-write store makes.
    QString path() const { return folder.filePath(QStringLiteral("flowtally/history.sqlite3")); }

    std::unique_ptr<HistoryStore> open(const HistoryStore::Options &options) {
        std::unique_ptr<HistoryStore> store;
        const Status status = HistoryStore::open(path(), options, &store);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return store;
    }

    // The history read-write in Berlin's time.
    std::unique_ptr<HistoryStore> open() { return open({.zone = berlin}); }

    void add(HistoryStore &store, const std::vector<HistoryEntry> &entries) {
        const Status status = store.add(entries);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
    }

    // A failed open's sentence; empty when the open succeeded.
    std::string openFailure(const HistoryStore::Options &options) {
        std::unique_ptr<HistoryStore> store;
        const Status status = HistoryStore::open(path(), options, &store);
        EXPECT_EQ(status.ok(), store != nullptr);
        return status.message().toStdString();
    }

    // The buckets of a network from `from` on, and as text.
    enum class Tier { Hours, Days, Months };
    QList<HistoryBucket> rows(HistoryStore &store, Tier tier, const QString &network,
                              const QDateTime &from = QDateTime::fromSecsSinceEpoch(0)) {
        const QDateTime to = utc("2100-01-01T00:00:00Z");
        QList<HistoryBucket> found;
        const Status status = tier == Tier::Hours  ? store.hours(network, from, to, &found)
                              : tier == Tier::Days ? store.days(network, from, to, &found)
                                                   : store.months(network, from, to, &found);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return found;
    }
    // Each bucket as "start-in-UTC in out".
    Lines buckets(HistoryStore &store, Tier tier, const QString &network,
                  const QDateTime &from = QDateTime::fromSecsSinceEpoch(0)) {
        Lines lines;
        for (const HistoryBucket &bucket : rows(store, tier, network, from))
            lines.push_back(bucket.start.toUTC().toString(Qt::ISODate).toStdString() + ' ' +
                            std::to_string(bucket.in) + ' ' + std::to_string(bucket.out));
        return lines;
    }

    // The applications of a network from `from` to `to`, as text, read into
    // a list that held something before.
    Lines applications(HistoryStore &store, const QString &network, const QDateTime &from,
                       const QDateTime &to) {
        QList<ApplicationBytes> found{{"stale", 1, 1}};
        EXPECT_TRUE(store.applications(network, from, to, &found).ok());
        Lines lines;
        for (const ApplicationBytes &bytes : found)
            lines.push_back(bytes.application.toStdString() + ' ' + std::to_string(bytes.in) + ' ' +
                            std::to_string(bytes.out));
        return lines;
    }

    // The buckets' bytes and free bytes summed, in a bucket without a start.
    static HistoryBucket sum(const QList<HistoryBucket> &buckets) {
        HistoryBucket sum;
        for (const HistoryBucket &bucket : buckets)
            sum = {{},
                   sum.in + bucket.in,
                   sum.out + bucket.out,
                   sum.freeIn + bucket.freeIn,
                   sum.freeOut + bucket.freeOut};
        return sum;
    }

    TrafficTotals since(HistoryStore &store, const QString &network, const QDateTime &start) {
        TrafficTotals totals;
        const Status status = store.bytesSince(network, start, &totals);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return totals;
    }

    // The part of them counted in free hours.
    TrafficTotals freeSince(HistoryStore &store, const QString &network, const QDateTime &start) {
        TrafficTotals bytes, free;
        const Status status = store.bytesSince(network, start, &bytes, &free);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return free;
    }

    QTemporaryDir folder;
};

} // namespace flowtally
