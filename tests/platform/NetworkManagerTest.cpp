// Flowtally and NetworkManager, a stand-in for it on a bus of the test's
// own: the primary connection that names the network (NetworkManagerWatch),
// whether the connection is metered, and marking it so (MeteredConnection).
#include "platform/system/MeteredConnection.h"
#include "platform/system/NetworkManagerWatch.h"

#include "platform/system/DynamicStore.h"
#include "tests/support/FakeNetworkManager.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestEnvironment.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

const QString kHomeUuid = FakeNetworkManagerObjects::kHomeUuid;
const QString kOfficeUuid = FakeNetworkManagerObjects::kOfficeUuid;

// NetworkManager's objects on the bus, its name not yet taken; the kernel's
// tables show a network, and Flowtally's system bus is the test's own.
class NetworkManager : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(nm.registerOn(bus.connection("NetworkManager")));
        environment.setNetwork(FakeNetwork{});
        environment.setSystemBus(bus.connection("flowtally"));
    }
    // The outcome of a mark, once it came.
    Status mark(MeteredConnection &connection) {
        std::optional<Status> outcome;
        connection.markMetered([&](const Status &status) { outcome = status; });
        runLoopUntil([&] { return outcome.has_value(); });
        return outcome.value_or(Status::ioError("no outcome came"));
    }

    PrivateBus bus;
    FakeNetworkManagerObjects nm;
    TestEnvironment environment;
};

// Named by NetworkManager's connection as it changes (its UUID the key, its
// name beside it), without a question on the bus per read; by the router
// where NetworkManager has no connection or is gone; by nothing while its
// first answer is on the way.
TEST_F(NetworkManager, WatchFollowsThePrimaryConnectionFromItsSignals) {
    nm.manager.primary = kHomeConnectionPath;
    ASSERT_TRUE(nm.bus.registerService(kNetworkManagerService));
    const std::optional<QString> byRouter =
        DynamicStore::serviceIdentifier(FakeNetwork{}.interface, *FakeNetwork{}.routerHardware);
    NetworkManagerWatch watch;
    EXPECT_EQ(environment.currentService(), QString()) << "named before NetworkManager answered";
    ASSERT_TRUE(runLoopUntil([&] { return environment.currentService() == kHomeUuid; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, "Home Wi-Fi");
    const int asked = nm.manager.questions;
    for (int read = 0; read < 100; ++read)
        EXPECT_EQ(environment.currentService(), kHomeUuid);
    EXPECT_EQ(nm.manager.questions, asked) << "the bus asked on a read";

    nm.primaryBecomes(kOfficeConnectionPath);
    EXPECT_TRUE(runLoopUntil([&] { return environment.currentService() == kOfficeUuid; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, "Office");
    nm.primaryBecomes("/");
    EXPECT_TRUE(runLoopUntil([&] { return environment.currentService() == byRouter; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, std::nullopt);
    nm.primaryBecomes(kHomeConnectionPath);
    EXPECT_TRUE(runLoopUntil([&] { return environment.currentService() == kHomeUuid; }));
    ASSERT_TRUE(nm.bus.unregisterService(kNetworkManagerService));
    EXPECT_TRUE(runLoopUntil([&] { return environment.currentService() == byRouter; }))
        << "NetworkManager went";
}

// Yes and guess-yes are metered, every other value is not; each change
// comes from its signals. Marking sets connection.metered to yes (an int32,
// as NetworkManager takes it) and hands back every other setting as it was,
// nested values included; a refusal is told as a failure, nothing changed.
// (Nothing known while NetworkManager is gone, asked again when it comes
// back, and no primary connection to mark: AlertsTest's offer to mark.)
TEST_F(NetworkManager, MeteredConnectionFollowsItsValueAndMarksKeepingTheSettings) {
    const QList<uint> dns{0x0101a8c0, 0x0808080};
    const QList<QVariantMap> addresses{{{"address", "192.168.8.20"}, {"prefix", 24u}}};
    nm.settings.settings = {
        {"connection",
         {{"id", "Phone hotspot"}, {"type", "802-11-wireless"}, {"metered", qint32(2)}}},
        {"ipv4",
         {{"method", "manual"},
          {"dns", QVariant::fromValue(dns)},
          {"address-data", QVariant::fromValue(addresses)}}}};
    nm.manager.primary = kHomeConnectionPath;
    nm.manager.value = 3; // guess yes
    ASSERT_TRUE(nm.bus.registerService(kNetworkManagerService));
    MeteredConnection connection;
    EXPECT_TRUE(runLoopUntil([&] { return connection.isMetered() == true; }));

    // clang-format off
    const struct { uint value; bool metered; } steps[] = {
        {2, false}, {1, true}, {4, false}, {3, true}, {0, false}, {1, true}};
    // clang-format on
    for (const auto &step : steps) {
        nm.meteredBecomes(step.value);
        EXPECT_TRUE(runLoopUntil([&] { return connection.isMetered() == step.metered; }))
            << "Metered " << step.value;
    }

    nm.settings.refusal = "org.freedesktop.NetworkManager.PermissionDenied";
    Status outcome = mark(connection);
    EXPECT_EQ(outcome.code(), Status::Code::Refused) << outcome.message().toStdString();
    EXPECT_TRUE(outcome.message().contains("Not authorized"));

    nm.settings.refusal.clear();
    outcome = mark(connection);
    EXPECT_TRUE(outcome.ok()) << outcome.message().toStdString();
    ASSERT_EQ(nm.settings.updates, 1);
    const ConnectionSettings &stored = nm.settings.settings;
    const QVariant metered = stored["connection"]["metered"];
    EXPECT_EQ(metered.typeId(), QMetaType::Int);
    EXPECT_EQ(metered.toInt(), 1);
    EXPECT_EQ(stored["connection"]["id"], "Phone hotspot");
    EXPECT_EQ(stored["ipv4"]["method"], "manual");
    EXPECT_EQ(qdbus_cast<QList<uint>>(stored["ipv4"]["dns"]), dns);
    EXPECT_EQ(qdbus_cast<QList<QVariantMap>>(stored["ipv4"]["address-data"]), addresses);
}

} // namespace

} // namespace flowtally
