#include "platform/system/DynamicStore.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QSet>

#include <thread>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// A default route line of interface, gateway and flags (kernel hex), and metric.
std::string route(const std::string &interface, const char *gateway, int metric = 100,
                  const char *flags = "0003") {
    return interface + "\t00000000\t" + gateway + "\t" + flags + "\t0\t0\t" +
           std::to_string(metric) + "\t00000000\n";
}
const std::string kNetworkRoute = "enp3s0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n";

// A neighbour table entry for 192.168.1.1 with flags and hardware address.
std::string neighbour(const char *flags = "0x2", const char *hardware = "aa:bb:cc:00:11:22",
                      const char *device = "enp3s0") {
    return std::string("192.168.1.1 0x1 ") + flags + " " + hardware + " * " + device + "\n";
}

// Reads the global IPv4 state from copies of the kernel's tables.
class DynamicStoreTest : public ::testing::Test {
  protected:
    std::optional<QVariantMap> stateFrom(const std::string &routes,
                                         const std::string &neighbours = neighbour()) {
        EXPECT_TRUE(makeFile(environment.routeTablePath(), ("header\n" + routes).c_str(), 0644));
        EXPECT_TRUE(
            makeFile(environment.neighbourTablePath(), ("header\n" + neighbours).c_str(), 0644));
        return DynamicStore::copyValue(kGlobalIPv4StateKey);
    }
    QString serviceFrom(const std::string &routes, const std::string &neighbours = neighbour()) {
        return stateFrom(routes, neighbours)
            .value_or(QVariantMap())[kSCDynamicStorePropNetPrimaryService]
            .toString();
    }

    TestEnvironment environment;
};

TEST_F(DynamicStoreTest, DefaultRouteOfLowestMetricWinsAndNoneMeansNoState) {
    const auto state = stateFrom(kNetworkRoute + route("wlp2s0", "FE01A8C0", 600) +
                                 route("enp3s0", "0101A8C0") + route("tun0", "0100000A"));
    EXPECT_EQ(state, (QVariantMap{{kSCDynamicStorePropNetPrimaryInterface, "enp3s0"},
                                  {kSCPropNetIPv4Router, "192.168.1.1"},
                                  {kRouterHardwareAddress, "aa:bb:cc:00:11:22"},
                                  {kSCDynamicStorePropNetPrimaryService,
                                   serviceFrom(route("enp3s0", "0101A8C0"))}}));
    // A VPN's half of the address space (0.0.0.0/1) is no default route.
    const std::string halfRoute = "tun0\t00000000\t0100000A\t0003\t0\t0\t0\t00000080\n";
    for (const std::string &routes : {std::string(), kNetworkRoute, halfRoute,
                                      route("enp3s0", "0101A8C0", 0, "0002"), std::string("x\n")})
        EXPECT_FALSE(stateFrom(routes).has_value()) << routes;
}

// The routing table as the kernel lays it out (trailing columns and blanks,
// no newline after the last entry), and lines whose numbers do not read.
// (The neighbour table's padded columns: TestEnvironment writes them so for
// every test with a network.)
TEST_F(DynamicStoreTest, TablesReadInTheKernelsLayoutAndUnreadableLinesArePassedOver) {
    const std::string routes = "enp3s0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0   ";
    const auto state = stateFrom(routes);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->value(kSCPropNetIPv4Router), "192.168.1.1");

    // A metric, flag or address that is no number leaves its line out.
    EXPECT_EQ(stateFrom(route("wlp2s0", "FE01A8C0", 600) +
                        "enp3s0\t00000000\t0101A8C0\t0003\t0\t0\t1x\t00000000\n" +
                        "enp3s0\t00000000\t0101A8C0\t00g3\t0\t0\t1\t00000000\n")
                  ->value(kSCDynamicStorePropNetPrimaryInterface),
              "wlp2s0");
    // (Another interface: the router behind enp3s0 is known by now.)
    EXPECT_FALSE(
        stateFrom(route("enp9s0", "0101A8C0"), neighbour("0xz2", "aa:bb:cc:00:11:22", "enp9s0"))
            ->contains(kRouterHardwareAddress));
}

