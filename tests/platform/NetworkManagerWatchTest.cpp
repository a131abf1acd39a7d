// NetworkManager's primary connection, kept from its signals: a stand-in for
// NetworkManager on a bus of the test's own.
#include "NetworkManagerWatch.h"

#include "DynamicStore.h"
#include "LoopWaits.h"
#include "PrivateBus.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

const QString kService = "org.freedesktop.NetworkManager";
const QString kPath = "/org/freedesktop/NetworkManager";
const QString kActive = "/org/freedesktop/NetworkManager/ActiveConnection/";

// NetworkManager's object, with the one property Flowtally asks for; the
// bus answers the questions for its properties through the getter, which
// counts them.
class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)

  public:
    QDBusObjectPath primaryConnection() {
        ++questions;
        return QDBusObjectPath(primary);
    }
    QString primary = "/"; // the active connection's path, "/" for none
    int questions = 0;
};

// An active connection, its UUID and its name.
class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QString Uuid READ uuid)
    Q_PROPERTY(QString Id READ id)

  public:
    FakeActiveConnection(QString uuid, QString id, int *questions)
        : uuid_(std::move(uuid)), id_(std::move(id)), questions_(questions) {}
    QString uuid() {
        ++*questions_;
        return uuid_;
    }
    QString id() const { return id_; }

  private:
    QString uuid_;
    QString id_;
    int *questions_;
};

std::optional<QString> service() {
    const std::optional<QVariantMap> state = DynamicStore::copyValue(kGlobalIPv4StateKey);
    if (!state || !state->contains(kSCDynamicStorePropNetPrimaryService))
        return std::nullopt;
    return state->value(kSCDynamicStorePropNetPrimaryService).toString();
}

// Named by NetworkManager's connection as it changes (its UUID the key, its
// name beside it), without a question on the bus per read; by the router where NetworkManager has
// no connection or is gone; by nothing while its first answer is on the way.
TEST(NetworkManagerWatch, FollowsThePrimaryConnectionFromItsSignals) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakeNetworkManager manager;
    manager.primary = kActive + "1";
    const QMap<QString, QString> uuids{{kActive + "1", "3b1f0c52-0000-4000-8000-0000000000a1"},
                                       {kActive + "2", "3b1f0c52-0000-4000-8000-0000000000a2"}};
    FakeActiveConnection first(uuids[kActive + "1"], "Home Wi-Fi", &manager.questions),
        second(uuids[kActive + "2"], "Office", &manager.questions);
    QDBusConnection managerBus = bus.connection("NetworkManager");
    ASSERT_TRUE(managerBus.registerObject(kPath, &manager, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(
        managerBus.registerObject(kActive + "1", &first, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(
        managerBus.registerObject(kActive + "2", &second, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(managerBus.registerService(kService));

    // The kernel's tables show a network; the system bus is the test's own.
    TestEnvironment environment;
    environment.setNetwork(FakeNetwork{});
    environment.setSystemBus(bus.connection("flowtally"));
    const std::optional<QString> byRouter =
        DynamicStore::serviceIdentifier(FakeNetwork{}.interface, *FakeNetwork{}.routerHardware);
    NetworkManagerWatch watch;
    EXPECT_EQ(service(), std::nullopt) << "named before NetworkManager answered";
    ASSERT_TRUE(runLoopUntil([&] { return service() == uuids[kActive + "1"]; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, "Home Wi-Fi");
    const int asked = manager.questions;
    for (int read = 0; read < 100; ++read)
        EXPECT_EQ(service(), uuids[kActive + "1"]);
    EXPECT_EQ(manager.questions, asked) << "the bus asked on a read";

    const auto primaryBecomes = [&](const QString &path) {
        manager.primary = path;
        managerBus.send(
            QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties",
                                       "PropertiesChanged")
            << kService
            << QVariantMap{{"PrimaryConnection", QVariant::fromValue(QDBusObjectPath(path))}}
            << QStringList());
    };
    primaryBecomes(kActive + "2");
    EXPECT_TRUE(runLoopUntil([&] { return service() == uuids[kActive + "2"]; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, "Office");
    primaryBecomes("/");
    EXPECT_TRUE(runLoopUntil([&] { return service() == byRouter; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, std::nullopt);
    primaryBecomes(kActive + "1");
    EXPECT_TRUE(runLoopUntil([&] { return service() == uuids[kActive + "1"]; }));
    ASSERT_TRUE(managerBus.unregisterService(kService));
    EXPECT_TRUE(runLoopUntil([&] { return service() == byRouter; })) << "NetworkManager went";
}

} // namespace

} // namespace flowtally

#include "NetworkManagerWatchTest.moc"
