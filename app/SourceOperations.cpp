// The controller's operations of discovery and the traffic sources: each a
// call into the process's Sources (net/).
#include "app/AppDelegate.h"

#include "net/AddressResolution.h"
#include "net/NetworkState.h"

namespace flowtally {

Sources &AppDelegate::sources() {
    // Never destroyed: a worker may still finish a tick while the process ends.
    static Sources *const process = new Sources([](const QString &text) { doSetInfoText(text); });
    return *process;
}

std::optional<QVariantMap> AppDelegate::primaryInterfacePlist() {
    return flowtally::primaryInterfacePlist();
}

std::optional<QString> AppDelegate::primaryInterface() {
    return flowtally::primaryInterface();
}

std::optional<QString> AppDelegate::primaryInterfaceRouterIP() {
    return flowtally::primaryInterfaceRouterIP();
}

std::optional<QString> AppDelegate::primaryServiceUUID() {
    return flowtally::primaryServiceUUID();
}

std::optional<QString> AppDelegate::primaryInterfaceIP() {
    return flowtally::primaryInterfaceIP();
}

std::optional<QString> AppDelegate::communityPassword() {
    return flowtally::communityPassword();
}

std::optional<QString> AppDelegate::routerIPAddress() {
    return sources().discovery().routerIPAddress();
}

bool AppDelegate::probablyHasRouter() {
    return sources().discovery().probablyHasRouter();
}

void AppDelegate::clearRouterDecision() {
    sources().discovery().clearRouterDecision();
}

void AppDelegate::rearmRouterProbe() {
    sources().discovery().rearmRouterProbe();
}

std::optional<QString> AppDelegate::SNMPGet(const QString &oid,
                                            const std::optional<QString> &atIP) {
    return sources().router().SNMPGet(oid, atIP);
}

std::optional<QString> AppDelegate::SNMPGet(const QString &oid) {
    return sources().router().SNMPGet(oid);
}

bool AppDelegate::SNMPWorksWith(const std::optional<QString> &address) {
    return sources().router().SNMPWorksWith(address);
}

QString AppDelegate::SNMPConfiguredName() {
    return sources().router().SNMPConfiguredName();
}

std::optional<QString> AppDelegate::SNMPWalk(const QString &oid) {
    return sources().router().SNMPWalk(oid);
}

QString AppDelegate::routerName() {
    return SNMPConfiguredName();
}

double AppDelegate::SNMPUptime() {
    return sources().router().SNMPUptime();
}

quint32 AppDelegate::SNMPInterfaceIndex() {
    return sources().router().SNMPInterfaceIndex();
}

quint32 AppDelegate::SNMPIfIn() {
    return sources().router().SNMPIfIn();
}

quint32 AppDelegate::SNMPIfOut() {
    return sources().router().SNMPIfOut();
}

std::optional<TrafficSample> AppDelegate::routerStats() {
    return sources().router().routerStats();
}

QList<RouterInterface> AppDelegate::routerInterfaces(const QString &address) {
    return sources().router().routerInterfaces(address);
}

std::optional<TrafficSample> AppDelegate::tickSample(CountedTraffic counted) {
    return sources().tickSample(counted);
}

std::optional<TrafficSample> AppDelegate::primaryInterfaceStats() {
    return sources().local().primaryInterfaceStats();
}

std::optional<TrafficSample> AppDelegate::localStatsForPrimaryInterface(const QString &name) {
    return sources().local().localStatsForPrimaryInterface(name);
}

void AppDelegate::retellFaults() {
    sources().local().retellFaults();
}

std::optional<QVariantMap> AppDelegate::IPInfo(const std::optional<QString> &address) {
    return flowtally::IPInfo(address);
}

std::optional<QString>
AppDelegate::enetAddressFromIPAddress(const std::optional<QString> &address) {
    return flowtally::enetAddressFromIPAddress(address);
}

} // namespace flowtally
