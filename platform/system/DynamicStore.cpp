#include "platform/system/DynamicStore.h"

#include "platform/system/Environment.h"
#include "platform/system/KernelTables.h"
#include "platform/system/NetworkManagerWatch.h"

#include <QFile>
#include <QUuid>

#include <map>
#include <mutex>

namespace flowtally {

namespace {

// Flowtally's namespace for name-based service identifiers.
constexpr QUuid kServiceNamespace(0x6f1d2a0e, 0x8c43, 0x4b7e, 0x9a, 0x55, 0x0d, 0x3e, 0x1c, 0x7b,
                                  0x9f, 0x21);

// Guards what the store remembers between readings: the routers seen, and
// the last reading.
std::mutex memoryMutex;
// The hardware address last seen for each router behind each interface.
std::map<std::pair<std::string, std::string>, std::string> knownRouters;

// The router's hardware address: the neighbour table's while it knows it,
// else the one last seen, so that the network's name does not change while
// the kernel asks for the router again (an entry being resolved, failed or
// expired); none before it was ever seen.
// The caller holds memoryMutex.
std::optional<std::string> routerHardware(const DefaultRoute &route,
                                          std::string_view neighbourTable) {
    const std::pair<std::string, std::string> router{route.interface, *route.router};
    if (const auto neighbour =
            resolvedNeighbourInTable(*route.router, neighbourTable, route.interface))
        return knownRouters[router] = neighbour->hardwareAddress;
    const auto known = knownRouters.find(router);
    return known == knownRouters.end() ? std::nullopt : std::optional(known->second);
}

// Names the network by the interface and the router's hardware address;
// none while the router was never seen. A default route without a router
// (a point-to-point link) is named by its interface.
std::optional<QString> nameBasedServiceIdentifier(const DefaultRoute &route,
                                                  std::string_view neighbourTable) {
    std::string router;
    if (route.router) {
        const std::optional<std::string> hardware = routerHardware(route, neighbourTable);
        if (!hardware)
            return std::nullopt;
        router = *hardware;
    }
    return DynamicStore::serviceIdentifier(QString::fromStdString(route.interface),
                                           QString::fromStdString(router));
}

// The record from the texts of the kernel's tables and NetworkManager's
// answer. The caller holds memoryMutex.
std::optional<QVariantMap> globalIPv4State(std::string_view routeTable,
                                           std::string_view neighbourTable,
                                           const NetworkManagerWatch::Answer &networkManager) {
    const auto route = defaultRouteInTable(routeTable);
    if (!route)
        return std::nullopt;
    QVariantMap state;
    state.insert(kSCDynamicStorePropNetPrimaryInterface, QString::fromStdString(route->interface));
    if (route->router) {
        state.insert(kSCPropNetIPv4Router, QString::fromStdString(*route->router));
        if (const std::optional<std::string> hardware = routerHardware(*route, neighbourTable))
            state.insert(kRouterHardwareAddress, QString::fromStdString(*hardware));
    }
    // NetworkManager's name for the network where it has one; none while it
    // is still being asked, so that a network is not named twice at start.
    std::optional<QString> service = networkManager.uuid;
    if (!service && networkManager.state != NetworkManagerWatch::State::Asking)
        service = nameBasedServiceIdentifier(*route, neighbourTable);
    if (service)
        state.insert(kSCDynamicStorePropNetPrimaryService, *service);
    return state;
}

// What a reading was made from, and what it gave.
struct Reading {
    std::string routeTable, neighbourTable;
    NetworkManagerWatch::Answer networkManager;
    std::optional<QVariantMap> state;

    bool madeFrom(const Reading &other) const {
        return routeTable == other.routeTable && neighbourTable == other.neighbourTable &&
               networkManager.state == other.networkManager.state &&
               networkManager.uuid == other.networkManager.uuid;
    }
};
std::optional<Reading> lastReading;

// The tables are read at every question; the record is made anew only when
// what it is made from changed since the last question (most ticks it did
// not). The same inputs make the same record: the routers remembered change
// only with a neighbour table that differs.
std::optional<QVariantMap> readGlobalIPv4State() {
    Environment &environment = Environment::current();
    Reading reading{
        kernelTableText(QFile::encodeName(environment.routeTablePath()).toStdString()),
        kernelTableText(QFile::encodeName(environment.neighbourTablePath()).toStdString()),
        NetworkManagerWatch::current(), std::nullopt};
    std::lock_guard lock(memoryMutex);
    if (lastReading && lastReading->madeFrom(reading))
        return lastReading->state;
    reading.state =
        globalIPv4State(reading.routeTable, reading.neighbourTable, reading.networkManager);
    lastReading = std::move(reading);
    return lastReading->state;
}

// The innermost snapshot living on this thread, if any.
thread_local DynamicStore::Snapshot *threadSnapshot = nullptr;

} // namespace

QString DynamicStore::serviceIdentifier(const QString &interface, const QString &router) {
    const QString name = interface + QLatin1Char('\n') + router;
    return QUuid::createUuidV5(kServiceNamespace, name).toString(QUuid::WithoutBraces);
}

std::optional<QVariantMap> DynamicStore::copyValue(const QString &key) {
    if (key != kGlobalIPv4StateKey)
        return std::nullopt;
    if (threadSnapshot)
        return threadSnapshot->state_;
    return readGlobalIPv4State();
}

DynamicStore::Snapshot::Snapshot() : Snapshot(readGlobalIPv4State()) {}

DynamicStore::Snapshot::Snapshot(std::optional<QVariantMap> state)
    : state_(std::move(state)), outer_(threadSnapshot) {
    threadSnapshot = this;
}

DynamicStore::Snapshot::~Snapshot() {
    threadSnapshot = outer_;
}

} // namespace flowtally
