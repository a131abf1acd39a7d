// A network's record as Flowtally and flowtally-report read it: values of
// the wrong type or out of range read as the defaults, entries that name no
// field are handed back, and what is stored comes back the same.
#include "NetworkRecord.h"

#include "DistantPast.h"
#include "SettingsKeys.h"

#include <gtest/gtest.h>

#include <limits>

namespace flowtally {

namespace {

constexpr quint64 kMost = std::numeric_limits<quint64>::max();

TEST(NetworkRecord, ValuesOfTheWrongTypeOrOutOfRangeReadAsTheDefaults) {
    const QDateTime reset = QDateTime::fromSecsSinceEpoch(1707865200, Qt::UTC);
    const double kInfinity = std::numeric_limits<double>::infinity();
    // clang-format off
    const struct { const char *what; QString key; QVariant value;
                   QDateTime periodStart; quint64 in, out; std::optional<double> limit; int startDay; } cases[] = {
        {"a reset date", RecordKey::resetDate, reset, reset, 0, 0, {}, 0},
        {"the epoch: not set", RecordKey::resetDate, QDateTime::fromSecsSinceEpoch(0, Qt::UTC), {}, 0, 0, {}, 0},
        {"a reset date as text", RecordKey::resetDate, QStringLiteral("2024-02-14"), {}, 0, 0, {}, 0},
        {"bytes as text", RecordKey::totalInBytes, QStringLiteral("123"), {}, 123, 0, {}, 0},
        {"bytes as a real", RecordKey::totalOutBytes, 1e30, {}, 0, kMost, {}, 0},
        {"negative bytes", RecordKey::totalInBytes, qint64(-1), {}, 0, 0, {}, 0},
        {"a limit", RecordKey::gbpmLimit, 5e9, {}, 0, 0, 5e9, 0},
        {"a negative limit", RecordKey::gbpmLimit, -5e9, {}, 0, 0, {}, 0},
        {"an infinite limit", RecordKey::gbpmLimit, kInfinity, {}, 0, 0, {}, 0},
        {"a limit that is not a number", RecordKey::gbpmLimit, std::numeric_limits<double>::quiet_NaN(), {}, 0, 0, {}, 0},
        {"start day 31", RecordKey::cycleStartDay, quint64(31), {}, 0, 0, {}, 31},
        // No cycle, for Flowtally as for the report; Flowtally once read 45 as 31.
        {"start day 45", RecordKey::cycleStartDay, quint64(45), {}, 0, 0, {}, 0},
        // Its low 32 bits are 5.
        {"a start day that would wrap", RecordKey::cycleStartDay, (quint64(1) << 32) + 5, {}, 0, 0, {}, 0},
        {"a negative start day", RecordKey::cycleStartDay, qint64(-14), {}, 0, 0, {}, 0},
        {"a start day as text", RecordKey::cycleStartDay, QStringLiteral("14"), {}, 0, 0, {}, 14},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const NetworkRecord record = NetworkRecord::fromMap({{c.key, c.value}});
        EXPECT_EQ(record.periodStart(), c.periodStart);
        EXPECT_EQ(record.totalIn, c.in);
        EXPECT_EQ(record.totalOut, c.out);
        EXPECT_EQ(record.limitInBytes(), c.limit);
        EXPECT_EQ(record.cycleStartDay, c.startDay);
    }
}

// Taking entries changes only the fields they name and hands back the keys
// that name none; the stored form comes back the same, and a record of an
// older version that names only its counters' source forgets their origin.
TEST(NetworkRecord, TakesItsEntriesAndGivesThemBack) {
    NetworkRecord record =
        NetworkRecord::fromMap({{RecordKey::PrimaryService, QStringLiteral("n")},
                                {RecordKey::totalInBytes, quint64(1) << 40},
                                {RecordKey::prevValOrigin, QVariantMap{{"device", "eth0"}}},
                                {RecordKey::cycleStartDay, quint64(14)}});
    EXPECT_EQ(record.take({{RecordKey::totalOutBytes, quint64(7)},
                           {QStringLiteral("DisplayLimitGB"), 250.0},
                           {QStringLiteral("HideHelp"), false}}),
              (QStringList{"DisplayLimitGB", "HideHelp"}));
    EXPECT_EQ(record.totalIn, quint64(1) << 40);
    EXPECT_EQ(record.totalOut, 7u);
    EXPECT_EQ(NetworkRecord::fromMap(record.toMap()), record);
    EXPECT_EQ(record.toMap().value(RecordKey::resetDate).toDateTime(), distantPast());

    record.take({{RecordKey::prevValSource, QStringLiteral("local")}});
    EXPECT_TRUE(record.prevOrigin.isEmpty());
    EXPECT_FALSE(record.toMap().contains(RecordKey::prevValOrigin));
}

// Only "internet" counts only the Internet's traffic: anything else, or
// nothing, is all traffic, which is stored as no entry at all.
TEST(NetworkRecord, CountsAllTrafficUnlessOnlyTheInternetsIsAsked) {
    // clang-format off
    const struct { QVariant value; CountedTraffic counted; } cases[] = {
        {{}, CountedTraffic::All},
        {QStringLiteral("internet"), CountedTraffic::Internet},
        {QStringLiteral("all"), CountedTraffic::All},
        {QStringLiteral("Internet"), CountedTraffic::All},
        {quint64(1), CountedTraffic::All},
        {QVariantMap{{"internet", true}}, CountedTraffic::All},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        QVariantMap entries{{RecordKey::PrimaryService, QStringLiteral("n")}};
        if (c.value.isValid())
            entries.insert(RecordKey::countedTraffic, c.value);
        const NetworkRecord record = NetworkRecord::fromMap(entries);
        EXPECT_EQ(record.countedTraffic, c.counted);
        EXPECT_EQ(NetworkRecord::fromMap(record.toMap()), record);
        EXPECT_EQ(record.toMap().value(RecordKey::countedTraffic).toString(),
                  c.counted == CountedTraffic::Internet ? "internet" : "");
    }
}

} // namespace

} // namespace flowtally
