// The UPnP source against a scripted router on loopback, found through a
// discovery that describes it (no search leaves the machine): what a reading
// gives the meter, the faults of real routers that meter this computer
// instead, the rhythm of discovery after failures, and where the person's
// choice of counters sends a tick.
#include "meter/LastReading.h"
#include "net/Sources.h"
#include "net/StatusTexts.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"
#include "tests/support/IgdTexts.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/ScriptedRouter.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

#include <mutex>

namespace flowtally {

namespace {

using namespace std::chrono_literals;
using Answer = ScriptedIgd::Answer;

const QString kFritzUdn = QStringLiteral("uuid:75802409-bccb-40e7-8e6c-3431C4F8D1E1");
constexpr quint64 k2to32 = quint64(1) << 32;

class UpnpSource : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(router.location().host().isEmpty()) << "the scripted router does not serve";
        environment.setUpnpAllowed(true);
        environment.setNetwork(FakeNetwork{});
        environment.setClock([this] { return now; });
        // This computer's interface as netstat lists it, and as the kernel
        // counts it.
        environment.setToolPath(
            kNetstatTool, tools.write("netstat", "echo 'Name Mtu Network Address Ipkts Ierrs "
                                                 "Ibytes Opkts Oerrs Obytes Coll'\n"
                                                 "echo 'eth0 1500 <Link#2> 02:42:ac:11:00:02 1 "
                                                 "0 5000 1 0 6000 0'"));
        // An SNMP agent that never answers.
        environment.setToolPath(
            kSnmpGetTool, tools.write("snmpget", "echo >> '" + tools.filePath("probes") + "'"));
        UserDefaults::standardUserDefaults().setObject("communityPassword", "public");
        ASSERT_TRUE(QDir().mkpath(environment.interfacesFolder() + "/eth0/statistics"));
        moveLocal(0);
    }

    // This computer's interface moved this many bytes more.
    void moveLocal(quint64 bytes) {
        local += bytes;
        for (const char *counter : {"rx_bytes", "tx_bytes"}) {
            QFile file(environment.interfacesFolder() + "/eth0/statistics/" + counter);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray::number(local) + '\n');
        }
    }
    // The router's counters now.
    void count(quint64 sent, quint64 received, quint64 uptime = 3600) {
        router.change([&](auto &state) {
            state.sent = sent;
            state.received = received;
            state.uptime = uptime;
        });
    }
    // One tick of the process's sources, 1.5 s after the last.
    std::optional<TrafficSample> tick() {
        now = now.addMSecs(1500);
        sources.discovery().clearRouterDecision();
        return sources.tickSample();
    }
    QString lastText() {
        std::lock_guard lock(textsMutex);
        return texts.value(texts.size() - 1);
    }
    int probes() const {
        QFile file(tools.filePath("probes"));
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }
    void choose(const char *counters) {
        UserDefaults::standardUserDefaults().setObject("RouterCounters", QString(counters));
    }

    TestEnvironment environment;
    ScriptFolder tools;
    ScriptedRouter router;
    QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    quint64 local = 0;
    int discoveries = 0;
    bool discoveryFinds = true;
    std::mutex textsMutex;
    QStringList texts;
    // The discovery describes the scripted router, as a search that found
    // it would.
    Sources sources{[this](const QString &text) {
                        std::lock_guard lock(textsMutex);
                        texts.append(text);
                    },
                    [this](const UpnpSearchOptions &, QList<UpnpDevice> *devices) {
                        ++discoveries;
                        if (!discoveryFinds)
                            return Status::notFound("no UPnP gateway answered");
                        UpnpDevice device;
                        const Status status = describeUpnpDevice(router.location(), QString(),
                                                                 QDeadlineTimer(2s), &device);
                        if (status.ok())
                            devices->append(device);
                        return status;
                    }};
};

