#pragma once

#include <QString>

namespace flowtally {

// The status texts that the traffic sources show on the status line.
namespace StatusText {
// A tool query went well.
inline const QString NoError = QStringLiteral("No Error");
// The netstat listing could not be read; the log says more.
inline const QString NetstatError = QStringLiteral("Netstat Error: see Console Log.");
// There is no default route, so there is nothing to read.
inline const QString NoNetwork = QStringLiteral("No network connection.");
// snmpget printed nothing (the agent did not answer).
inline const QString NoData = QStringLiteral("(NO DATA)");
// No query is made without a community or an address.
inline const QString NoCommunity = QStringLiteral("SNMP Error: no community string is set.");
inline const QString NoRouter = QStringLiteral("SNMP Error: no router address.");
// The community reaches the tools only through a file that no other user
// can reach or redirect; where no private folder can hold one, no query is made.
inline const QString NoPrivateFolder =
    QStringLiteral("SNMP Error: no private folder for the community file; see the log.");
// Only a router in the local ranges, or one whose address was typed into
// the address field, is asked.
inline const QString NotLocal =
    QStringLiteral("SNMP Error: the router's address is not local; type it in to ask it.");
// A router's UPnP counters cannot be trusted now; the computer's own
// interface is metered meanwhile.
inline const QString UpnpStuck =
    QStringLiteral("The router's UPnP counters are stuck; metering this computer.");
inline const QString UpnpZero =
    QStringLiteral("The router's UPnP counters stay at zero; metering this computer.");
inline const QString UpnpJump = QStringLiteral(
    "The router's UPnP counters jumped past what they can count; metering this computer.");
// Only the Internet's traffic is to be counted, but flowtally-accountd,
// which tells it apart, does not answer: all traffic on the interface is
// counted meanwhile.
inline const QString AllTrafficCounted =
    QStringLiteral("flowtally-accountd does not answer; counting all traffic on the interface.");
// The interface chosen in the preferences is not on the router any more;
// the computer's own interface is metered meanwhile.
inline QString interfaceGone(const QString &interface) {
    return QStringLiteral("The router has no interface \"%1\" any more; metering this "
                          "computer's interface.")
        .arg(interface);
}
// The router answers, yet not with traffic counters for the interface it
// is read at ("vlan1", or interface 6 where it has no "vlan1"); the
// computer's own interface is metered meanwhile.
inline QString noCounters(const QString &interface) {
    return QStringLiteral("The router has no traffic counters for %1; metering this computer's "
                          "interface.")
        .arg(interface);
}
} // namespace StatusText

} // namespace flowtally
