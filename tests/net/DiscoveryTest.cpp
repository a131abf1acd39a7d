// Discovery: the router address, the once-per-tick router decision and the
// change of network service, with the network store and tools faked; and
// address lookups, for which the arp helper runs for usable addresses only.
#include "tests/support/controller/ControllerFixture.h"

#include "platform/system/UserDefaults.h"

#include <functional>

namespace flowtally {

namespace {

const QString kName = "system.sysName.0", kNameReply = "SNMPv2-MIB::sysName.0 = STRING: gateway\n";

class Discovery : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        reply("arp", QString("myhost (192.168.7.20) -- no entry\n"));
        AppDelegate::clearRouterDecision();
    }
    // The router probes since the last call.
    qsizetype probes() { return QString::fromStdString(runs()).count("snmpget|"); }
};

TEST_F(Discovery, RouterDecisionNeedsAWiredNameALocalAddressAndAnAnswer) {
    // clang-format off
    const struct { QString interface, router, reply; bool decision; int probes; } cases[] = {
        {"enp3s0", "127.0.0.77", kNameReply, true, 1},
        {"tun0", "127.0.0.77", kNameReply, false, 1},
        {"eth0", "8.8.8.8", kNameReply, false, 0}, // a public router hears no community
        {"wlan0", "127.0.0.77", "SNMPv2-MIB::sysName.0 = INTEGER: 5\n", false, 1},
        {"eth0", "127.0.0.77", "", false, 1},
    };
    // clang-format on
    for (const auto &c : cases) {
        useNetwork(FakeNetwork{c.interface, c.router, kHome.routerHardware});
        reply(kName, c.reply);
        AppDelegate::clearRouterDecision();
        EXPECT_EQ(AppDelegate::probablyHasRouter(), c.decision) << c.interface << ' ' << c.router;
        EXPECT_EQ(AppDelegate::routerIPAddress(), c.decision ? c.router : "192.168.7.20")
            << "without a router, the computer's own address";
        EXPECT_EQ(probes(), c.probes)
            << "one probe a tick, however often the decision is asked for";
    }
}

// A router that does not answer is asked again after 2, 4, 8 … ticks, but
// at least once a minute; the ticks between go by its last answer.
TEST_F(Discovery, SilentRouterIsProbedLessAndLessOftenAtLeastOnceAMinute) {
    QDateTime now = base;
    environment.setClock([&] { return now; });
    // clang-format off
    const struct { double secondsPerTick; int ticks; std::vector<int> probed; } cases[] = {
        {1.5, 110, {0, 2, 6, 14, 30, 62, 102}}, // waits of 2, 4, 8, 16, 32 ticks, then 60 s
        {4.0, 50, {0, 2, 6, 14, 29, 44}},       // 16 ticks would be 64 s
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.secondsPerTick);
        AppDelegate::rearmRouterProbe();
        reply(kName, QByteArray());
        std::vector<int> probed;
        for (int tick = 0; tick < c.ticks;
             ++tick, now = now.addMSecs(qint64(c.secondsPerTick * 1000))) {
            AppDelegate::clearRouterDecision();
            EXPECT_FALSE(AppDelegate::probablyHasRouter());
            if (probes() > 0)
                probed.push_back(tick);
        }
        EXPECT_EQ(probed, c.probed);
        // Answering again, it is asked every tick: by the probe, or by the
        // tick's sample (here a failed one, which sends the probe after it).
        reply(kName, kNameReply);
        now = now.addSecs(60);
        for (int tick = 0; tick < 3; ++tick) {
            AppDelegate::clearRouterDecision();
            EXPECT_TRUE(AppDelegate::probablyHasRouter());
            EXPECT_FALSE(controller->tickSample());
            EXPECT_EQ(probes(), 1);
        }
    }
    environment.setClock({});
}

// Whatever the answer depends on changes, or metering starts again (the
// preferences window closes): the next tick asks at once.
TEST_F(Discovery, SilentRouterIsAskedAtOnceAfterEachChange) {
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"network", [&] { useNetwork(kOffice); }},
        {"router address",
         [&] {
             useNetwork(FakeNetwork{"eth0", "127.0.0.78"});
         }},
        {"typed address",
         [&] { UserDefaults::standardUserDefaults().setObject("AirportIP", "127.0.0.79"); }},
        {"community",
         [&] { UserDefaults::standardUserDefaults().setObject("communityPassword", "other"); }},
        {"preferences closed",
         [&] {
             controller->windowWillClose(controller->prefsWindowWidget());
             controller->stopLogging(); // after the one tick it started
         }},
    };
    reply(kName, QByteArray());
    const auto tick = [] {
        AppDelegate::clearRouterDecision();
        return AppDelegate::probablyHasRouter();
    };
    for (const auto &[what, change] : changes) {
        SCOPED_TRACE(what);
        for (int i = 0; i < 8; ++i) // four failed probes: the next waits 16 ticks
            EXPECT_FALSE(tick());
        probes();
        EXPECT_FALSE(tick());
        EXPECT_EQ(probes(), 0);
        change();
        if (std::string(what) != "preferences closed") {
            EXPECT_FALSE(tick());
        }
        EXPECT_EQ(probes(), 1);
    }
}

