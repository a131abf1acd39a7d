#include "DynamicStore.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QSet>

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
std::string neighbour(const char *flags = "0x2", const char *hardware = "aa:bb:cc:00:11:22") {
    return std::string("192.168.1.1 0x1 ") + flags + " " + hardware + " * enp3s0\n";
}

// Reads the global IPv4 state from copies of the kernel's tables.
class DynamicStoreTest : public ::testing::Test {
  protected:
    std::optional<QVariantMap> stateFrom(const std::string &routes,
                                         const std::string &neighbours = neighbour()) {
        const QString paths[] = {environment.routeTablePath(), environment.neighbourTablePath()};
        for (int i = 0; i < 2; ++i) {
            QFile file(paths[i]);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(("header\n" + (i == 0 ? routes : neighbours)).c_str());
        }
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
                                  {kSCDynamicStorePropNetPrimaryService,
                                   serviceFrom(route("enp3s0", "0101A8C0"))}}));
    for (const std::string &routes :
         {std::string(), kNetworkRoute, route("enp3s0", "0101A8C0", 0, "0002"), std::string("x\n")})
        EXPECT_FALSE(stateFrom(routes).has_value()) << routes;
}

// Stable for the same interface and router hardware, different otherwise;
// unresolved entries do not count as known hardware, permanent ones do.
TEST_F(DynamicStoreTest, ServiceIdentifierFollowsInterfaceAndRouterHardware) {
    const std::string enp3s0 = route("enp3s0", "0101A8C0");
    const QString known = serviceFrom(enp3s0), unknown = serviceFrom(enp3s0, "");
    EXPECT_EQ(serviceFrom(enp3s0, neighbour("0x6")), known);
    EXPECT_EQ(serviceFrom(enp3s0, neighbour("0x0", "00:00:00:00:00:00")), unknown);
    const QStringList all{
        known, unknown, serviceFrom(enp3s0, neighbour("0x2", "aa:bb:cc:00:11:99")),
        serviceFrom(route("enp3s0", "FE01A8C0"), ""), serviceFrom(route("wlp2s0", "0101A8C0"))};
    EXPECT_FALSE(all.contains(QString()));
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), all.size())
        << all.join(' ').toStdString();
}

} // namespace

} // namespace flowtally