TEST_F(UpnpSource, GoodReadingIsASampleOfTheCountersTheMeterKnows) {
    choose("upnp");
    count(4581727708u, 12345678901234u, 86400);
    const std::optional<TrafficSample> sample = tick();
    ASSERT_TRUE(sample);
    // Received is the Internet side's incoming; not the default router: no
    // hardware address.
    EXPECT_EQ(*sample,
              (TrafficSample{{SampleKey::CounterSourceName, "upnp"},
                             {SampleKey::SourceDescription, "UPnP: FRITZ!Box 7590"},
                             {SampleKey::Router, "FRITZ!Box 7590"},
                             {SampleKey::InTraffic, quint64(12345678901234u)},
                             {SampleKey::OutTraffic, quint64(4581727708u)},
                             {SampleKey::Uptime, 86400.0},
                             {SampleKey::FireDate, now},
                             {SampleKey::RouterAddress, kFritzUdn},
                             {SampleKey::InterfaceIndex, 1u},
                             {SampleKey::CounterBits, 64},
                             {SampleKey::LinkSpeed, quint64(254960000)},
                             {SampleKey::PrimaryService, environment.currentService().value()}}));
    const std::optional<CounterReading> reading = readingOfSample(*sample);
    ASSERT_TRUE(reading);

    // As the default router it is known by its hardware address too; its
    // standard calls are other counters than GetAddonInfos' (the same
    // device's 64-bit and 32-bit fields wrap differently). That they are the
    // same counters whatever width their values show is LastReading's.
    const FakeNetwork behind{QStringLiteral("eth0"), QStringLiteral("127.0.0.1")};
    environment.setNetwork(behind);
    sources.upnp().reset();
    router.change([](auto &state) { state.avm = false; });
    const std::optional<TrafficSample> standard = tick();
    ASSERT_TRUE(standard);
    const std::optional<CounterReading> other = readingOfSample(*standard);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->origin.hardware, *behind.routerHardware);
    EXPECT_FALSE(other->origin == reading->origin);
    EXPECT_EQ(discoveries, 2);
}

// Counters that cannot be true meter this computer, with the status text
// that says why, for as long as they show it: stuck at a limit of their
// type or at 0 while this computer's interface moves, or above 2^32 after
// they were seen to wrap at 32 bits.
TEST_F(UpnpSource, FaultsOfRealRoutersMeterThisComputerMeanwhile) {
    choose("upnp");
    const quint64 kMoves = 1 << 20;
    // clang-format off
    const struct { const char *what; struct Step { quint64 sent, received, localMoves; QString fault; quint64 uptime = 3600; }; std::vector<Step> steps; } cases[] = {
        {"a counter stuck at 2^32 - 1",
         {{4294967295u, 5000, kMoves, {}}, {4294967295u, 9000, kMoves, StatusText::UpnpStuck},
          {4294967295u, 9500, 0, StatusText::UpnpStuck}, // still stuck while the link rests
          {100, 9900, kMoves, {}}}},                      // moving again: a sample
        {"a counter stuck at 2^31 - 1",
         {{7000, 2147483647u, kMoves, {}}, {8000, 2147483647u, kMoves, StatusText::UpnpStuck}}},
        {"a counter at a limit while the link rests is no fault",
         {{4294967295u, 5000, 0, {}}, {4294967295u, 5000, 1000, {}}}},
        {"counters that stay 0",
         {{0, 0, kMoves, {}}, {0, 0, kMoves, StatusText::UpnpZero}, {0, 0, 0, StatusText::UpnpZero},
          {10, 20, 0, {}}}},
        {"values over 2^32 from counters that never wrapped",
         {{4294967000u, 10, kMoves, {}}, {k2to32 + 704, 20, kMoves, {}}}},
        {"values over 2^32 from counters that started again at 0 when the router restarted",
         {{4294967000u, 10, kMoves, {}}, {704, 20, kMoves, {}, 60}, {k2to32 + 5000, 30, kMoves, {}, 62}}},
        // Last: its wrap is the one the next device is not judged by.
        {"a value over 2^32 from counters that wrapped at 32 bits",
         {{4294967000u, 4000000000u, kMoves, {}}, {704, 4100000000u, kMoves, {}},
          {k2to32 + 5000, 4200000000u, kMoves, StatusText::UpnpJump},
          {k2to32 + 9000, 4200000000u, 0, StatusText::UpnpJump}, {9000, 4200001000u, 0, {}}}},
    };
    // clang-format on
    // The standard calls: 32-bit values where they are below 2^32.
    router.change([](auto &state) { state.avm = false; });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        sources.reset();
        const int asked = router.asked("GetAddonInfos");
        int number = 0;
        for (const auto &step : c.steps) {
            SCOPED_TRACE(++number);
            count(step.sent, step.received, step.uptime);
            moveLocal(step.localMoves);
            const std::optional<TrafficSample> sample = tick();
            ASSERT_TRUE(sample);
            if (step.fault.isEmpty()) {
                EXPECT_EQ(sourceOfSample(*sample), CounterSource::Upnp);
                EXPECT_EQ(sample->value(SampleKey::OutTraffic), step.sent);
                EXPECT_EQ(lastText(), StatusText::NoError);
            } else {
                EXPECT_EQ(sourceOfSample(*sample), CounterSource::Local);
                EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(5000));
                EXPECT_EQ(lastText(), step.fault) << "told after this computer's sample";
            }
        }
        EXPECT_EQ(router.asked("GetAddonInfos") - asked, 1) << "the standard calls, learnt once";
    }

    // Another device, found for another typed address, starts afresh: the
    // last one's wrap at 32 bits tells nothing of its counters. It gives no
    // friendly name: its model names it.
    QByteArray other = igd::description("/ctl/cmn", igd::service(igd::kIpConnection, "/ctl/ip"));
    other.replace("3431C4F8D1E1", "3431C4F8D1E2");
    other.replace("<friendlyName>FRITZ!Box 7590</friendlyName>", "");
    router.change([&](auto &state) {
        state.scripted = {{"GET", {ScriptedIgd::reply(200, other)}}};
    });
    UserDefaults::standardUserDefaults().setObject("AirportIP", "127.0.0.1");
    count(k2to32 + 5000, 20);
    moveLocal(kMoves);
    const std::optional<TrafficSample> sample = tick();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sourceOfSample(*sample), CounterSource::Upnp);
    EXPECT_EQ(sample->value(SampleKey::RouterAddress), "uuid:75802409-bccb-40e7-8e6c-3431C4F8D1E2");
    EXPECT_EQ(sample->value(SampleKey::Router).toString(), "FRITZ!Box 7590");
}

