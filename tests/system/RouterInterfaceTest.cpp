// The router interface a person chose, on a router that names its
// interfaces as today's do: snmpd in the router's namespace beside
// interfaces named vlan1 and pppoe-wan, without IF-MIB's 64-bit counters.
// (The pop-up that lists them, a choice found again under another index and
// one that is gone: RouterSourceTest.)
#include "tests/support/TextPrinting.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-iface-7b20");

// The LAN's link ends on the router's eth0.2.
class RouterInterfaceTest : public SystemTest {
  protected:
    RouterInterfaceTest() {
        lanShape.routerInterface = "eth0.2";
        playsRouter = true;
    }
};

// The real program meters the router's eth0.2, which carries the LAN's
// traffic, beside an idle vlan1 that Automatic would take: every byte of
// eth0.2 counted once. A view hides the 64-bit counters, so that the 32-bit
// ones count. (The same interface's 64-bit counters come in the same query,
// RouterSourceTest; real 64-bit counters counted to the byte: RouterTest.)
TEST_F(RouterInterfaceTest, ChosenInterfaceCountedToTheByteWith32BitCounters) {
    ASSERT_EQ(lan->addRouterInterfaces({"vlan1", "pppoe-wan"}), QString());
    ASSERT_EQ(agent->start(kCommunity,
                           {"view noHC included .1", "view noHC excluded .1.3.6.1.2.1.31.1.1.1.6",
                            "view noHC excluded .1.3.6.1.2.1.31.1.1.1.10",
                            "rocommunity " + kCommunity + " 10.77.0.0/16 -V noHC"}),
              QString());
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
        EXPECT_EQ(state.values.value("prevValOrigin").toMap().value("bits").toInt(), 32);
    }
}

} // namespace

} // namespace flowtally
