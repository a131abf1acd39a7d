// The history's writes and reads: local buckets split at period starts, exact
// sums since a period start, retention, reconciling with the settings'
// totals, batches that are stored whole or not at all, and a reader beside
// the writer.
#include "tests/history/HistoryFixture.h"

#include "history/ApplicationsRest.h"
#include "history/HistoryWriter.h"
#include "tests/support/TestEnvironment.h"

namespace flowtally {

namespace {

using HistoryStoreTest = HistoryFixture;

TEST_F(HistoryStoreTest, BucketsFollowLocalTimeAndSplitAtPeriodStarts) {
    // Berlin's clocks go forward on 31 March 2024 at 01:00 UTC; a new period
    // begins that day a quarter second after 03:20 CEST, within the hour
    // after the change. The sums since each period start are exact.
    const QDateTime march = local("2024-03-01T00:00:00", berlin);
    const QDateTime newPeriod = utc("2024-03-31T01:20:00.250Z");
    auto store = open();
    add(*store, {{kHome, utc("2024-03-30T22:50:00Z"), 1, 0, march},
                 {kHome, utc("2024-03-31T00:10:00Z"), 10, 0, march},
                 {kHome, utc("2024-03-31T01:10:00Z"), 100, 1, march},
                 {kHome, utc("2024-03-31T01:30:00Z"), 1000, 2, newPeriod},
                 {kHome, utc("2024-04-01T08:00:00Z"), 10000, 3, newPeriod}});

    EXPECT_EQ(buckets(*store, Tier::Hours, kHome),
              (Lines{"2024-03-30T22:00:00Z 1 0", "2024-03-31T00:00:00Z 10 0",
                     "2024-03-31T01:00:00Z 1100 3", "2024-04-01T08:00:00Z 10000 3"}));
    EXPECT_EQ(buckets(*store, Tier::Days, kHome),
              (Lines{"2024-03-29T23:00:00Z 1 0", "2024-03-30T23:00:00Z 1110 3",
                     "2024-03-31T22:00:00Z 10000 3"}));
    EXPECT_EQ(buckets(*store, Tier::Months, kHome),
              (Lines{"2024-02-29T23:00:00Z 1111 3", "2024-03-31T22:00:00Z 10000 3"}));
    // From the period start on: the day it began keeps its start, with the
    // period's bytes only.
    EXPECT_EQ(buckets(*store, Tier::Days, kHome, newPeriod),
              (Lines{"2024-03-30T23:00:00Z 1000 2", "2024-03-31T22:00:00Z 10000 3"}));
    EXPECT_EQ(since(*store, kHome, newPeriod), (TrafficTotals{11000, 5}));
    EXPECT_EQ(since(*store, kHome, march), (TrafficTotals{11111, 6}));
}

// A clock that came back: what was dated ahead of it moves to the hour and
// day of the first bytes after it, so that nothing stays ahead of the clock
// and the sums stay whole; the other network is left alone.
TEST_F(HistoryStoreTest, BytesAheadOfAClockThatCameBackComeBackWithIt) {
    const QDateTime march = local("2025-03-15T00:00:00", berlin);
    auto store = open();
    add(*store, {{kHome, utc("2025-03-20T10:10:00Z"), 1, 0, march},
                 {kHome, utc("2025-04-16T10:10:00Z"), 10, 1, march},
                 {kHome, utc("2025-04-17T10:10:00Z"), 100, 2, march},
                 {kOffice, utc("2025-04-16T10:10:00Z"), 7, 7, march}});
    // An entry without bytes marks its network seen.
    add(*store, {{kHome, utc("2025-03-20T11:10:00Z"), 1000, 3, march},
                 {kHome, utc("2025-03-20T11:20:00Z"), 10000, 4, march},
                 {kHome, utc("2025-03-20T11:30:00Z"), 0, 0, march}});
    EXPECT_EQ(buckets(*store, Tier::Hours, kHome),
              (Lines{"2025-03-20T10:00:00Z 1 0", "2025-03-20T11:00:00Z 11110 10"}));
    EXPECT_EQ(buckets(*store, Tier::Days, kHome), (Lines{"2025-03-19T23:00:00Z 11111 10"}));
    EXPECT_EQ(since(*store, kHome, march), (TrafficTotals{11111, 10}));
    EXPECT_EQ(buckets(*store, Tier::Days, kOffice), (Lines{"2025-04-15T22:00:00Z 7 7"}));
    // The network is seen last when the clock says, not ahead of it; the
    // most recently seen first, one only named last.
    ASSERT_TRUE(store->nameNetwork(kHome, QStringLiteral("Living room router")).ok());
    ASSERT_TRUE(store->nameNetwork(QStringLiteral("new"), QStringLiteral("eth0")).ok());
    QList<HistoryNetwork> networks;
    ASSERT_TRUE(store->networks(&networks).ok());
    EXPECT_EQ(networks,
              (QList<HistoryNetwork>{
                  {kOffice, {}, utc("2025-04-16T10:10:00Z")},
                  {kHome, QStringLiteral("Living room router"), utc("2025-03-20T11:30:00Z")},
                  {QStringLiteral("new"), QStringLiteral("eth0"), {}}}));
}

TEST_F(HistoryStoreTest, PruneKeepsNinetyDaysOfHoursAndTenYearsOfDays) {
    const QDateTime now = local("2024-06-15T12:00:00", berlin);
    auto store = open();
    for (const QDateTime &at : {now.addYears(-10).addDays(-2), now.addYears(-10).addDays(2),
                                now.addDays(-91), now.addDays(-89)})
        add(*store, {{kHome, at, 1, 0, {}, 0, 0, {{"app:firefox", {1, 0}}}}});
    ASSERT_TRUE(store->prune(now).ok());
    EXPECT_EQ(buckets(*store, Tier::Hours, kHome), Lines{"2024-03-18T11:00:00Z 1 0"});
    EXPECT_EQ(buckets(*store, Tier::Days, kHome),
              (Lines{"2014-06-16T22:00:00Z 1 0", "2024-03-15T23:00:00Z 1 0",
                     "2024-03-17T23:00:00Z 1 0"}));
    // The applications' days go with the network's.
    QList<ApplicationBytes> applications;
    ASSERT_TRUE(store->applications(kHome, {}, now, &applications).ok());
    EXPECT_EQ(applications, (QList<ApplicationBytes>{{"app:firefox", 3, 0}}));
}

TEST_F(HistoryStoreTest, ReconcileBringsThePeriodToTheRecordsTotals) {
    // Before the period: 5000/500 on 30 April; in it 600/60 on 2 May and
    // 400/40 on 3 May; missing bytes go to 4 May.
    const QDateTime april = local("2024-04-01T00:00:00", berlin);
    const QDateTime may = local("2024-05-01T00:00:00", berlin);
    const QDateTime at = local("2024-05-04T09:00:00", berlin);
    const std::string before = "2024-04-29T22:00:00Z 5000 500";
    const Lines inLine{before, "2024-05-01T22:00:00Z 600 60", "2024-05-02T22:00:00Z 400 40"};
    // clang-format off
    const struct { const char *what; QDateTime periodStart; quint64 in, out; Lines days; } cases[] = {
        {"in line", may, 1000, 100, inLine},
        {"bytes missing", may, 1500, 130,
         {before, "2024-05-01T22:00:00Z 600 60", "2024-05-02T22:00:00Z 400 40", "2024-05-03T22:00:00Z 500 30"}},
        {"a surplus the newest day holds", may, 700, 70,
         {before, "2024-05-01T22:00:00Z 600 60", "2024-05-02T22:00:00Z 100 10"}},
        {"a surplus beyond the newest day", may, 300, 30, {before, "2024-05-01T22:00:00Z 300 30"}},
        {"in missing, out in surplus", may, 1200, 20,
         {before, "2024-05-01T22:00:00Z 600 20", "2024-05-02T22:00:00Z 400 0", "2024-05-03T22:00:00Z 200 0"}},
        {"no totals", may, 0, 0, {before}},
        {"no period start", QDateTime(), 0, 0, inLine},
        {"the epoch is no period start", QDateTime::fromSecsSinceEpoch(0, Qt::UTC), 0, 0, inLine},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path());
        auto store = open();
        add(*store, {{kHome, local("2024-04-30T12:00:00", berlin), 5000, 500, april},
                     {kHome, local("2024-05-02T12:00:00", berlin), 600, 60, may},
                     {kHome, local("2024-05-03T12:00:00", berlin), 400, 40, may}});
        const Status status = store->reconcile(kHome, c.periodStart, c.in, c.out, at);
        ASSERT_TRUE(status.ok()) << status.message().toStdString();
        EXPECT_EQ(buckets(*store, Tier::Days, kHome), c.days);
        // The hours of the period hold what its days hold.
        const HistoryBucket hours = sum(rows(*store, Tier::Hours, kHome, may));
        EXPECT_EQ((TrafficTotals{hours.in, hours.out}), since(*store, kHome, may));
    }
    // Without totals nothing is missing: a network the history does not know stays unknown.
    auto store = open();
    ASSERT_TRUE(store->reconcile(kOffice, may, 0, 0, at).ok());
    QList<HistoryNetwork> networks;
    ASSERT_TRUE(store->networks(&networks).ok());
    EXPECT_EQ(networks.size(), 1);
}

TEST_F(HistoryStoreTest, ABatchIsStoredWholeOrNotAtAll) {
    // The office holds 2^62 bytes in; a batch adds to the home network, a
    // network the history has not seen, then fails on its second entry.
    const quint64 half = quint64(1) << 62;
    const QDateTime at = local("2024-05-02T12:00:00", berlin);
    // clang-format off
    const struct { const char *what; HistoryEntry failing; const char *failure; } cases[] = {
        {"a sum beyond 2^63 - 1", {kOffice, at, half, 0, {}}, "would exceed the largest"},
        {"a count beyond 2^63 - 1", {kOffice, at, 0, quint64(1) << 63, {}}, "cannot count"},
        {"no time", {kOffice, {}, 1, 1, {}}, "needs a network and a valid time"},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path());
        auto store = open();
        add(*store, {{kOffice, at, half, 7, {}}});
        const Status status = store->add({{kHome, at, 100, 10, {}}, c.failing});
        EXPECT_NE(status.message().toStdString().find(c.failure), std::string::npos)
            << status.message().toStdString();
        EXPECT_EQ(status.code(), Status::Code::InvalidArgument);
        QList<HistoryNetwork> networks;
        ASSERT_TRUE(store->networks(&networks).ok());
        ASSERT_EQ(networks.size(), 1);
        EXPECT_EQ(networks[0].network, kOffice);
        EXPECT_EQ(since(*store, kOffice, at.addDays(-1)), (TrafficTotals{half, 7}));
        // The network the failed batch added is gone from the store's memory too.
        add(*store, {{kHome, at, 100, 10, {}}});
        EXPECT_EQ(since(*store, kHome, at.addDays(-1)), (TrafficTotals{100, 10}));
    }
}