// A reading that fails drops the router; it is looked for again in the
// probe's rhythm (after 2, 4, 8 … ticks), whether discovery finds none or
// finds one whose counters cannot be read; once read, every tick reads it
// without looking for it.
TEST_F(UpnpSource, FailedReadingsBringDiscoveryInTheProbesRhythm) {
    choose("upnp");
    count(1000, 2000);
    ASSERT_TRUE(tick());
    ASSERT_EQ(discoveries, 1);
    const auto ticks = [&](int number) {
        std::vector<int> discovered;
        for (int tick = 0; tick < number; ++tick) {
            const int before = discoveries;
            const std::optional<TrafficSample> sample = this->tick();
            EXPECT_TRUE(sample && sourceOfSample(*sample) == CounterSource::Local) << tick;
            if (discoveries > before)
                discovered.push_back(tick);
        }
        return discovered;
    };
    router.change([](auto &state) {
        const Answer busy{ScriptedIgd::reply(503, "busy")};
        state.scripted = {{"GetAddonInfos", busy}, {"GetTotalBytesSent", busy}};
    });
    EXPECT_EQ(ticks(16), (std::vector<int>{2, 6, 14}));
    environment.clearLog();
    discoveryFinds = false;
    EXPECT_EQ(ticks(20), (std::vector<int>{14}));
    EXPECT_TRUE(environment.logLines().isEmpty()) << "the log hears of a change only";
    discoveryFinds = true;
    router.change([](auto &state) { state.scripted.clear(); });
    std::optional<TrafficSample> sample;
    for (int tick = 0; tick < 40 && !(sample && sourceOfSample(*sample) == CounterSource::Upnp);
         ++tick)
        sample = this->tick();
    ASSERT_TRUE(sample && sourceOfSample(*sample) == CounterSource::Upnp);
    EXPECT_EQ(environment.logLinesContaining("answers UPnP").size(), 1);
    const int found = discoveries;
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_EQ(sourceOfSample(this->tick().value()), CounterSource::Upnp);
    EXPECT_EQ(discoveries, found);
}

// Automatic asks UPnP only when SNMP gives no router sample; each choice
// asks only what it names, and a test's environment lets nothing out
// unless it says so.
TEST_F(UpnpSource, ThePersonsChoiceSendsTheTick) {
    count(1000, 2000);
    // clang-format off
    const struct { const char *chosen; bool allowed; CounterSource source; int probes, discoveries; } cases[] = {
        {"", true, CounterSource::Upnp, 1, 1}, // no answer over SNMP
        {"snmp", true, CounterSource::Local, 1, 0},
        {"upnp", true, CounterSource::Upnp, 0, 1},
        {"local", true, CounterSource::Local, 0, 0},
        {"upnp", false, CounterSource::Local, 0, 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + (c.allowed ? "" : ", not allowed"));
        choose(c.chosen);
        environment.setUpnpAllowed(c.allowed);
        sources.reset();
        discoveries = 0;
        QFile::remove(tools.filePath("probes"));
        const int asked = router.asked("GetAddonInfos");
        const std::optional<TrafficSample> sample = tick();
        ASSERT_TRUE(sample);
        EXPECT_EQ(sourceOfSample(*sample), c.source);
        EXPECT_EQ(probes(), c.probes);
        EXPECT_EQ(discoveries, c.discoveries);
        EXPECT_EQ(router.asked("GetAddonInfos") - asked, c.source == CounterSource::Upnp ? 1 : 0);
    }
}

} // namespace

} // namespace flowtally
