// The router interface a person chose, on a router that names its
// interfaces as today's do: snmpd in the router's namespace beside
// interfaces named vlan1 and pppoe-wan, with and without IF-MIB's 64-bit
// counters. (The pop-up that lists them, a choice found again under another
// index and one that is gone: RouterSourceTest.)
#include "tests/system/SystemTest.h"
#include "tests/support/TextPrinting.h"

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-iface-7b20");

class RouterInterfaceTest : public SystemTest {
  protected:
    // The LAN's link ends on the router's eth0.2.
    void SetUp() override {
        lanShape.routerInterface = "eth0.2";
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!canPlayRouter())
            GTEST_SKIP() << "no snmpd or no modules in " << mibFolder().toStdString();
        makeAgent();
    }

    // The real program meters the router's eth0.2, which carries the LAN's
    // traffic, beside an idle vlan1 that Automatic would take: every byte
    // of eth0.2 counted once, with counters of the width given.
    void countChosenInterface(const QStringList &agentConfiguration, int bits) {
        ASSERT_EQ(lan->addRouterInterfaces({"vlan1", "pppoe-wan"}), QString());
        ASSERT_EQ(agent->start(kCommunity, agentConfiguration), QString());
        const QVariantMap choice{{"object", "ifDescr"}, {"text", "eth0.2"}};
        ASSERT_NO_FATAL_FAILURE(
            writeSettings({{"communityPassword", kCommunity},
                           {"RouterInterface", QVariantMap{{lan->router, choice}}}}));
        ASSERT_NO_FATAL_FAILURE(launch());
        const auto start = waitForSample(lan->routerCounters(), {}, "router");
        ASSERT_TRUE(start) << "Flowtally stored no router sample";
        const QString service = start->key;
        ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 2 * kMiB));
        ASSERT_TRUE(waitForSample(lan->routerCounters(), service, "router"))
            << "the traffic was never sampled on the router";
        ASSERT_NO_FATAL_FAILURE(quit());
        const Record last = records()[service];
        // eth0.2 received what the LAN host sent, and sent what it received.
        expectAtLeast(last.total() - start->total(), {3 * kMiB, 2 * kMiB});
        expectSoonAfter(last.prev(), lan->routerCounters(), kQuerySlack);
        for (const Record &state : seen[service]) {
            EXPECT_EQ(state.source(), "router");
            expectConsistent(state, start->base());
            EXPECT_EQ(state.values.value("prevValOrigin").toMap().value("bits").toInt(), bits);
        }
    }
};

TEST_F(RouterInterfaceTest, ChosenInterfaceCountedToTheByteWith64BitCounters) {
    countChosenInterface({}, 64);
}

// A view hides the 64-bit counters: the 32-bit ones count the same bytes.
TEST_F(RouterInterfaceTest, ChosenInterfaceCountedToTheByteWith32BitCounters) {
    countChosenInterface({"view noHC included .1", "view noHC excluded .1.3.6.1.2.1.31.1.1.1.6",
                          "view noHC excluded .1.3.6.1.2.1.31.1.1.1.10",
                          "rocommunity " + kCommunity + " 10.77.0.0/16 -V noHC"},
                         32);
}

} // namespace

} // namespace flowtally
