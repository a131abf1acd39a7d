// Discovery: the router address, the once-per-tick router decision and the
// change of network service, with the network store and tools faked.
#include "ControllerFixture.h"

#include "UserDefaults.h"

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
        EXPECT_EQ(AppDelegate::probablyHasRouter(), c.decision);
        EXPECT_EQ(AppDelegate::routerIPAddress(), c.decision ? c.router : "192.168.7.20")
            << "without a router, the computer's own address";
        EXPECT_EQ(probes(), c.probes)
            << "one probe a tick, however often the decision is asked for";
    }
}

TEST_F(Discovery, AddressSetByTheUserWinsAndAnInvalidOneIsLoggedOnce) {
    environment.clearLog();
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
}

} // namespace

} // namespace flowtally
