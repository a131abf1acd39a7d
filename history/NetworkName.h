#pragma once

#include <QString>

namespace flowtally {

// What is known of a network for naming it: NetworkManager's name of its
// connection, the router's own name (SNMP's sysName, UPnP's friendly name)
// and address, and the interface it is reached through. Any may be empty.
struct NetworkNaming {
    QString connection;
    QString routerName;
    QString routerAddress;
    QString interface;
};

// The name a person knows a network by, as the History window, the report
// and the notifications show it: the connection's name ("Home Wi-Fi"), else
// the router's name and address ("gateway (192.168.1.1)"), else the
// interface ("eth0"); empty when nothing is known. Names from outside are
// shown as plain text of one line: control characters become spaces, runs of
// spaces one, and a name longer than 64 characters is cut with "…". A router
// that did not tell its name ("UNAVAILABLE") names nothing. The name is for
// display only: networks stay keyed by their service identifier.
QString networkName(const NetworkNaming &naming);

} // namespace flowtally