// The journal hears when the router stops or starts answering, with the
// tool's own words, which it writes to its standard error; not every probe.
TEST_F(Discovery, EachChangeOfTheProbesOutcomeIsLoggedOnce) {
    useNetwork(FakeNetwork{"eth0", "127.0.0.80"});
    replyOnError(kName, "Timeout: No Response from 127.0.0.80.\n");
    environment.clearLog();
    const QString silent =
        "The router 127.0.0.80 does not answer SNMP: Timeout: No Response from 127.0.0.80.";
    const QString answers = "The router 127.0.0.80 answers SNMP.";
    // clang-format off
    const struct { QString reply; QStringList logged; } steps[] = {
        {"", {silent}}, {"", {}}, {"", {}},
        {kNameReply, {answers}}, {kNameReply, {}},
        {"", {silent}}, {"", {}},
    };
    // clang-format on
    for (const auto &step : steps) {
        reply(kName, step.reply);
        AppDelegate::rearmRouterProbe(); // every tick probes
        AppDelegate::clearRouterDecision();
        EXPECT_EQ(AppDelegate::probablyHasRouter(), !step.reply.isEmpty());
        EXPECT_EQ(probes(), 1);
        EXPECT_EQ(environment.logLines(), step.logged);
        environment.clearLog();
    }
}

// Without a router the address field shows this computer's own address:
// asked of arp once for a network, again after a minute, at once for
// another network and when metering starts again. The user's address wins.
TEST_F(Discovery, OwnAddressIsAskedOncePerNetworkAndMinuteUnlessTheUserSetOne) {
    QDateTime now = base;
    environment.setClock([&] { return now; });
    const auto arpRuns = [&] { return QString::fromStdString(runs()).count("arp|"); };
    const auto tick = [&](double seconds, const QString &address, int asked) {
        now = base.addMSecs(qint64(seconds * 1000));
        AppDelegate::clearRouterDecision();
        EXPECT_EQ(AppDelegate::routerIPAddress(), address) << seconds;
        EXPECT_EQ(arpRuns(), asked) << seconds;
    };
    AppDelegate::rearmRouterProbe();
    tick(0, "192.168.7.20", 1);
    reply("arp", QString("myhost (192.168.7.21) -- no entry\n"));
    tick(1.5, "192.168.7.20", 0);
    tick(59.5, "192.168.7.20", 0);
    tick(60, "192.168.7.21", 1);
    useNetwork(kOffice);
    reply("arp", QString("myhost (10.0.0.5) -- no entry\n"));
    tick(61.5, "10.0.0.5", 1);
    reply("arp", QString("myhost (10.0.0.6) -- no entry\n"));
    AppDelegate::rearmRouterProbe();
    tick(63, "10.0.0.6", 1);
    reply("arp", QString("myhost (10.0.0.7) -- no entry\n"));
    tick(10, "10.0.0.7", 1); // a clock put back is no measure of the minute
    environment.setClock({});

    // An address set by the user wins without a decision; one that is not
    // local is logged once.
    environment.clearLog();
    AppDelegate::clearRouterDecision();
    for (const QString address : {"8.8.4.4", "9.9.9.9"}) {
        UserDefaults::standardUserDefaults().setObject("AirportIP", address);
        EXPECT_EQ(AppDelegate::routerIPAddress(), address);
        EXPECT_EQ(AppDelegate::routerIPAddress(), address);
    }
    EXPECT_EQ(probes(), 0) << "the user's address needs no decision";
    EXPECT_EQ(environment.logLines(), QStringList{"8.8.4.4 is not a valid local IP address!"});
}

TEST_F(Discovery, ServiceChangedUnlessBothAreThereAndEqual) {
    EXPECT_FALSE(controller->serviceChanged());
    useNetwork(kOffice);
    EXPECT_TRUE(controller->serviceChanged());
    useNetwork(std::nullopt);
    EXPECT_TRUE(controller->serviceChanged());
    controller->setPrimaryService(std::nullopt);
    EXPECT_TRUE(controller->serviceChanged());
    useNetwork(kOffice);
    EXPECT_TRUE(controller->serviceChanged()) << "a network comes to a record without one";
}

// The arp helper runs for usable addresses only.
TEST_F(Discovery, AddressLookupRunsArpOnlyForAUsableAddress) {
    reply("arp", QString("? (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n"));
    EXPECT_EQ(AppDelegate::IPInfo("192.168.1.1")->value("MAC"), "0:1a:2b:3c:4d:5e");
    EXPECT_EQ(AppDelegate::enetAddressFromIPAddress("8.8.8.8"), "0:1a:2b:3c:4d:5e")
        << "any address is looked up for its hardware";
    EXPECT_EQ(runs(), "arp|192.168.1.1\narp|8.8.8.8\n");
    EXPECT_FALSE(AppDelegate::IPInfo(QString()));
    EXPECT_FALSE(AppDelegate::enetAddressFromIPAddress(QString()));
    EXPECT_FALSE(AppDelegate::IPInfo(std::nullopt));
    EXPECT_FALSE(AppDelegate::IPInfo("8.8.8.8")) << "not a local address";
    EXPECT_EQ(runs(), "");
}

} // namespace

} // namespace flowtally
