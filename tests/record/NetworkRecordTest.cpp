// A network's record as Flowtally and flowtally-report read it: values of
// the wrong type or out of range read as the defaults, entries that name no
// field are handed back, and what is stored comes back the same.
#include "record/NetworkRecord.h"

#include "record/DistantPast.h"
#include "record/SettingsKeys.h"

#include <gtest/gtest.h>

#include <limits>

namespace flowtally {

namespace {

constexpr quint64 kMost = std::numeric_limits<quint64>::max();

// What a record reads of one entry; the rest as a record without entries.
struct Read {
    QDateTime periodStart = {};
    quint64 in = 0, out = 0;
    std::optional<double> limit = {};
    int startDay = 0;
    CountedTraffic counted = CountedTraffic::All;
    bool onlyOnMetered = false;
    FreeWindows windows = {};
};

QVariantMap window(QVariant start, QVariant end) {
    return QVariantMap{{FreeWindowKey::start, start}, {FreeWindowKey::end, end}};
}

// Each value read with care, and what is read stored so that it reads back
// the same. Free hours' windows are read with the same care as every other
// value. Only "internet" counts only the Internet's traffic (all traffic
// is stored as no entry at all); alerts only on metered connections need a
// boolean true (the text "NO" is no yes).
TEST(NetworkRecord, ValuesOfTheWrongTypeOrOutOfRangeReadAsTheDefaults) {
    const QDateTime reset = QDateTime::fromSecsSinceEpoch(1707865200, Qt::UTC);
    const double kInfinity = std::numeric_limits<double>::infinity();
    constexpr CountedTraffic kInternet = CountedTraffic::Internet;
    const QVariantList twoWindows{window(quint64(120), quint64(480)),
                                  window(quint64(1380), quint64(60))};
    QVariantList nine;
    for (quint64 hour = 0; hour < 9; ++hour)
        nine.append(window(hour * 60, hour * 60 + 30));
    // clang-format off
    const struct { const char *what; QString key; QVariant value; Read read; } cases[] = {
        {"a reset date", RecordKey::resetDate, reset, {.periodStart = reset}},
        {"the epoch: not set", RecordKey::resetDate, QDateTime::fromSecsSinceEpoch(0, Qt::UTC), {}},
        {"a reset date as text", RecordKey::resetDate, QStringLiteral("2024-02-14"), {}},
        {"bytes as text", RecordKey::totalInBytes, QStringLiteral("123"), {.in = 123}},
        {"bytes as a real", RecordKey::totalOutBytes, 1e30, {.out = kMost}},
        {"negative bytes", RecordKey::totalInBytes, qint64(-1), {}},
        {"a limit", RecordKey::gbpmLimit, 5e9, {.limit = 5e9}},
        {"a negative limit", RecordKey::gbpmLimit, -5e9, {}},
        {"an infinite limit", RecordKey::gbpmLimit, kInfinity, {}},
        {"a limit that is not a number", RecordKey::gbpmLimit, std::numeric_limits<double>::quiet_NaN(), {}},
        {"start day 31", RecordKey::cycleStartDay, quint64(31), {.startDay = 31}},
        // No cycle, for Flowtally as for the report; Flowtally once read 45 as 31.
        {"start day 45", RecordKey::cycleStartDay, quint64(45), {}},
        // Its low 32 bits are 5.
        {"a start day that would wrap", RecordKey::cycleStartDay, (quint64(1) << 32) + 5, {}},
        {"a negative start day", RecordKey::cycleStartDay, qint64(-14), {}},
        {"a start day as text", RecordKey::cycleStartDay, QStringLiteral("14"), {.startDay = 14}},
        {"counted: internet", RecordKey::countedTraffic, QStringLiteral("internet"), {.counted = kInternet}},
        {"counted: Internet", RecordKey::countedTraffic, QStringLiteral("Internet"), {}},
        {"only metered: true", RecordKey::alertOnlyOnMetered, true, {.onlyOnMetered = true}},
        {"only metered: false", RecordKey::alertOnlyOnMetered, false, {}},
        {"only metered: NO", RecordKey::alertOnlyOnMetered, QStringLiteral("NO"), {}},
        {"free hours: two windows, one across midnight", RecordKey::freeHours, twoWindows,
         {.windows = {{120, 480}, {1380, 60}}}},
        {"free hours: minutes as text", RecordKey::freeHours, QVariantList{window("120", "480")}, {.windows = {{120, 480}}}},
        {"free hours: not an array", RecordKey::freeHours, window(quint64(120), quint64(480)), {}},
        {"free hours: a window that is no dictionary", RecordKey::freeHours,
         QVariantList{quint64(120), window(quint64(0), quint64(60))}, {.windows = {{0, 60}}}},
        {"free hours: a minute past the day", RecordKey::freeHours, QVariantList{window(quint64(120), quint64(1440))}, {}},
        {"free hours: a negative minute", RecordKey::freeHours, QVariantList{window(qint64(-60), quint64(480))}, {}},
        {"free hours: a window of nothing", RecordKey::freeHours, QVariantList{window(quint64(120), quint64(120))}, {}},
        {"free hours: an end missing", RecordKey::freeHours, QVariantList{QVariantMap{{FreeWindowKey::start, quint64(120)}}}, {}},
        {"free hours: nine windows, eight are read", RecordKey::freeHours, nine,
         {.windows = {{0, 30}, {60, 90}, {120, 150}, {180, 210}, {240, 270}, {300, 330}, {360, 390}, {420, 450}}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QVariantMap entries{{RecordKey::PrimaryService, QStringLiteral("n")}};
        if (c.value.isValid())
            entries.insert(c.key, c.value);
        const NetworkRecord record = NetworkRecord::fromMap(entries);
        EXPECT_EQ(record.periodStart(), c.read.periodStart);
        EXPECT_EQ(record.totalIn, c.read.in);
        EXPECT_EQ(record.totalOut, c.read.out);
        EXPECT_EQ(record.limitInBytes(), c.read.limit);
        EXPECT_EQ(record.cycleStartDay, c.read.startDay);
        EXPECT_EQ(record.countedTraffic, c.read.counted);
        EXPECT_EQ(record.alertOnlyOnMetered, c.read.onlyOnMetered);
        EXPECT_EQ(record.freeWindows, c.read.windows);
        EXPECT_EQ(NetworkRecord::fromMap(record.toMap()), record);
        EXPECT_EQ(record.toMap().value(RecordKey::countedTraffic).toString(),
                  c.read.counted == kInternet ? "internet" : "");
    }
}

// Taking entries changes only the fields they name and hands back the keys
// that name none; the stored form comes back the same, a record of an older
// version that names only its counters' source forgets their origin, and
// free bytes stay within the totals.
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

    // Free hours' totals: free totals that never exceed the totals, and
    // totals that come without a free part (an older record, the defaults a
    // reset loads) with none of it free.
    record = NetworkRecord::fromMap(
        {{RecordKey::totalInBytes, quint64(1000)},
         {RecordKey::totalOutBytes, quint64(100)},
         {RecordKey::freeInBytes, quint64(400)},
         {RecordKey::freeOutBytes, quint64(500)},
         {RecordKey::freeHours, QVariantList{window(quint64(120), quint64(480))}}});
    EXPECT_EQ(record.freeTotals(), (TrafficTotals{400, 100}));
    EXPECT_EQ(record.billedTotals(), (TrafficTotals{600, 0}));
    EXPECT_EQ(NetworkRecord::fromMap(record.toMap()), record);
    // Totals without a free part: none of them free; the windows stay.
    record.take({{RecordKey::totalInBytes, quint64(900)}, {RecordKey::totalOutBytes, quint64(90)}});
    EXPECT_EQ(record.freeTotals(), (TrafficTotals{}));
    EXPECT_EQ(record.freeWindows.size(), 1);
    EXPECT_FALSE(record.toMap().contains(RecordKey::freeInBytes));

    // A change of the windows read anew moves bytes between free and
    // billed, within the totals.
    record.take({{RecordKey::totalInBytes, quint64(1000)}, {RecordKey::freeInBytes, quint64(400)}});
    record.takeFreeHoursChange({{300, 0}, {100, 0}, {}, 0, 0});
    EXPECT_EQ(record.freeIn, 600u);
    record.takeFreeHoursChange({{kMost, 0}, {}, {}, 0, 0});
    EXPECT_EQ(record.freeIn, 1000u);
    record.takeFreeHoursChange({{}, {5000, 0}, {}, 0, 0});
    EXPECT_EQ(record.freeIn, 0u);
}

} // namespace

} // namespace flowtally
