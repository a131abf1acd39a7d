#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>

namespace flowtally {

// An SSDP search: M-SEARCH requests for some targets, and the datagrams that
// come back. Blocking, on whichever thread calls it; it listens for the
// whole time given (answers come in for up to MX = 1 s) and never longer. A
// unicast search ends as soon as the address sent as many datagrams as
// there are targets.
struct SsdpSearch {
    QStringList targets;
    // This computer's address on the LAN: the socket is bound there and the
    // requests leave from its interface. Empty: the kernel chooses.
    QString localAddress;
    // A unicast search of this address alone (an address the person typed);
    // empty: the multicast group 239.255.255.250.
    QString unicastAddress;
    std::chrono::milliseconds listen{1500};
};

struct SsdpDatagram {
    QString from; // the sender's IPv4 address
    QByteArray bytes;
};

// The M-SEARCH request for one target.
QByteArray ssdpRequest(const QString &target, const QString &unicastAddress);

// Sends the requests (each twice, the second time a third into the time, as
// UDP may lose one) and collects at most 64 datagrams.
Status searchSsdp(const SsdpSearch &search, QList<SsdpDatagram> *datagrams);

} // namespace flowtally
