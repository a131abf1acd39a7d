// Discovery: the primary interface, the active service, the router, and the
// per-tick decision whether samples come from the router.
#include "AppDelegate.h"

#include "DirectToolRun.h"
#include "DynamicStore.h"
#include "Environment.h"
#include "IsValidLocalIP.h"
#include "ProbeRhythm.h"
#include "SettingsKeys.h"
#include "StatusTexts.h"
#include "SystemLog.h"
#include "ToolPaths.h"
#include "ToolReplies.h"
#include "UserDefaults.h"

#include <atomic>
#include <mutex>

namespace flowtally {

namespace {

// The router decision of the current tick. Only the tick's worker reads and
// writes them, after the main thread cleared the flag before starting it.
std::atomic<bool> hasCheckedForRouterLately = false;
std::atomic<bool> routerDecision = false;

// When the router is probed, and what the last probe found: between
// probes, the tick's decision rests on it.
ProbeRhythm probeRhythm;
std::atomic<bool> routerAnswered = false;

// This computer's own address as arp last gave it, and what the answer
// depends on: the network the store showed, the host name and the tool.
// Shown in the address field while there is no router, it changes with the
// network; it stands for a minute at most, and until metering starts again.
struct OwnAddress {
    QString askedFor;
    QDateTime at;
    QString address;
};
constexpr qint64 kOwnAddressSeconds = 60;
std::mutex ownAddressMutex;
std::optional<OwnAddress> ownAddress;

std::optional<QString> ownAddressNow() {
    Environment &environment = Environment::current();
    const QVariantMap network = AppDelegate::primaryInterfacePlist().value_or(QVariantMap());
    QStringList askedFor{environment.hostName(), environment.toolPath(kArpTool)};
    for (auto entry = network.cbegin(); entry != network.cend(); ++entry)
        askedFor << entry.key() << entry.value().toString();
    const OwnAddress asking{askedFor.join(QChar(0)), environment.now(), {}};
    {
        std::lock_guard lock(ownAddressMutex);
        if (ownAddress && ownAddress->askedFor == asking.askedFor && ownAddress->at <= asking.at &&
            ownAddress->at.secsTo(asking.at) < kOwnAddressSeconds)
            return ownAddress->address;
    }
    const std::optional<QString> address = AppDelegate::primaryInterfaceIP();
    std::lock_guard lock(ownAddressMutex);
    if (address)
        ownAddress = OwnAddress{asking.askedFor, asking.at, *address};
    else
        ownAddress.reset();
    return address;
}

// The invalid-address line is written once per run.
std::atomic<bool> logged = false;

std::optional<QString> stateEntry(const QString &key) {
    const std::optional<QVariantMap> state = AppDelegate::primaryInterfacePlist();
    if (!state)
        return std::nullopt;
    const QVariant value = state->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

std::optional<QVariantMap> AppDelegate::primaryInterfacePlist() {
    return DynamicStore::copyValue(kGlobalIPv4StateKey);
}

std::optional<QString> AppDelegate::primaryInterface() {
    return stateEntry(kSCDynamicStorePropNetPrimaryInterface);
}

std::optional<QString> AppDelegate::primaryInterfaceRouterIP() {
    return stateEntry(kSCPropNetIPv4Router);
}

std::optional<QString> AppDelegate::primaryServiceUUID() {
    return stateEntry(kSCDynamicStorePropNetPrimaryService);
}

std::optional<QString> AppDelegate::primaryInterfaceIP() {
    Environment &environment = Environment::current();
    const std::optional<QString> reply =
        directToolRun(environment.toolPath(kArpTool), {environment.hostName()});
    return reply ? addressInArpReply(*reply) : std::nullopt;
}

std::optional<QString> AppDelegate::communityPassword() {
    return UserDefaults::standardUserDefaults().stringForKey(SettingsKey::communityPassword);
}

std::optional<QString> AppDelegate::routerIPAddress() {
    std::optional<QString> candidate =
        UserDefaults::standardUserDefaults().stringForKey(SettingsKey::AirportIP);
    if (!candidate)
        candidate = probablyHasRouter() ? primaryInterfaceRouterIP() : ownAddressNow();
    if (!candidate)
        return std::nullopt;
    if (!logged && !isValidLocalIP(*candidate)) {
        systemLog(QStringLiteral("%1 is not a valid local IP address!").arg(*candidate));
        logged = true;
    }
    return candidate;
}

bool AppDelegate::probablyHasRouter() {
    if (hasCheckedForRouterLately)
        return routerDecision;
    hasCheckedForRouterLately = true;

    const std::optional<QString> interface = primaryInterface();
    const std::optional<QString> router = primaryInterfaceRouterIP();
    // A router outside the local ranges is never probed: the probe carries
    // the community. Any other probe goes out whatever the other tests say,
    // in the probe's rhythm: a router that does not answer is asked less
    // and less often, and at once again when anything the answer depends
    // on changed.
    const bool local = router && isValidLocalIP(*router);
    if (local) {
        const QString conditions = QStringList{primaryServiceUUID().value_or(QString()), *router,
                                               UserDefaults::standardUserDefaults()
                                                   .stringForKey(SettingsKey::AirportIP)
                                                   .value_or(QString()),
                                               communityPassword().value_or(QString())}
                                       .join(QChar(0));
        const QDateTime now = Environment::current().now();
        if (probeRhythm.isDue(conditions, now)) {
            QString why;
            routerAnswered = routerAnswers(*router, &why);
            // The journal hears of a change, not of every probe.
            if (probeRhythm.probed(routerAnswered, now))
                systemLog(QStringLiteral("The router %1 %2")
                              .arg(*router, routerAnswered ? QStringLiteral("answers SNMP.")
                                            : why.isEmpty()
                                                ? QStringLiteral("does not answer SNMP.")
                                                : QStringLiteral("does not answer SNMP: ") + why));
        }
    }
    routerDecision = local && routerAnswered && interface && isWiredOrWirelessInterface(*interface);
    return routerDecision;
}

void AppDelegate::rearmRouterProbe() {
    probeRhythm.rearm();
    std::lock_guard lock(ownAddressMutex);
    ownAddress.reset();
}

std::optional<TrafficSample> AppDelegate::tickSample() {
    if (!probablyHasRouter())
        return primaryInterfaceStats();
    std::optional<QString> missingInterface;
    const std::optional<TrafficSample> sample = routerSample(&missingInterface);
    if (!missingInterface)
        return sample;
    const std::optional<TrafficSample> local = primaryInterfaceStats();
    // The status line says why these are the computer's figures.
    doSetInfoText(StatusText::interfaceGone(*missingInterface));
    return local;
}

void AppDelegate::clearRouterDecision() {
    hasCheckedForRouterLately = false;
}

bool AppDelegate::serviceChanged() const {
    const std::optional<QString> current = primaryServiceUUID();
    if (!current || !meter.record().service)
        return true;
    return *current != *meter.record().service;
}

} // namespace flowtally
