#include "DynamicStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

    // Reads from another thread while this one runs the event loop, which
    // serves the fake NetworkManager below.
    QString serviceReadAside(const std::string &routes, const std::string &neighbours) {
        QString service;
        std::atomic<bool> done = false;
        std::thread reader([&] {
            service = serviceFrom(routes, neighbours);
            done = true;
        });
        QDeadlineTimer deadline(10000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        reader.join();
        return service;
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

class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)

  public:
    QDBusObjectPath primaryConnection() const { return primary; }
    QDBusObjectPath primary;
};

class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QString Uuid READ uuid)

  public:
    QString uuid() const { return QStringLiteral("5d3f1c2a-0b4e-4f6a-9c8d-7e6f5a4b3c2d"); }
};

// A private message bus standing in for the system bus.
class PrivateBus {
  public:
    PrivateBus() {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return;
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {"--session", "--nofork", "--nopidfile", "--print-address"});
        if (daemon_.waitForReadyRead(5000))
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-network-manager"));
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    QString address() const { return address_; }

  private:
    QProcess daemon_;
    QString address_;
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

TEST_F(DynamicStoreTest, ServiceIsNetworkManagersPrimaryConnectionWhereItRuns) {
    const std::string route = defaultRouteLine("enp3s0", "0101A8C0", 100);
    const QString nameBased = serviceFrom(route, kRouterEntry);

    PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "no dbus-daemon to run a private bus";
    QDBusConnection connection =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("fake-network-manager"));
    FakeNetworkManager manager;
    FakeActiveConnection active;
    const QString activePath = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/3");
    ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/NetworkManager"),
                                          &manager, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(
        connection.registerObject(activePath, &active, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.NetworkManager")));
    DynamicStore::setSystemBusAddress(bus.address());

    manager.primary = QDBusObjectPath(activePath);
    EXPECT_EQ(serviceReadAside(route, kRouterEntry), active.uuid());
    // No primary connection: the name-based identifier again.
    manager.primary = QDBusObjectPath(QStringLiteral("/"));
    EXPECT_EQ(serviceReadAside(route, kRouterEntry), nameBased);

    DynamicStore::setSystemBusAddress(QString());
}

#include "DynamicStoreTest.moc"
