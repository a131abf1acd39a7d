#include "DynamicStore.h"

#include "KernelTables.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUuid>

#include <mutex>

namespace flowtally {

namespace {

const QString kNetworkManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kBusTimeoutMs = 500;

// Flowtally's namespace for name-based service identifiers.
const QUuid kServiceNamespace(QStringLiteral("{6f1d2a0e-8c43-4b7e-9a55-0d3e1c7b9f21}"));

std::mutex settingsMutex;
DynamicStore::Provider installedProvider;
std::string routeTablePath = kKernelRouteTable;
std::string neighbourTablePath = kKernelNeighbourTable;

const QString kTestBusConnection = QStringLiteral("flowtally-dynamic-store");

std::mutex busMutex;
QString busAddress; // empty: the system bus
bool busTried = false;
std::optional<QDBusConnection> connectedBus;

// The bus, connected on first use only: without one (no D-Bus daemon) every
// later read skips NetworkManager at no cost.
std::optional<QDBusConnection> systemBus() {
    std::lock_guard lock(busMutex);
    if (!busTried) {
        busTried = true;
        const QDBusConnection bus =
            busAddress.isEmpty() ? QDBusConnection::systemBus()
                                 : QDBusConnection::connectToBus(busAddress, kTestBusConnection);
        if (bus.isConnected())
            connectedBus = bus;
    }
    return connectedBus;
}

std::optional<QVariant> busProperty(const QDBusConnection &bus, const QString &path,
                                    const QString &interface, const QString &name) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kNetworkManager, path, kProperties, QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// The UUID of NetworkManager's primary connection, when it runs and has one.
std::optional<QString> networkManagerPrimaryConnection() {
    const auto bus = systemBus();
    if (!bus || !bus->interface()->isServiceRegistered(kNetworkManager))
        return std::nullopt;
    const auto active = busProperty(*bus, QStringLiteral("/org/freedesktop/NetworkManager"),
                                    kNetworkManager, QStringLiteral("PrimaryConnection"));
    if (!active)
        return std::nullopt;
    const QString path = active->value<QDBusObjectPath>().path();
    if (path.isEmpty() || path == QLatin1String("/"))
        return std::nullopt;
    const auto uuid = busProperty(
        *bus, path, kNetworkManager + QStringLiteral(".Connection.Active"), QStringLiteral("Uuid"));
    if (!uuid || uuid->toString().isEmpty())
        return std::nullopt;
    return uuid->toString();
}

// Names the network by the interface and the router's hardware address, so
// that a different router behind the same interface counts as another one.
QString nameBasedServiceIdentifier(const DefaultRoute &route, const std::string &neighbourTable) {
    std::string router = route.router.value_or(std::string());
    if (route.router) {
        if (const auto neighbour = resolvedNeighbour(*route.router, neighbourTable))
            router = neighbour->hardwareAddress;
    }
    const QString name = QString::fromStdString(route.interface) + QLatin1Char('\n') +
                         QString::fromStdString(router);
    return QUuid::createUuidV5(kServiceNamespace, name).toString(QUuid::WithoutBraces);
}

std::optional<QVariantMap> globalIPv4State(const std::string &routeTable,
                                           const std::string &neighbourTable) {
    const auto route = defaultRoute(routeTable);
    if (!route)
        return std::nullopt;
    QVariantMap state;
    state.insert(kSCDynamicStorePropNetPrimaryInterface, QString::fromStdString(route->interface));
    if (route->router)
        state.insert(kSCPropNetIPv4Router, QString::fromStdString(*route->router));
    const auto connection = networkManagerPrimaryConnection();
    state.insert(kSCDynamicStorePropNetPrimaryService,
                 connection ? *connection : nameBasedServiceIdentifier(*route, neighbourTable));
    return state;
}

} // namespace

std::optional<QVariantMap> DynamicStore::copyValue(const QString &key) {
    Provider provider;
    std::string routeTable, neighbourTable;
    {
        std::lock_guard lock(settingsMutex);
        provider = installedProvider;
        routeTable = routeTablePath;
        neighbourTable = neighbourTablePath;
    }
    if (provider)
        return provider(key);
    if (key != kGlobalIPv4StateKey)
        return std::nullopt;
    return globalIPv4State(routeTable, neighbourTable);
}

void DynamicStore::setProvider(Provider provider) {
    std::lock_guard lock(settingsMutex);
    installedProvider = std::move(provider);
}

void DynamicStore::setKernelTables(const QString &routeTable, const QString &neighbourTable) {
    std::lock_guard lock(settingsMutex);
    routeTablePath = routeTable.isEmpty() ? kKernelRouteTable : routeTable.toStdString();
    neighbourTablePath =
        neighbourTable.isEmpty() ? kKernelNeighbourTable : neighbourTable.toStdString();
}

void DynamicStore::setSystemBusAddress(const QString &address) {
    std::lock_guard lock(busMutex);
    connectedBus.reset();
    QDBusConnection::disconnectFromBus(kTestBusConnection);
    busAddress = address;
    busTried = false;
}

} // namespace flowtally
