#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// The network configuration store: Flowtally reads one record from it, the
// global IPv4 state under kGlobalIPv4StateKey.
inline const QString kGlobalIPv4StateKey = QStringLiteral("State:/Network/Global/IPv4");
// The entries of that record, each a string and each possibly absent.
inline const QString kSCDynamicStorePropNetPrimaryInterface = QStringLiteral("PrimaryInterface");
inline const QString kSCPropNetIPv4Router = QStringLiteral("Router");
inline const QString kSCDynamicStorePropNetPrimaryService = QStringLiteral("PrimaryService");
// The router's hardware address, once it was seen (Flowtally's own entry).
inline const QString kRouterHardwareAddress = QStringLiteral("RouterHardwareAddress");

// On Linux the record is made up on each read, from what the environment in
// force (Environment.h) shows of the world: the primary interface and router
// from the kernel's IPv4 default route of lowest metric; the primary service
// from NetworkManager's primary connection where NetworkManager runs on the
// system bus and a NetworkManagerWatch watches it, else a name-based UUID of the interface and the
// router's hardware address, which stays the same while the same network stays connected: once
// seen, a router's hardware address is remembered while the kernel asks for it again; before it was
// ever seen, the state names no service (nothing is metered until the router is known).
//
// Thread-safe: may be called from any thread.
class DynamicStore {
  public:
    // The record under the key; nothing when the key is unknown or there is
    // no default route (no network).
    static std::optional<QVariantMap> copyValue(const QString &key);

    // While one lives on a thread, the global IPv4 state read on that thread
    // is the one read when it was made: one reading of the kernel's tables
    // for a whole piece of work, and one view of the network throughout it.
    // Other threads read afresh. Snapshots on one thread nest.
    class Snapshot {
      public:
        // The store as it is now.
        Snapshot();
        // The store as another thread's snapshot saw it: one view of the
        // network for work that moves from thread to thread.
        explicit Snapshot(std::optional<QVariantMap> state);
        ~Snapshot();
        const std::optional<QVariantMap> &state() const { return state_; }
        Snapshot(const Snapshot &) = delete;
        Snapshot &operator=(const Snapshot &) = delete;

      private:
        friend class DynamicStore;
        std::optional<QVariantMap> state_;
        Snapshot *outer_;
    };

    // The name-based identifier of the network behind an interface whose
    // router is known by this text (its hardware address, or its address).
    // Names the network by both, so that a different router behind the same
    // interface counts as another network.
    static QString serviceIdentifier(const QString &interface, const QString &router);
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
