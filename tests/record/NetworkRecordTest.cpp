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

// "Alert me only on metered connections" is on for a boolean true alone
// (the text "NO" is no yes), and comes back as it was stored.
TEST(NetworkRecord, AlertsOnlyOnMeteredConnectionsWhenAskedSo) {
    // clang-format off
    const struct { QVariant value; bool only; } cases[] = {
        {{}, false}, {true, true}, {false, false}, {QStringLiteral("NO"), false}, {quint64(2), false}};
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        QVariantMap entries{{RecordKey::PrimaryService, QStringLiteral("n")}};
        if (c.value.isValid())
            entries.insert(RecordKey::alertOnlyOnMetered, c.value);
        const NetworkRecord record = NetworkRecord::fromMap(entries);
        EXPECT_EQ(record.alertOnlyOnMetered, c.only);
        EXPECT_EQ(NetworkRecord::fromMap(record.toMap()), record);
    }
}

// Free hours as a record keeps them: windows read with the same care as
// every other value, free totals that never exceed the totals, and totals
// that come without a free part (an older record, the defaults a reset
// loads) with none of it free.
TEST(NetworkRecord, FreeHoursAndTheirTotals) {
    const auto window = [](QVariant start, QVariant end) {
        return QVariantMap{{FreeWindowKey::start, start}, {FreeWindowKey::end, end}};
    };
    QVariantList nine;
    for (quint64 hour = 0; hour < 9; ++hour)
        nine.append(window(hour * 60, hour * 60 + 30));
    // clang-format off
    const struct { const char *what; QVariant stored; FreeWindows windows; } cases[] = {
        {"two windows, one across midnight", QVariantList{window(quint64(120), quint64(480)), window(quint64(1380), quint64(60))},
         {{120, 480}, {1380, 60}}},
        {"minutes as text", QVariantList{window("120", "480")}, {{120, 480}}},
        {"not an array", window(quint64(120), quint64(480)), {}},
        {"a window that is no dictionary", QVariantList{quint64(120), window(quint64(0), quint64(60))}, {{0, 60}}},
        {"a minute past the day", QVariantList{window(quint64(120), quint64(1440))}, {}},
        {"a negative minute", QVariantList{window(qint64(-60), quint64(480))}, {}},
        {"a window of nothing", QVariantList{window(quint64(120), quint64(120))}, {}},
        {"an end missing", QVariantList{QVariantMap{{FreeWindowKey::start, quint64(120)}}}, {}},
        {"nine windows: eight are read", nine, FreeWindows{{0, 30}, {60, 90}, {120, 150}, {180, 210},
                                                           {240, 270}, {300, 330}, {360, 390}, {420, 450}}},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(NetworkRecord::fromMap({{RecordKey::freeHours, c.stored}}).freeWindows, c.windows)
            << c.what;

    NetworkRecord record = NetworkRecord::fromMap({{RecordKey::totalInBytes, quint64(1000)},
                                                   {RecordKey::totalOutBytes, quint64(100)},
                                                   {RecordKey::freeInBytes, quint64(400)},
                                                   {RecordKey::freeOutBytes, quint64(500)},
                                                   {RecordKey::freeHours, cases[0].stored}});
    EXPECT_EQ(record.freeTotals(), (TrafficTotals{400, 100}));
    EXPECT_EQ(record.billedTotals(), (TrafficTotals{600, 0}));
    EXPECT_EQ(NetworkRecord::fromMap(record.toMap()), record);
    // A reset's defaults: totals of 0 and no free part; the windows stay.
    record.take({{RecordKey::totalInBytes, quint64(0)}, {RecordKey::totalOutBytes, quint64(0)}});
    EXPECT_EQ(record.freeTotals(), (TrafficTotals{}));
    EXPECT_EQ(record.freeWindows.size(), 2);
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