// Within a snapshot the thread sees the network as it was when the snapshot
// was made, and so does a thread it is handed to; other threads, and the
// thread once the snapshot ends, read afresh.
TEST_F(DynamicStoreTest, SnapshotHoldsOneViewOfTheNetworkOnItsThread) {
    const auto interface = [] {
        return DynamicStore::copyValue(kGlobalIPv4StateKey)
            .value_or(QVariantMap())[kSCDynamicStorePropNetPrimaryInterface]
            .toString();
    };
    stateFrom(route("enp3s0", "0101A8C0"));
    {
        const DynamicStore::Snapshot tick;
        stateFrom(route("wlp2s0", "0101A8C0"));
        EXPECT_EQ(interface(), "enp3s0");
        QString elsewhere, carried;
        std::thread([&] {
            elsewhere = interface();
            const DynamicStore::Snapshot handedOver(tick.state());
            carried = interface();
        }).join();
        EXPECT_EQ(elsewhere, "wlp2s0");
        EXPECT_EQ(carried, "enp3s0");
        {
            const DynamicStore::Snapshot inner;
            stateFrom(route("enp9s0", "0101A8C0"));
            EXPECT_EQ(interface(), "wlp2s0");
        }
        EXPECT_EQ(interface(), "enp3s0");
    }
    EXPECT_EQ(interface(), "enp9s0");
}

// Stable for the same interface and router hardware, different otherwise;
// permanent entries count as known hardware. While the kernel asks for the
// router again (an entry being resolved, failed, gone), the network keeps its
// name; before the router was ever seen there is no name, so nothing is
// metered under a passing one.
TEST_F(DynamicStoreTest, ServiceIdentifierFollowsInterfaceAndRouterHardware) {
    const std::string enp3s0 = route("enp3s0", "0101A8C0");
    const QString known = serviceFrom(enp3s0);
    EXPECT_EQ(serviceFrom(enp3s0, neighbour("0x6")), known);
    const QStringList all{
        known, serviceFrom(enp3s0, neighbour("0x2", "aa:bb:cc:00:11:99")),
        serviceFrom(route("wlp2s0", "0101A8C0"), neighbour("0x2", "aa:bb:cc:00:11:22", "wlp2s0")),
        serviceFrom(route("enp3s0", "00000000", 100, "0001"))};
    EXPECT_FALSE(all.contains(QString()));
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), all.size())
        << all.join(' ').toStdString();

    // The same router behind an interface no other test uses: never seen yet.
    const std::string routes = route("enp4s0", "0101A8C0");
    const std::string incomplete = neighbour("0x0", "00:00:00:00:00:00", "enp4s0");
    const auto state = stateFrom(routes, incomplete);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value(kSCPropNetIPv4Router), "192.168.1.1");
    EXPECT_FALSE(state->contains(kSCDynamicStorePropNetPrimaryService)) << "never seen";
    const std::string seen = neighbour("0x2", "aa:00:00:00:00:01", "enp4s0");
    const QString home = serviceFrom(routes, seen);
    for (const std::string &neighbours : {incomplete, std::string(), seen})
        EXPECT_EQ(serviceFrom(routes, neighbours), home) << neighbours;
    // Another router on the same address is another network, remembered in its turn.
    const QString other = serviceFrom(routes, neighbour("0x2", "aa:00:00:00:00:02", "enp4s0"));
    EXPECT_NE(other, home);
    EXPECT_EQ(serviceFrom(routes, incomplete), other);
}

// Two networks whose routers share an address (cable and Wi-Fi, both to
// 192.168.1.1): the router behind the default route's interface names the
// network, not the neighbour of the same address on the other one.
TEST_F(DynamicStoreTest, RouterHardwareIsTheNeighbourOnTheRoutesInterface) {
    const auto state =
        stateFrom(route("enp5s0", "0101A8C0"), neighbour("0x2", "aa:bb:cc:00:00:99", "wlp2s0") +
                                                   neighbour("0x2", "aa:bb:cc:00:55:22", "enp5s0"));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value(kRouterHardwareAddress), "aa:bb:cc:00:55:22");
}

} // namespace

} // namespace flowtally
