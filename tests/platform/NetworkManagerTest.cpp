// Flowtally and NetworkManager, a stand-in for it on a bus of the test's
// own: the primary connection that names the network (NetworkManagerWatch),
// whether the connection is metered, and marking it so (MeteredConnection).
#include "platform/system/MeteredConnection.h"
#include "platform/system/NetworkManagerWatch.h"

#include "platform/system/DynamicStore.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestEnvironment.h"

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
const QString kHomePath = "/org/freedesktop/NetworkManager/ActiveConnection/1";
const QString kOfficePath = "/org/freedesktop/NetworkManager/ActiveConnection/2";
const QString kSettings = "/org/freedesktop/NetworkManager/Settings/7";
const QString kHomeUuid = "3b1f0c52-0000-4000-8000-0000000000a1";
const QString kOfficeUuid = "3b1f0c52-0000-4000-8000-0000000000a2";

using Settings = QMap<QString, QVariantMap>;

// NetworkManager's object with the properties Flowtally asks for; the bus
// answers the questions for the primary connection through the getter,
// which counts them.
class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint Metered READ metered)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)

  public:
    uint metered() const { return value; }
    QDBusObjectPath primaryConnection() {
        ++questions;
        return QDBusObjectPath(primary);
    }
    uint value = 0;
    QString primary = "/"; // the active connection's path, "/" for none
    int questions = 0;
};

// An active connection: its UUID (its questions counted too), its name, and
// its stored settings.
class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QString Uuid READ uuid)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QDBusObjectPath Connection READ connection)

  public:
    FakeActiveConnection(QString uuid, QString id, int *questions)
        : uuid_(std::move(uuid)), id_(std::move(id)), questions_(questions) {}
    QString uuid() {
        ++*questions_;
        return uuid_;
    }
    QString id() const { return id_; }
    QDBusObjectPath connection() const { return QDBusObjectPath(kSettings); }

  private:
    QString uuid_;
    QString id_;
    int *questions_;
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

// NetworkManager's objects on the bus, its name not yet taken; the kernel's
// tables show a network, and Flowtally's system bus is the test's own.
struct Scene {
    Scene() {
        qDBusRegisterMetaType<Settings>();
        qDBusRegisterMetaType<QList<QVariantMap>>();
        managerBus = bus.connection("NetworkManager");
        const auto properties = QDBusConnection::ExportAllProperties;
        registered =
            managerBus.registerObject(kPath, &manager, properties) &&
            managerBus.registerObject(kHomePath, &home, properties) &&
            managerBus.registerObject(kOfficePath, &office, properties) &&
            managerBus.registerObject(kSettings, &settings, QDBusConnection::ExportAllSlots);
        environment.setNetwork(FakeNetwork{});
        environment.setSystemBus(bus.connection("flowtally"));
    }
    // A property of NetworkManager's object changes, and it says so.
    void announce(const QString &property, const QVariant &value) {
        managerBus.send(QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties",
                                                   "PropertiesChanged")
                        << kService << QVariantMap{{property, value}} << QStringList());
    }
    void meteredBecomes(uint value) {
        manager.value = value;
        announce("Metered", value);
    }
    void primaryBecomes(const QString &path) {
        manager.primary = path;
        announce("PrimaryConnection", QVariant::fromValue(QDBusObjectPath(path)));
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
    FakeActiveConnection home{kHomeUuid, "Home Wi-Fi", &manager.questions};
    FakeActiveConnection office{kOfficeUuid, "Office", &manager.questions};
    FakeSettingsConnection settings;
    bool registered = false;
    TestEnvironment environment;
};

std::optional<QString> service() {
    const std::optional<QVariantMap> state = DynamicStore::copyValue(kGlobalIPv4StateKey);
    if (!state || !state->contains(kSCDynamicStorePropNetPrimaryService))
        return std::nullopt;
    return state->value(kSCDynamicStorePropNetPrimaryService).toString();
}

// Named by NetworkManager's connection as it changes (its UUID the key, its
// name beside it), without a question on the bus per read; by the router
// where NetworkManager has no connection or is gone; by nothing while its
// first answer is on the way.
TEST(NetworkManagerWatch, FollowsThePrimaryConnectionFromItsSignals) {
    Scene scene;
    ASSERT_TRUE(scene.bus.isRunning());
    ASSERT_TRUE(scene.registered);
    scene.manager.primary = kHomePath;
    ASSERT_TRUE(scene.managerBus.registerService(kService));
    const std::optional<QString> byRouter =
        DynamicStore::serviceIdentifier(FakeNetwork{}.interface, *FakeNetwork{}.routerHardware);
    NetworkManagerWatch watch;
    EXPECT_EQ(service(), std::nullopt) << "named before NetworkManager answered";
    ASSERT_TRUE(runLoopUntil([&] { return service() == kHomeUuid; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, "Home Wi-Fi");
    const int asked = scene.manager.questions;
    for (int read = 0; read < 100; ++read)
        EXPECT_EQ(service(), kHomeUuid);
    EXPECT_EQ(scene.manager.questions, asked) << "the bus asked on a read";

    scene.primaryBecomes(kOfficePath);
    EXPECT_TRUE(runLoopUntil([&] { return service() == kOfficeUuid; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, "Office");
    scene.primaryBecomes("/");
    EXPECT_TRUE(runLoopUntil([&] { return service() == byRouter; }));
    EXPECT_EQ(NetworkManagerWatch::current().name, std::nullopt);
    scene.primaryBecomes(kHomePath);
    EXPECT_TRUE(runLoopUntil([&] { return service() == kHomeUuid; }));
    ASSERT_TRUE(scene.managerBus.unregisterService(kService));
    EXPECT_TRUE(runLoopUntil([&] { return service() == byRouter; })) << "NetworkManager went";
}

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
    scene.manager.primary = kHomePath;
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

#include "NetworkManagerTest.moc"
