#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace flowtally {

// The network configuration store: Flowtally reads one record from it, the
// global IPv4 state under kGlobalIPv4StateKey.
inline const QString kGlobalIPv4StateKey = QStringLiteral("State:/Network/Global/IPv4");
// The entries of that record, each a string and each possibly absent.
inline const QString kSCDynamicStorePropNetPrimaryInterface = QStringLiteral("PrimaryInterface");
inline const QString kSCPropNetIPv4Router = QStringLiteral("Router");
inline const QString kSCDynamicStorePropNetPrimaryService = QStringLiteral("PrimaryService");

// On Linux the record is made up on each read: the primary interface and
// router from the kernel's IPv4 default route of lowest metric; the primary
// service from NetworkManager's primary connection where NetworkManager runs,
// else a name-based UUID of the interface and the router's hardware address
// (the router's address while its hardware address is unknown), which stays
// the same while the same network stays connected.
//
// Thread-safe: every function may be called from any thread.
class DynamicStore {
  public:
    using Provider = std::function<std::optional<QVariantMap>(const QString &key)>;

    // The record under the key; nothing when the key is unknown or there is
    // no default route (no network).
    static std::optional<QVariantMap> copyValue(const QString &key);

    // Tests install a provider that answers every read instead; an empty
    // function restores the system's own answers.
    static void setProvider(Provider provider);

    // Tests point the readers at other copies of the kernel's routing and
    // neighbour tables; empty paths restore the kernel's own.
    static void setKernelTables(const QString &routeTable, const QString &neighbourTable);

    // Tests ask a NetworkManager on another bus; an empty address restores
    // the system bus.
    static void setSystemBusAddress(const QString &address);
};

// Whether an interface is a wired or wireless Ethernet-style one, by its name:
// predictable names ("enp3s0", "wlp2s0"), the classic "eth0", and "wlan0".
// Only behind such an interface is the router asked for the connection's
// counters.
inline bool isWiredOrWirelessInterface(const QString &name) {
    return name.startsWith(QLatin1String("en")) || name.startsWith(QLatin1String("eth")) ||
           name.startsWith(QLatin1String("wl"));
}

} // namespace flowtally
