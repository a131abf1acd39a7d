#include "DynamicStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char *const kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\t"
    "MTU\tWindow\tIRTT\n";
const char *const kNeighbourHeader =
    "IP address       HW type     Flags       HW address            Mask     Device\n";

// A default route of interface, gateway (kernel hex) and metric.
std::string defaultRouteLine(const std::string &interface, const std::string &gateway, int metric) {
    return interface + "\t00000000\t" + gateway + "\t0003\t0\t0\t" + std::to_string(metric) +
           "\t00000000\t0\t0\t0\n";
}

// Reads the global IPv4 state from copies of the kernel's tables.
class DynamicStoreTest : public ::testing::Test {
  protected:
    void TearDown() override { DynamicStore::setKernelTables(QString(), QString()); }

    std::optional<QVariantMap> stateFrom(const std::string &routes, const std::string &neighbours) {
        write(QStringLiteral("route"), kRouteHeader + routes);
        write(QStringLiteral("arp"), kNeighbourHeader + neighbours);
        DynamicStore::setKernelTables(folder_.filePath(QStringLiteral("route")),
                                      folder_.filePath(QStringLiteral("arp")));
        return DynamicStore::copyValue(kGlobalIPv4StateKey);
    }

    QString serviceFrom(const std::string &routes, const std::string &neighbours) {
        const auto state = stateFrom(routes, neighbours);
        EXPECT_TRUE(state.has_value());
        return state.value_or(QVariantMap()).value(kSCDynamicStorePropNetPrimaryService).toString();
    }

  private:
    void write(const QString &name, const std::string &text) {
        QFile file(folder_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.data(), static_cast<qint64>(text.size()));
    }

    QTemporaryDir folder_;
};

const std::string kRouterEntry =
    "192.168.1.1      0x1         0x2         aa:bb:cc:00:11:22     *        enp3s0\n";

} // namespace

TEST_F(DynamicStoreTest, DefaultRouteOfLowestMetricWins) {
    const std::string routes = "enp3s0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n" +
                               defaultRouteLine("wlp2s0", "FE01A8C0", 600) +
                               defaultRouteLine("enp3s0", "0101A8C0", 100) +
                               defaultRouteLine("tun0", "0100000A", 100);
    const auto state = stateFrom(routes, kRouterEntry);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->value(kSCDynamicStorePropNetPrimaryInterface).toString(), "enp3s0");
    EXPECT_EQ(state->value(kSCPropNetIPv4Router).toString(), "192.168.1.1");
    EXPECT_FALSE(state->value(kSCDynamicStorePropNetPrimaryService).toString().isEmpty());
}

TEST_F(DynamicStoreTest, NoUsableDefaultRouteMeansNoState) {
    const std::string cases[] = {
        "",
        "enp3s0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n",
        // A default route that is down.
        "enp3s0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n",
        "garbage line\n",
    };
    for (const std::string &routes : cases)
        EXPECT_FALSE(stateFrom(routes, kRouterEntry).has_value()) << routes;
}

TEST_F(DynamicStoreTest, RouteWithoutGatewayHasNoRouter) {
    const auto state = stateFrom("wg0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n", "");
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->value(kSCDynamicStorePropNetPrimaryInterface).toString(), "wg0");
    EXPECT_FALSE(state->contains(kSCPropNetIPv4Router));
    EXPECT_FALSE(state->value(kSCDynamicStorePropNetPrimaryService).toString().isEmpty());
}

TEST_F(DynamicStoreTest, ServiceIdentifierFollowsInterfaceAndRouterHardware) {
    const std::string route = defaultRouteLine("enp3s0", "0101A8C0", 100);
    const QString known = serviceFrom(route, kRouterEntry);
    EXPECT_EQ(serviceFrom(route, kRouterEntry), known);

    const QString otherRouter = serviceFrom(
        route, "192.168.1.1      0x1         0x2         aa:bb:cc:00:11:99     *        enp3s0\n");
    EXPECT_NE(otherRouter, known);

    // Unresolved entries (incomplete, failed) do not count as known hardware.
    const QString unknown = serviceFrom(route, "");
    EXPECT_EQ(serviceFrom(route, "192.168.1.1      0x1         0x0         00:00:00:00:00:00     "
                                 "*        enp3s0\n"),
              unknown);
    EXPECT_NE(unknown, known);
    EXPECT_NE(unknown, otherRouter);
    EXPECT_NE(serviceFrom(defaultRouteLine("enp3s0", "FE01A8C0", 100), ""), unknown);

    // A permanent entry is as good as a resolved one.
    EXPECT_EQ(serviceFrom(route, "192.168.1.1      0x1         0x6         aa:bb:cc:00:11:22     "
                                 "*        enp3s0\n"),
              known);
    EXPECT_NE(serviceFrom(defaultRouteLine("wlp2s0", "0101A8C0", 100), kRouterEntry), known);
}

TEST_F(DynamicStoreTest, ProviderAnswersInsteadOfTheKernel) {
    const QVariantMap fake{{kSCDynamicStorePropNetPrimaryInterface, QStringLiteral("en0")}};
    QString askedFor;
    DynamicStore::setProvider([&](const QString &key) -> std::optional<QVariantMap> {
        askedFor = key;
        return fake;
    });
    EXPECT_EQ(DynamicStore::copyValue(kGlobalIPv4StateKey), fake);
    EXPECT_EQ(askedFor, kGlobalIPv4StateKey);
    DynamicStore::setProvider({});
    EXPECT_FALSE(DynamicStore::copyValue(QStringLiteral("State:/Network/Other")).has_value());
}
