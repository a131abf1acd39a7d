// Whether the connection is metered, and marking it so, against a stand-in
// for NetworkManager on a bus of the test's own.
#include "MeteredConnection.h"

#include "LoopWaits.h"
#include "PrivateBus.h"
#include "TestEnvironment.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

const QString kService = "org.freedesktop.NetworkManager";
const QString kPath = "/org/freedesktop/NetworkManager";
const QString kActive = "/org/freedesktop/NetworkManager/ActiveConnection/3";
const QString kSettings = "/org/freedesktop/NetworkManager/Settings/7";

using Settings = QMap<QString, QVariantMap>;

// NetworkManager's object with the two properties Flowtally asks for.
class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint Metered READ metered)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)

  public:
    uint metered() const { return value; }
    QDBusObjectPath primaryConnection() const { return QDBusObjectPath(primary); }
    uint value = 0;
    QString primary = kActive;
};

class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QDBusObjectPath Connection READ connection)

  public:
    QDBusObjectPath connection() const { return QDBusObjectPath(kSettings); }
};

// A connection's stored settings; Update takes only a{sa{sv}}, as
// NetworkManager does, and replaces them whole.
class FakeSettingsConnection : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Settings.Connection")

  public slots:
    QMap<QString, QVariantMap> GetSettings() { return settings; }
    void Update(const QMap<QString, QVariantMap> &replacement) {
        if (!refusal.isEmpty()) {
            sendErrorReply(refusal, "Not authorized to modify this connection");
            return;
        }
        settings = replacement;
        ++updates;
    }

  public:
    Settings settings;
    QString refusal;
    int updates = 0;
};

struct Scene {
    Scene() {
        qDBusRegisterMetaType<Settings>();
        qDBusRegisterMetaType<QList<QVariantMap>>();
        managerBus = bus.connection("NetworkManager");
        registered =
            managerBus.registerObject(kPath, &manager, QDBusConnection::ExportAllProperties) &&
            managerBus.registerObject(kActive, &active, QDBusConnection::ExportAllProperties) &&
            managerBus.registerObject(kSettings, &settings, QDBusConnection::ExportAllSlots);
        environment.setSystemBus(bus.connection("flowtally"));
    }
    void meteredBecomes(uint value) {
        manager.value = value;
        managerBus.send(QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties",
                                                   "PropertiesChanged")
                        << kService << QVariantMap{{"Metered", value}} << QStringList());
    }
    // The outcome of a mark, once it came.
    std::optional<Status> mark(MeteredConnection &connection) {
        std::optional<Status> outcome;
        connection.markMetered([&](const Status &status) { outcome = status; });
        runLoopUntil([&] { return outcome.has_value(); });
        return outcome;
    }

    PrivateBus bus;
    QDBusConnection managerBus{QString()};
    FakeNetworkManager manager;
    FakeActiveConnection active;
    FakeSettingsConnection settings;
    bool registered = false;
    TestEnvironment environment;
};

// Yes and guess-yes are metered, every other value is not, and nothing is
// known while NetworkManager is gone; each change comes from its signals.
TEST(MeteredConnection, FollowsNetworkManagersMeteredValue) {
    Scene scene;
    ASSERT_TRUE(scene.bus.isRunning());
    ASSERT_TRUE(scene.registered);
    scene.manager.value = 3; // guess yes
    ASSERT_TRUE(scene.managerBus.registerService(kService));
    MeteredConnection connection;
    EXPECT_TRUE(runLoopUntil([&] { return connection.isMetered() == true; }));

    const struct {
        uint value;
        bool metered;
    } steps[] = {{2, false}, {1, true}, {4, false}, {3, true}, {0, false}};
    for (const auto &step : steps) {
        scene.meteredBecomes(step.value);
        EXPECT_TRUE(runLoopUntil([&] { return connection.isMetered() == step.metered; }))
            << "Metered " << step.value;
    }
    scene.meteredBecomes(1);
    ASSERT_TRUE(runLoopUntil([&] { return connection.isMetered() == true; }));
    ASSERT_TRUE(scene.managerBus.unregisterService(kService));
    EXPECT_TRUE(runLoopUntil([&] { return !connection.isMetered().has_value(); }))
        << "a metered connection kept after NetworkManager went";
    scene.manager.value = 2;
    ASSERT_TRUE(scene.managerBus.registerService(kService));
    EXPECT_TRUE(runLoopUntil([&] { return connection.isMetered() == false; }))
        << "not asked again when NetworkManager came back";
}

// Marking sets connection.metered to yes (an int32, as NetworkManager takes
// it) and hands back every other setting as it was, nested values included;
// a refusal or no primary connection is told as a failure, nothing changed.
TEST(MeteredConnection, MarksThePrimaryConnectionMeteredKeepingItsSettings) {
    Scene scene;
    ASSERT_TRUE(scene.bus.isRunning());
    ASSERT_TRUE(scene.registered);
    const QList<uint> dns{0x0101a8c0, 0x0808080};
    const QList<QVariantMap> addresses{{{"address", "192.168.8.20"}, {"prefix", 24u}}};
    scene.settings.settings = {
        {"connection",
         {{"id", "Phone hotspot"}, {"type", "802-11-wireless"}, {"metered", qint32(2)}}},
        {"ipv4",
         {{"method", "manual"},
          {"dns", QVariant::fromValue(dns)},
          {"address-data", QVariant::fromValue(addresses)}}}};
    ASSERT_TRUE(scene.managerBus.registerService(kService));
    MeteredConnection connection;

    scene.settings.refusal = "org.freedesktop.NetworkManager.PermissionDenied";
    std::optional<Status> outcome = scene.mark(connection);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->code(), Status::Code::Refused) << outcome->message().toStdString();
    EXPECT_TRUE(outcome->message().contains("Not authorized"));

    scene.settings.refusal.clear();
    outcome = scene.mark(connection);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->ok()) << outcome->message().toStdString();
    ASSERT_EQ(scene.settings.updates, 1);
    const Settings &stored = scene.settings.settings;
    const QVariant metered = stored["connection"]["metered"];
    EXPECT_EQ(metered.typeId(), QMetaType::Int);
    EXPECT_EQ(metered.toInt(), 1);
    EXPECT_EQ(stored["connection"]["id"], "Phone hotspot");
    EXPECT_EQ(stored["ipv4"]["method"], "manual");
    EXPECT_EQ(qdbus_cast<QList<uint>>(stored["ipv4"]["dns"]), dns);
    EXPECT_EQ(qdbus_cast<QList<QVariantMap>>(stored["ipv4"]["address-data"]), addresses);

    scene.manager.primary = "/";
    outcome = scene.mark(connection);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->code(), Status::Code::NotFound);
    EXPECT_EQ(scene.settings.updates, 1);
}

} // namespace

} // namespace flowtally

#include "MeteredConnectionTest.moc"
