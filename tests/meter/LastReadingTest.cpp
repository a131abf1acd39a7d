// Counting against the last reading metered: which readings are a measure
// for which, across networks, sources, sessions, reboots, interfaces made
// anew and routers that restart or move their interfaces.
#include "meter/LastReading.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <vector>

namespace flowtally {

namespace {

const CounterOrigin kEth0{CounterSource::Local, "eth0", 2, "boot-a"};
const CounterOrigin kEth0NextBoot{CounterSource::Local, "eth0", 2, "boot-b"};
const CounterOrigin kEth0MadeAnew{CounterSource::Local, "eth0", 9, "boot-a"};
const CounterOrigin kWlan0{CounterSource::Local, "wlan0", 3, "boot-a"};
const CounterOrigin kEth0Renamed{CounterSource::Local, "wan0", 2, "boot-a"};
// eth0's Internet traffic as flowtally-accountd counts it, in one start of
// the service and the next.
const CounterOrigin kEth0Internet{CounterSource::LocalInternet, "eth0", 2, "start-1"};
const CounterOrigin kEth0InternetRestarted{CounterSource::LocalInternet, "eth0", 2, "start-2"};
const CounterOrigin kRouter7{CounterSource::Router, "192.168.1.1", 7, {}};
const CounterOrigin kRouter8{CounterSource::Router, "192.168.1.1", 8, {}};
const CounterOrigin kRouter7Of32Bits{CounterSource::Router, "192.168.1.1", 7, {}, 32};
const CounterOrigin kRouter7Of64Bits{CounterSource::Router, "192.168.1.1", 7, {}, 64};
// Two routers at one address, told apart by their hardware addresses.
const CounterOrigin kHomeRouter{CounterSource::Router, "192.168.1.1", 7, {}, 32,
                                "02:00:00:00:00:aa"};
const CounterOrigin kOfficeRouter{CounterSource::Router, "192.168.1.1", 7, {}, 32,
                                  "02:00:00:00:00:bb"};
// A router's UPnP counters, by its UDN: the standard calls (index 0), whose
// values show 32 bits until they pass 2^32, and AVM's GetAddonInfos (1).
const QString kUdn = "uuid:75802409-bccb-40e7-8e6c-3431C4F8D1E1";
const CounterOrigin kUpnpShowing32{CounterSource::Upnp, kUdn, 0, {}, 32};
const CounterOrigin kUpnpShowing64{CounterSource::Upnp, kUdn, 0, {}, 64};
const CounterOrigin kUpnpAddon{CounterSource::Upnp, kUdn, 1, {}, 64};

// One step of a sequence: a reading for a network (0 is a failed read),
// or, with no network, a new metering session; the bytes it counts, and
// for which network where they are another's. Steps are a second apart on
// the wall clock.
struct Step {
    const char *service;
    CounterOrigin origin;
    quint64 in, out;
    quint64 countedIn, countedOut;
    double uptime = 0;
    const char *countedFor = "";
    // A router's discontinuity time; -1 where it tells none.
    qint64 discontinuity = -1;
};

CounterReading readingOf(const Step &step) {
    const auto some = [](quint64 v) { return v ? std::optional(v) : std::nullopt; };
    CounterReading reading{step.origin, some(step.in), some(step.out), step.uptime};
    if (step.discontinuity >= 0)
        reading.discontinuity = step.discontinuity;
    return reading;
}

constexpr quint64 k2p40 = quint64(1) << 40;

TEST(LastReading, WhichReadingMeasuresWhich) {
    const Step session{nullptr, {}, 0, 0, 0, 0};
    // clang-format off
    const struct { const char *what; std::vector<Step> steps; } cases[] = {
        {"home, office, home on one interface: each counts on from the last",
         {{"home", kEth0, 1000, 100, 0, 0}, {"home", kEth0, 1500, 150, 500, 50},
          {"office", kEth0, 2500, 250, 1000, 100}, {"office", kEth0, 2600, 260, 100, 10},
          {"home", kEth0, 3000, 300, 400, 40}}},
        {"a renamed interface keeps its counters, and what it moved since is the last network's",
         {{"home", kEth0, 1000, 100, 0, 0}, {"home as renamed", kEth0Renamed, 21000, 2100, 20000,
          2000, 0, "home"}, {"home as renamed", kEth0Renamed, 21500, 2150, 500, 50}}},
        {"the same network after a stop counts what moved meanwhile",
         {{"home", kEth0, 1000, 100, 0, 0}, session, {"home", kEth0, 5000, 500, 4000, 400}}},
        {"another network's reading from before the stop is no measure",
         {{"home", kEth0, 1000, 100, 0, 0}, {"office", kEth0, 2000, 200, 1000, 100}, session,
          {"home", kEth0, 5000, 500, 0, 0}, {"home", kEth0, 5100, 510, 100, 10}}},
        // Back on counters metered before others, through samples: Meter.SequencesOfSamples.
        {"another interface only records",
         {{"home", kEth0, 1000, 100, 0, 0}, {"home", kWlan0, 9000, 900, 0, 0}}},
        {"after a reboot the counters count whole, though above the old ones",
         {{"home", kEth0, 1000, 100, 0, 0}, session, {"home", kEth0NextBoot, 3000, 300, 3000, 300}}},
        {"an interface made anew counts whole",
         {{"home", kEth0, 8000, 800, 0, 0}, {"home", kEth0MadeAnew, 300, 30, 300, 30}}},
        {"a reboot metered first by another network is that network's",
         {{"home", kEth0, 1000, 100, 0, 0}, {"office", kEth0NextBoot, 500, 50, 500, 50}, session,
          {"home", kEth0NextBoot, 3000, 300, 0, 0}}},
        {"the Internet's traffic counts on; after the service's restart it counts whole",
         {{"home", kEth0Internet, 1000, 100, 0, 0}, {"home", kEth0Internet, 1500, 150, 500, 50},
          {"home", kEth0InternetRestarted, 300, 30, 300, 30}}},
        {"the Internet's traffic that fell (counters given up) counts on from what is left",
         {{"home", kEth0Internet, 9000, 900, 0, 0}, {"home", kEth0Internet, 4000, 950, 0, 50},
          {"home", kEth0Internet, 4600, 960, 600, 10}}},
        {"all traffic and the Internet's are other counters: each only records after the other",
         {{"home", kEth0, 50000, 5000, 0, 0}, {"home", kEth0Internet, 1000, 100, 0, 0},
          {"home", kEth0Internet, 1200, 120, 200, 20}, {"home", kEth0, 60000, 6000, 0, 0},
          {"home", kEth0Internet, 1500, 150, 0, 0}}},
        {"an agent that restarted but kept counting counts what its counters grew by",
         {{"home", kRouter7Of64Bits, 9000000, 9000, 0, 0, 500},
          {"home", kRouter7Of64Bits, 9001000, 9100, 1000, 100, 3}}},
        // A failed read keeps the counter's last reading (Meter.SequencesOfSamples'
        // "a counter of 0 is no reading").
        {"a restart is remembered for a counter whose read failed",
         {{"home", kRouter7, 90000, 9000, 0, 0, 500}, {"home", kRouter7, 0, 60, 0, 60, 3},
          {"home", kRouter7, 800, 90, 800, 30, 5}}},
        {"another router at the same address only records, its up-time higher or lower",
         {{"home", kHomeRouter, 90000, 9000, 0, 0, 500}, {"office", kOfficeRouter, 5000, 500, 0, 0, 3},
          {"office", kOfficeRouter, 5600, 560, 600, 60, 5},
          {"home", kHomeRouter, 95000, 9500, 0, 0, 600}, {"office", kOfficeRouter, 9000, 900, 0, 0, 900}}},
        // kHomeRouter's width is recorded, kRouter7's not: the same counters.
        {"a router's hardware address unknown before is the same router",
         {{"home", kRouter7, 9000, 900, 0, 0, 50}, {"home", kHomeRouter, 9500, 950, 500, 50, 52}}},
        {"another interface of the router only records",
         {{"home", kRouter7, 9000, 900, 0, 0, 50}, {"home", kRouter8, 100, 10, 0, 0, 52}}},
        {"the router's counters of another width only record, both ways",
         {{"home", kRouter7, 9000, 900, 0, 0, 50}, {"home", kRouter7Of64Bits, 9500, 950, 0, 0, 52},
          {"home", kRouter7Of64Bits, 9600, 960, 100, 10, 54},
          {"home", kRouter7Of32Bits, 9700, 970, 0, 0, 56}}},
        {"a 64-bit router counter that fell was reset once the next reading bears it out",
         {{"home", kRouter7Of64Bits, 4294967000, 100, 0, 0, 50},
          {"home", kRouter7Of64Bits, 704, 200, 0, 100, 52},
          {"home", kRouter7Of64Bits, 800, 300, 800, 100, 54}}},
        {"a counter lower for one reading is a glitch: the next counts on from the last good one",
         {{"home", kRouter7Of64Bits, 3 * k2p40, 100, 0, 0, 50},
          {"home", kRouter7Of64Bits, 3 * k2p40 - 1000, 200, 0, 100, 51.5},
          {"home", kRouter7Of64Bits, 3 * k2p40 + 500, 300, 500, 100, 53},
          {"home", kRouter7, 5000, 100, 0, 0, 54},
          {"home", kRouter7, 4000, 200, 0, 100, 55.5},
          {"home", kRouter7, 6000, 300, 1000, 100, 57}}},
        {"a fall the router dates with a new discontinuity time is a reset at once",
         {{"home", kRouter7Of64Bits, 90000, 100, 0, 0, 50, "", 0},
          {"home", kRouter7Of64Bits, 700, 200, 700, 200, 52, "", 5100}}},
        {"a 32-bit counter wraps where the time since allows it at the link's speed",
         {{"home", kRouter7, 4294966000, 100, 0, 0, 50},
          {"home", kRouter7, 5000, 200, 6296, 100, 53}}},
        {"a rise faster than the link carries counts nothing; the next sound reading counts on",
         {{"home", kRouter7Of64Bits, 1000, 100, 0, 0, 50},
          {"home", kRouter7Of64Bits, 1000 + k2p40, 200, 0, 100, 51.5},
          {"home", kRouter7Of64Bits, 1000 + 2 * k2p40, 300, 0, 100, 53},
          {"home", kRouter7Of64Bits, 3000, 400, 2000, 100, 54.5}}},
        {"a level the link could not reach is taken once three readings bear it out",
         {{"home", kRouter7Of64Bits, 1000, 100, 0, 0, 50},
          {"home", kRouter7Of64Bits, k2p40, 200, 0, 100, 51.5},
          {"home", kRouter7Of64Bits, k2p40 + 100, 300, 0, 100, 53},
          {"home", kRouter7Of64Bits, k2p40 + 300, 400, 300, 100, 54.5},
          {"home", kRouter7Of64Bits, k2p40 + 400, 500, 100, 100, 56}}},
        {"a UPnP counter below 2^32 that fell without a reconnect wrapped",
         {{"home", kUpnpShowing32, 4294967000, 100, 0, 0, 50},
          {"home", kUpnpShowing32, 704, 200, 1000, 100, 52}}},
        // As a router's restart (up-time fallen), also through samples:
        // Meter.SequencesOfSamples.
        {"a UPnP reconnect (the connection's up-time fell) counts the counters anew",
         {{"home", kUpnpShowing32, 90000, 9000, 0, 0, 500}, {"home", kUpnpShowing32, 700, 70, 700, 70, 3}}},
        {"a UPnP counter that fell from past 2^32 is the same counter, and no 32-bit wrap",
         {{"home", kUpnpShowing64, 5000000000, 100, 0, 0, 50},
          {"home", kUpnpShowing32, 1000000000, 200, 0, 100, 52},
          {"home", kUpnpShowing32, 1000001000, 300, 1000001000, 100, 54}}},
        {"the counters of the other UPnP call only record",
         {{"home", kUpnpAddon, 9000, 900, 0, 0, 50}, {"home", kUpnpShowing32, 9500, 950, 0, 0, 52},
          {"home", kUpnpShowing32, 9600, 960, 100, 10, 54}}},
        {"a 64-bit router counter moves by more than 32 bits between readings",
         {{"home", kRouter7Of64Bits, 1000, 100, 0, 0, 50},
          {"home", kRouter7Of64Bits, 1000 + (quint64(9) << 32), 100, quint64(9) << 32, 0, 500}}},
    };
    // clang-format on
    const QDateTime at = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LastReading last;
        int number = 0;
        for (const Step &step : c.steps) {
            ++number;
            if (!step.service) {
                // A new session of the program: from the settings, as at a start.
                last = LastReading::fromMap(last.toMap());
                last.beginSession();
                continue;
            }
            const CounterGrowth growth =
                last.count(step.service, readingOf(step), {}, at.addSecs(number));
            EXPECT_EQ(growth.in, step.countedIn) << "step " << number;
            EXPECT_EQ(growth.out, step.countedOut) << "step " << number;
            EXPECT_EQ(growth.network.toStdString(), step.countedFor) << "step " << number;
        }
    }
}

// Without a last reading (settings of an older version), the network's
// record is the measure, also when it names only the source of its counters.
TEST(LastReading, RecordMeasuresWhereThereIsNoLastReading) {
    const CounterReading reading{kEth0, 5000, 600, 0};
    const QDateTime at = QDateTime::currentDateTimeUtc();
    // clang-format off
    const struct { LastReading::Recorded recorded; quint64 in, out; } cases[] = {
        {{kEth0, 1000, 100, 0}, 4000, 500},
        {{CounterOrigin{CounterSource::Local, {}, 0, {}}, 1000, 100, 0}, 4000, 500},
        {{CounterOrigin{}, 1000, 0, 0}, 4000, 0},      // no previous out counter
        {{kRouter7, 1000, 100, 0}, 0, 0},                // counters of another source
        {{kEth0NextBoot, 9000, 900, 0}, 5000, 600},      // made anew since: whole
    };
    // clang-format on
    for (const auto &c : cases) {
        LastReading last;
        const CounterGrowth growth = last.count("home", reading, c.recorded, at);
        EXPECT_EQ(growth.in, c.in) << c.recorded.origin.device.toStdString();
        EXPECT_EQ(growth.out, c.out);
        ASSERT_TRUE(last.entry());
        EXPECT_EQ(last.entry()->inValue(), 5000u);
    }
}

} // namespace

} // namespace flowtally
