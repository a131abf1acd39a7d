// The accounting without the window: samples in, figures out, and what each
// application moved, counted with the meter's bytes: never more than the
// interface counted, nothing made up when the service is missing.
#include "meter/Meter.h"

#include "net/AccountdService.h"
#include "record/DistantPast.h"
#include "record/NetworkFigures.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace flowtally {

namespace {

constexpr quint64 k2to32 = quint64(1) << 32, kGiB = quint64(1) << 30;
const QString kHome = QStringLiteral("home"), kOffice = QStringLiteral("office");
const QDateTime kBase = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

// A sample of eth0 (interface 2) at `seconds` after the base time: of its
// own counters ('L'), of its Internet traffic alone ('I') or of the
// router's ('R').
TrafficSample sample(char source, quint64 in, quint64 out, double seconds, double uptime = 0,
                     const QString &service = kHome) {
    TrafficSample sample{{SampleKey::InTraffic, in},
                         {SampleKey::OutTraffic, out},
                         {SampleKey::Uptime, uptime},
                         {SampleKey::FireDate, kBase.addMSecs(qint64(seconds * 1000))},
                         {SampleKey::PrimaryService, service},
                         {SampleKey::Router, source == 'R' ? "gateway\n" : "myhost"},
                         {SampleKey::KernelIndex, 2u}};
    if (source != 'R')
        sample.insert(SampleKey::PrimaryInterface, "eth0");
    if (source == 'I')
        sample.insert(SampleKey::CounterSourceName, "local-internet");
    return sample;
}

// The service's reading: each application's bytes received on eth0 from
// the Internet, and Firefox's from the local network.
struct Reading {
    std::string start;
    quint64 firefox = 0, terminal = 0, firefoxLocal = 0;
};

// A sample with 1000 bytes out and the service's reading, if any.
TrafficSample sample(char source, quint64 in, double seconds,
                     const std::optional<Reading> &reading) {
    using enum AccountdDirection;
    using enum AccountdPeer;
    const std::string apps = "user.slice/user-1000.slice/user@1000.service/app.slice/";
    TrafficSample sample = flowtally::sample(source, in, 1000, seconds);
    if (reading) {
        AccountdCounters counters;
        counters.startId = reading->start;
        counters.cgroups = {
            {apps + "app-gnome-firefox-11.scope", 2, "eth0", In, Internet, 1, reading->firefox},
            {apps + "app-org.gnome.Terminal.slice/vte-spawn-9.scope", 2, "eth0", In, Internet, 1,
             reading->terminal},
            {apps + "app-gnome-firefox-11.scope", 2, "eth0", In, Local, 1, reading->firefoxLocal}};
        sample.insert(SampleKey::ApplicationCounters, QVariant::fromValue(counters));
        if (source == 'R')
            sample.insert(SampleKey::ComputerInterface, "eth0");
    }
    return sample;
}

TEST(Meter, SequencesOfSamples) {
    // Each sample of a sequence ('L'ocal or 'R'outer) and the totals after
    // it; the in rate (K/s) is checked where given.
    // clang-format off
    struct Step { char source; quint64 in, out; double seconds, uptime; quint64 totalIn, totalOut; double rate = -1; };
    const struct { const char *what; quint64 previous; std::vector<Step> steps; } cases[] = {
        {"the first sample only sets the time, the second only records", 0,
         {{'L', 900, 50, 0, 0, 0, 0}, {'L', 1000, 60, 2, 0, 0, 0},
          {'L', 5000, 100, 4, 0, 4000, 40, 4000 / 2.0 / 1024}}},
        {"an early sample (1.2 s) moves the time but loses no bytes", 1000,
         {{'L', 1000, 1000, 0, 0, 0, 0}, {'L', 2000, 2000, 2, 0, 1000, 1000},
          {'L', 3000, 3000, 3.2, 0, 1000, 1000}, {'L', 5000, 5000, 4.7, 0, 4000, 4000, 3000 / 1.5 / 1024}}},
        {"a counter of 0 is no reading", 1000,
         {{'L', 1000, 1000, 0, 0, 0, 0}, {'L', 2000, 2000, 2, 0, 1000, 1000},
          {'L', 0, 2500, 4, 0, 1000, 1500}, {'L', 2600, 2600, 6, 0, 1600, 1600}}},
        {"flowtally-accountd's counters begin at 0: there a 0 is a reading", 1000,
         {{'I', 1000, 1000, 0, 0, 0, 0}, {'I', 2000, 2000, 2, 0, 1000, 1000},
          {'I', 0, 2500, 4, 0, 1000, 1500}, {'I', 300, 2600, 6, 0, 1300, 1600}}},
        {"a local counter that fell, once the next sample bears it out, counts its new value",
         50'000'000'000,
         {{'L', 50'000'000'000, 0, 0, 0, 0, 0}, {'L', 50'000'001'000, 10, 2, 0, 1000, 0},
          {'L', 300, 20, 4, 0, 1000, 20}, {'L', 400, 25, 6, 0, 1400, 25}}},
        {"a change of source only records the new counters", 1000,
         {{'L', 1000, 1000, 0, 0, 0, 0}, {'L', 2000, 2000, 2, 0, 1000, 1000},
          {'R', 70'000, 80'000, 4, 500, 1000, 1000}, {'R', 71'000, 80'500, 6, 502, 2000, 1500},
          {'L', 2500, 2500, 8, 0, 2000, 1500}}},
        {"a router counter that fell wrapped, unless the up-time fell too", 0,
         {{'R', k2to32 - 500, 1000, 0, 1000, 0, 0}, {'R', k2to32 - 500, 1000, 2, 1002, 0, 0},
          {'R', 300, 1200, 4, 1004, 800, 200}, {'R', 100, 50, 6, 3, 900, 250}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Meter meter;
        meter.load(
            {{"PrimaryService", kHome}, {"prevInVal", c.previous}, {"prevOutVal", c.previous}});
        for (const Step &s : c.steps) {
            const auto figures = meter.take(sample(s.source, s.in, s.out, s.seconds, s.uptime),
                                            kHome, 250, kBase.addSecs(10));
            EXPECT_EQ(meter.record().totalIn, s.totalIn) << "at " << s.seconds;
            EXPECT_EQ(meter.record().totalOut, s.totalOut) << "at " << s.seconds;
            if (s.rate >= 0) {
                ASSERT_TRUE(figures);
                EXPECT_DOUBLE_EQ(figures->inRate, s.rate);
            }
        }
        // The source is stored with the counters, so a restart knows it.
        const std::map<char, QString> stored{
            {'L', "local"}, {'I', "local-internet"}, {'R', "router"}};
        EXPECT_EQ(meter.record().toMap().value("prevValSource").toString(),
                  stored.at(c.steps.back().source));
    }
}

// Samples of another network, or taken while the network changed, change
// nothing; neither does a sample without a network.
TEST(Meter, SamplesOfAnotherNetworkChangeNothing) {
    Meter meter;
    meter.load({{"PrimaryService", kHome}});
    EXPECT_FALSE(meter.take(sample('L', 1000, 1000, 0), kHome, 250, kBase));
    const QDateTime last = meter.lastFireDate();
    EXPECT_FALSE(meter.take(sample('L', 9000, 9000, 2, 0, kOffice), kHome, 250, kBase));
    EXPECT_FALSE(meter.take(sample('L', 9000, 9000, 3), kOffice, 250, kBase));
    EXPECT_FALSE(meter.take(sample('L', 9000, 9000, 4), std::nullopt, 250, kBase));
    EXPECT_EQ(meter.lastFireDate(), last);
    EXPECT_EQ(meter.record().prevIn, 0u);
}

// Ten days into the period, three times the total in thirty; a period that
// begins with this sample projects infinitely, and a clock that came back
// before the reset date moves it back to now.
TEST(Meter, ThirtyDayProjectionAndTheLimit) {
    Meter meter;
    meter.load({{"PrimaryService", kHome},
                {"resetDate", kBase.addDays(-10)},
                {"totalInBytes", 2 * kGiB},
                {"totalOutBytes", kGiB / 2 - 1000},
                {"prevInVal", quint64(1000)},
                {"prevOutVal", quint64(1000)},
                {"limitUnitsScale", kGiB}});
    meter.take(sample('L', 1000, 1000, 0), kHome, 5, kBase);
    const auto figures = meter.take(sample('L', 1000, 2000, 2), kHome, 5, kBase);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->total, 2 * kGiB + kGiB / 2);
    EXPECT_EQ(figures->limit, 5.0 * kGiB);
    EXPECT_NEAR(figures->projection, 7.5 * kGiB, 7.5 * kGiB * 1e-6);

    meter.load({{"resetDate", distantPast()}});
    EXPECT_TRUE(std::isinf(meter.take(sample('L', 1000, 3000, 4), kHome, 5, kBase)->projection));
    EXPECT_EQ(meter.record().resetDate, kBase);
    meter.load({{"resetDate", kBase.addDays(2)}});
    meter.take(sample('L', 1000, 4000, 6), kHome, 5, kBase);
    EXPECT_EQ(meter.record().resetDate, kBase);
}

// Bytes read in free hours go to the free totals as well, by the sample's
// wall-clock time in the zone given, or without one in the environment's
// (which hours are free, across midnight and the changes of the clocks:
// FreeHours.WindowsFollowTheWallClock). The billed and the free bytes add up
// to the totals to the byte.
TEST(Meter, FreeHoursAreCountedApart) {
    const QTimeZone berlin("Europe/Berlin");
    // In Berlin: 22:58 (only records), 22:59:58, 23:00, 00:59:58, 01:00.
    const std::pair<const char *, bool> samples[] = {{"2024-10-26T20:58:00Z", false},
                                                     {"2024-10-26T20:59:58Z", false},
                                                     {"2024-10-26T21:00:00Z", true},
                                                     {"2024-10-26T22:59:58Z", true},
                                                     {"2024-10-26T23:00:00Z", false}};
    // The zone given is not the environment's, or it is the environment's.
    TestEnvironment environment;
    for (const bool given : {true, false}) {
        environment.setTimeZone(given ? QTimeZone::utc() : berlin);
        SCOPED_TRACE(given ? "the zone given" : "the environment's zone");
        Meter meter;
        meter.load(
            {{"PrimaryService", kHome}, {"prevInVal", quint64(1)}, {"prevOutVal", quint64(1)}});
        meter.record().freeWindows = {{1380, 60}}; // 23:00-01:00
        quint64 in = 1, out = 1, freeBytes = 0;
        for (size_t i = 0; i < std::size(samples); ++i) {
            const auto &[at, free] = samples[i];
            in += 1000 * i;
            out += i;
            TrafficSample next = sample('L', in, out, 0);
            next.insert(SampleKey::FireDate, QDateTime::fromString(at, Qt::ISODate));
            const QDateTime now = next.value(SampleKey::FireDate).toDateTime();
            const auto figures = given ? meter.take(next, kHome, 250, now, berlin)
                                       : meter.take(next, kHome, 250, now);
            if (i == 0)
                continue;
            ASSERT_TRUE(figures) << at;
            const TrafficTotals expected = free ? TrafficTotals{1000 * i, i} : TrafficTotals{};
            EXPECT_EQ(figures->free, expected) << at;
            freeBytes += free ? 1001 * i : 0;
            EXPECT_EQ(figures->billed + totalOf(meter.record().freeTotals()), figures->total) << at;
        }
        EXPECT_EQ(totalOf(meter.record().freeTotals()), freeBytes);
        EXPECT_EQ(meter.record().totals(), (TrafficTotals{in - 1, out - 1}));
    }
}

// The undo of a reset adds what was counted since to the free totals too.
TEST(Meter, TheUndoOfAResetKeepsTheFreeTotals) {
    Meter meter;
    meter.load({{"PrimaryService", kHome},
                {"totalInBytes", quint64(5000)},
                {"freeInBytes", quint64(3000)},
                {"resetDate", kBase}});
    const QVariantMap before = meter.record().toMap();
    meter.load(
        {{"PrimaryService", kHome}, {"totalInBytes", quint64(0)}, {"resetDate", distantPast()}});
    EXPECT_EQ(meter.record().freeIn, 0u);
    meter.record().totalIn = 700;
    meter.record().freeIn = 200;
    meter.undoReset(before, false);
    EXPECT_EQ(meter.record().totals(), (TrafficTotals{5700, 0}));
    EXPECT_EQ(meter.record().freeTotals(), (TrafficTotals{3200, 0}));
}

TEST(ApplicationTally, ApplicationsGetWhatTheyMovedNeverMoreThanTheMeterCounted) {
    using Given = QMap<QString, TrafficTotals>;
    // clang-format off
    struct Step { TrafficSample sample; Given given; bool resetBefore = false; QString network = kHome; };
    const struct { const char *what; std::vector<Step> steps; } cases[] = {
        {"the service read ahead of the interface: what is beyond waits for the next sample", {
            {sample('L', 1000, 0, Reading{"s1", 0, 0}), {}},
            {sample('L', 1000, 2, Reading{"s1", 0, 0}), {}},
            {sample('L', 1100, 4, Reading{"s1", 90, 30}), {{"app:firefox", {75, 0}}, {"app:org.gnome.Terminal", {25, 0}}}},
            {sample('L', 1200, 6, Reading{"s1", 150, 40}), {{"app:firefox", {75, 0}}, {"app:org.gnome.Terminal", {15, 0}}}}}},
        {"without the service nothing is given; its next reading counts from its last", {
            {sample('I', 1000, 0, Reading{"s1", 5000, 0}), {}},
            {sample('I', 1000, 2, Reading{"s1", 5000, 0}), {}},
            {sample('I', 1500, 4, std::nullopt), {}},
            {sample('I', 2000, 6, Reading{"s1", 5800, 0}), {{"app:firefox", {500, 0}}}},
            {sample('I', 2500, 8, Reading{"s1", 5800, 0}), {{"app:firefox", {300, 0}}}}}},
        {"behind a router, this computer's applications get their Internet traffic", {
            {sample('R', 1000, 0, Reading{"s1", 0, 0, 0}), {}},
            {sample('R', 1000, 2, Reading{"s1", 0, 0, 0}), {}},
            {sample('R', 9000, 4, Reading{"s1", 500, 0, 700}), {{"app:firefox", {500, 0}}}},
            {sample('R', 9100, 6, Reading{"s1", 800, 0, 900}), {{"app:firefox", {100, 0}}}}}},
        {"bytes that wait belong to their period and their network: a reset, then the next network, leaves them out", {
            {sample('L', 1000, 0, Reading{"s1", 0, 0}), {}},
            {sample('L', 1000, 2, Reading{"s1", 0, 0}), {}},
            {sample('L', 1100, 4, Reading{"s1", 1000, 0}), {{"app:firefox", {100, 0}}}},
            {sample('L', 2100, 6, Reading{"s1", 1000, 0}), {}, true},
            {sample('L', 2200, 8, Reading{"s1", 2000, 0}), {{"app:firefox", {100, 0}}}},
            {sample('L', 3200, 10, Reading{"s1", 2000, 0}), {}, false, kOffice},
            {sample('L', 4200, 12, Reading{"s1", 2000, 0}), {}, false, kOffice}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        Meter meter;
        quint64 counted = 0, given = 0;
        for (const Step &step : c.steps) {
            const QDateTime at = step.sample.value(SampleKey::FireDate).toDateTime();
            if (step.resetBefore)
                meter.record().resetDate = at.addSecs(-1);
            // Another network: its own record, as a change of service loads it.
            TrafficSample taken = step.sample;
            taken.insert(SampleKey::PrimaryService, step.network);
            meter.record().service = step.network;
            const std::optional<Meter::Figures> figures = meter.take(taken, step.network, 250, at);
            const Given applications = figures ? figures->applications : Given();
            EXPECT_EQ(applications, step.given) << c.what << ", at " << at.toString().toStdString();
            counted += figures ? figures->growth.in : 0;
            for (const TrafficTotals &bytes : applications)
                given += bytes.in;
        }
        EXPECT_LE(given, counted) << c.what;
    }
}

} // namespace

} // namespace flowtally
