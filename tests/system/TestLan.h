#pragma once

#include "NetworkNamespace.h"

#include <QString>

#include <optional>

// A LAN host and its router, each in a namespace of its own, joined by a
// veth pair:
//   lan:  eth0  10.77.N.2/24, default route via 10.77.N.1
//   peer: vlan1 10.77.N.1/24
// N differs between the LANs of one run. Both sides hold permanent
// neighbour entries for each other, so that no address resolution ever
// moves the counters; with IPv6 off the link stays silent until something
// sends. Nothing can leave the two namespaces.
class TestLan {
  public:
    inline static const QString kLanInterface = QStringLiteral("eth0");
    inline static const QString kPeerInterface = QStringLiteral("vlan1");

    TestLan();
    TestLan(const TestLan &) = delete;
    TestLan &operator=(const TestLan &) = delete;

    // Why the LAN could not be built; empty when it is up.
    const QString &failure() const { return failure_; }

    const NetworkNamespace &lan() const { return lan_; }
    const NetworkNamespace &peer() const { return peer_; }
    const QString &hostAddress() const { return hostAddress_; }
    const QString &routerAddress() const { return routerAddress_; }

    // The LAN host's counters of eth0.
    std::optional<InterfaceCounters> counters() const { return lan_.counters(kLanInterface); }

    bool removeDefaultRoute(QString *error) const;
    bool addDefaultRoute(QString *error) const;
    // Another router on the same address: the peer's interface takes the
    // hardware address, and the LAN host's permanent neighbour entry
    // follows it.
    bool replaceRouter(const QString &hardwareAddress, QString *error) const;

  private:
    bool build();

    NetworkNamespace lan_;
    NetworkNamespace peer_;
    QString hostAddress_;
    QString routerAddress_;
    QString hostHardwareAddress_;
    QString routerHardwareAddress_;
    QString failure_;
};