// What the writer could not write waits for the next write of the
// settings, ahead of what was staged after it; that bytes reached the
// history is told once they did, and the failure once in the log with
// why (here, a folder that cannot be made). Old hours go once a day.
TEST_F(HistoryStoreTest, TheWriterKeepsWhatItCouldNotWriteForTheNextWrite) {
    const QDateTime at = utc("2024-05-02T12:00:00Z");
    QDateTime now = at;
    TestEnvironment environment;
    environment.setClock([&] { return now; });
    // The history's folder is a plain file until it is taken away.
    QFile blocker(folder.filePath(QStringLiteral("flowtally")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    HistoryWriter writer(path(), {.zone = berlin});
    int written = 0;
    writer.setWritten([&] { ++written; });
    writer.add({kHome, at.addDays(-100), 1, 0, {}});
    writer.add({kHome, at, 100, 10, {}});
    writer.stage(1);
    writer.add({kHome, at, 5, 5, {}});
    writer.stage(3);
    writer.settingsWritten(1);
    writer.settingsWritten(1);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(environment.logLines(),
              QStringList{"The traffic history could not be written to " + path() +
                          " (cannot make the folder " + blocker.fileName() +
                          " for the traffic history: Not a directory); it is kept in memory and "
                          "written when that works again."});
    ASSERT_TRUE(blocker.remove());
    writer.settingsWritten(2);
    EXPECT_EQ(written, 1);
    // A reader beside the writer sees each of its commits, and writes nothing.
    auto store = open({.readOnly = true, .zone = berlin});
    ASSERT_TRUE(store);
    EXPECT_EQ(since(*store, kHome, at.addDays(-1)), (TrafficTotals{100, 10}));
    const Status refused = store->add({{kHome, at, 5, 5, {}}});
    EXPECT_NE(refused.message().toStdString().find("open for reading only"), std::string::npos)
        << refused.message().toStdString();
    EXPECT_EQ(refused.code(), Status::Code::Refused);
    now = at.addDays(1);
    writer.settingsWritten(3);
    EXPECT_EQ(buckets(*store, Tier::Hours, kHome), Lines{"2024-05-02T12:00:00Z 105 15"});
    EXPECT_EQ(written, 2);
    EXPECT_EQ(environment.logLinesContaining("is written to").size(), 1);
}

// A clock far ahead for one write, while Flowtally runs or at its start,
// deletes none of the history: old rows go by the clock, never by a time
// ahead of the newest bytes the history holds. The bytes dated ahead come
// back with the clock.
TEST_F(HistoryStoreTest, AClockFarAheadForOneWriteDeletesNoHistory) {
    const QDateTime at = utc("2024-05-02T12:00:00Z");
    for (const bool atAStart : {false, true}) {
        SCOPED_TRACE(atAStart ? "at a start" : "while running");
        QFile::remove(path());
        QDateTime now = at;
        TestEnvironment environment;
        environment.setClock([&] { return now; });
        auto writer =
            std::make_unique<HistoryWriter>(path(), HistoryStore::Options{.zone = berlin});
        quint64 generation = 0;
        const auto write = [&](quint64 in, quint64 out) {
            writer->add({kHome, now, in, out, {}});
            writer->stage(++generation);
            writer->settingsWritten(generation);
        };
        write(100, 10);
        if (atAStart)
            writer = std::make_unique<HistoryWriter>(path(), HistoryStore::Options{.zone = berlin});
        now = utc("2099-05-02T12:00:00Z");
        write(1, 1);
        now = at.addSecs(60);
        write(5, 5);
        auto store = open();
        EXPECT_EQ(buckets(*store, Tier::Hours, kHome), Lines{"2024-05-02T12:00:00Z 106 16"});
        EXPECT_EQ(buckets(*store, Tier::Days, kHome), Lines{"2024-05-01T22:00:00Z 106 16"});
    }
}

// Each application's bytes: split at a period start like the network's,
// never more than the network's, brought back with a clock that came back.
TEST_F(HistoryStoreTest, ApplicationsKeptPerPeriodAndNeverMoreThanTheNetworksBytes) {
    auto store = open();
    const QDateTime reset = utc("2024-05-02T10:30:00Z");
    const auto entry = [&](const char *at, quint64 in, quint64 out,
                           const QMap<QString, TrafficTotals> &applications) {
        return HistoryEntry{kHome, utc(at), in, out, reset, 0, 0, applications};
    };
    HistoryEntry before =
        entry("2024-05-02T10:20:00Z", 500, 50, {{"app:firefox", {400, 20}}, {"other", {10, 10}}});
    before.periodStart = {};
    add(*store, {before, entry("2024-05-02T10:40:00Z", 300, 30,
                               {{"app:firefox", {100, 10}}, {"service:cups.service", {150, 0}}})});
    const QDateTime later = utc("2024-05-03T00:00:00Z");
    EXPECT_EQ(applications(*store, kHome, reset, later),
              (Lines{"service:cups.service 150 0", "app:firefox 100 10"}));
    EXPECT_EQ(applications(*store, kHome, utc("2024-05-01T22:00:00Z"), later),
              (Lines{"app:firefox 500 30", "service:cups.service 150 0", "other 10 10"}));
    // Applications that moved more than the network are refused, the entry whole.
    EXPECT_FALSE(store
                     ->add({entry("2024-05-02T10:50:00Z", 100, 0,
                                  {{"app:firefox", {60, 0}}, {"other", {50, 0}}})})
                     .ok());
    EXPECT_EQ(since(*store, kHome, reset), (TrafficTotals{300, 30}));
    // The clock came back from the next day to the evening before: the
    // bytes dated on that next day come back too.
    const QDateTime midnight = utc("2024-05-02T22:00:00Z");
    add(*store, {entry("2024-05-03T10:00:00Z", 100, 0, {{"app:firefox", {100, 0}}}),
                 entry("2024-05-02T20:00:00Z", 1, 0, {})});
    EXPECT_EQ(applications(*store, kHome, reset, midnight),
              (Lines{"app:firefox 200 10", "service:cups.service 150 0"}));
    EXPECT_EQ(applications(*store, kHome, midnight, later.addDays(1)), Lines());
    // A network the history does not know has none.
    EXPECT_EQ(applications(*store, kOffice, reset, later), Lines());
}

// A surplus reconciling takes from a day takes the day's applications down
// with it: a day that goes takes its applications, a day that is lowered
// keeps no more of them than its bytes.
TEST_F(HistoryStoreTest, ReconcileTakesASurplusFromTheApplicationsToo) {
    const QDateTime may = local("2024-05-01T00:00:00", berlin);
    const QDateTime at = local("2024-05-04T09:00:00", berlin);
    auto store = open();
    const auto entry = [&](const char *day, quint64 in, quint64 out, TrafficTotals firefox) {
        return HistoryEntry{.network = kHome,
                            .at = local(day, berlin),
                            .in = in,
                            .out = out,
                            .periodStart = may,
                            .applications = {{"app:firefox", firefox}}};
    };
    add(*store, {entry("2024-05-02T12:00:00", 600, 60, {500, 50}),
                 entry("2024-05-03T12:00:00", 400, 40, {400, 40})});
    ASSERT_TRUE(store->reconcile(kHome, may, 600, 60, at).ok());
    EXPECT_EQ(since(*store, kHome, may), (TrafficTotals{600, 60}));
    EXPECT_EQ(applications(*store, kHome, may, at), Lines{"app:firefox 500 50"});
    ASSERT_TRUE(store->reconcile(kHome, may, 300, 30, at).ok());
    EXPECT_EQ(applications(*store, kHome, may, at), Lines{"app:firefox 300 30"});
}

// What the applications leave of a network's bytes, so that the rows add up
// to the meter's totals: the history's bytes no application was given, and
// the meter's not written yet; never below 0.
TEST(ApplicationsRest, TheRowsAddUpToTheMetersTotals) {
    const QList<ApplicationBytes> firefox{{"app:firefox", 300, 100}};
    // clang-format off
    const struct {
        const char *what; TrafficTotals counted, written; bool router; QList<ApplicationBytes> rest;
    } cases[] = {
        {"all written", {1000, 500}, {1000, 500}, false, {{RestKey::NotPerApplication, 700, 400}}},
        {"behind a router, some not written", {1000, 500}, {800, 450}, true,
         {{RestKey::OtherDevices, 500, 350}, {RestKey::NotWritten, 200, 50}}},
        {"the history ahead of the meter", {1000, 500}, {1200, 500}, true,
         {{RestKey::OtherDevices, 700, 400}}},
        {"applications beyond the history's bytes", {1000, 500}, {200, 500}, false,
         {{RestKey::NotPerApplication, 0, 400}, {RestKey::NotWritten, 700, 0}}},
        {"nothing left", {300, 100}, {300, 100}, true, {}},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(withRest(firefox, c.counted, c.written, c.router), firefox + c.rest) << c.what;
    // Without applications nothing was counted per application.
    EXPECT_TRUE(withRest({}, {1000, 500}, {1000, 500}, true).isEmpty());
}

} // namespace

} // namespace flowtally
