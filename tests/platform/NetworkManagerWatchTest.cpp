// NetworkManager's primary connection, kept from its signals: a stand-in for
// NetworkManager on a bus of the test's own.
#include "NetworkManagerWatch.h"

#include "DynamicStore.h"
#include "LoopWaits.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>

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

// An active connection and its UUID.
class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QString Uuid READ uuid)

  public:
    FakeActiveConnection(QString uuid, int *questions) : uuid_(std::move(uuid)), questions_(questions) {}
    QString uuid() {
        ++*questions_;
        return uuid_;
    }

  private:
    QString uuid_;
    int *questions_;
};

// The test's world: its kernel tables show a network, its system bus is the
// test's own.
class BusEnvironment : public TestEnvironment {
  public:
    explicit BusEnvironment(const QString &address) : address_(address) {
        setNetwork(FakeNetwork{});
    }
    QDBusConnection systemBus() override {
        return QDBusConnection::connectToBus(address_, "flowtally-nm-test");
    }

  private:
    QString address_;
};

std::optional<QString> service() {
    const std::optional<QVariantMap> state = DynamicStore::copyValue(kGlobalIPv4StateKey);
    if (!state || !state->contains(kSCDynamicStorePropNetPrimaryService))
        return std::nullopt;
    return state->value(kSCDynamicStorePropNetPrimaryService).toString();
}

// Named by NetworkManager's connection as it changes, without a question on
// the bus per read; by the router where NetworkManager has no connection or
// is gone; by nothing while its first answer is on the way.
TEST(NetworkManagerWatch, FollowsThePrimaryConnectionFromItsSignals) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    FakeNetworkManager manager;
    manager.primary = kActive + "1";
    const QMap<QString, QString> uuids{{kActive + "1", "3b1f0c52-0000-4000-8000-0000000000a1"},
                                       {kActive + "2", "3b1f0c52-0000-4000-8000-0000000000a2"}};
    FakeActiveConnection first(uuids[kActive + "1"], &manager.questions),
        second(uuids[kActive + "2"], &manager.questions);
    QDBusConnection managerBus = QDBusConnection::connectToBus(address, "nm-fake");
    ASSERT_TRUE(
        managerBus.registerObject(kPath, &manager, QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(managerBus.registerObject(kActive + "1", &first,
                                          QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(managerBus.registerObject(kActive + "2", &second,
                                          QDBusConnection::ExportAllProperties));
    ASSERT_TRUE(managerBus.registerService(kService));

    BusEnvironment environment(address);
    const std::optional<QString> byRouter =
        DynamicStore::serviceIdentifier(FakeNetwork{}.interface, *FakeNetwork{}.routerHardware);
    NetworkManagerWatch watch;
    EXPECT_EQ(service(), std::nullopt) << "named before NetworkManager answered";
    ASSERT_TRUE(runLoopUntil([&] { return service() == uuids[kActive + "1"]; }));
    const int asked = manager.questions;
    for (int read = 0; read < 100; ++read)
        EXPECT_EQ(service(), uuids[kActive + "1"]);
    EXPECT_EQ(manager.questions, asked) << "the bus asked on a read";

    const auto primaryBecomes = [&](const QString &path) {
        manager.primary = path;
        managerBus.send(QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties",
                                                   "PropertiesChanged")
                        << kService
                        << QVariantMap{{"PrimaryConnection",
                                        QVariant::fromValue(QDBusObjectPath(path))}}
                        << QStringList());
    };
    primaryBecomes(kActive + "2");
    EXPECT_TRUE(runLoopUntil([&] { return service() == uuids[kActive + "2"]; }));
    primaryBecomes("/");
    EXPECT_TRUE(runLoopUntil([&] { return service() == byRouter; }));
    primaryBecomes(kActive + "1");
    EXPECT_TRUE(runLoopUntil([&] { return service() == uuids[kActive + "1"]; }));
    ASSERT_TRUE(managerBus.unregisterService(kService));
    EXPECT_TRUE(runLoopUntil([&] { return service() == byRouter; })) << "NetworkManager went";
}

} // namespace

} // namespace flowtally

#include "NetworkManagerWatchTest.moc"
