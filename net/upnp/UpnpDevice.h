#pragma once

#include "net/upnp/UpnpReplies.h"

#include <QString>
#include <QUrl>

namespace flowtally {

// A router's UPnP side as discovery found it: what every reading needs and
// what readings learn of the device. Discovery makes it once per network;
// the worker keeps it and hands it to every reading.
struct UpnpDevice {
    // The IPv4 address that answered the search: every request goes there.
    QString address;
    // This computer's address on the LAN that requests leave from; empty:
    // the kernel chooses.
    QString localAddress;
    // Where the description was (the answer's LOCATION).
    QUrl location;
    // The root device's UDN ("uuid:..."), friendlyName and modelName.
    QString udn, name, model;
    // WANCommonInterfaceConfig: the counters and the link's speed.
    UpnpService counters;
    // The WANIPConnection or WANPPPConnection whose status answered (a
    // connected one first): the connection's up-time. Not valid where the
    // device has none that answers.
    UpnpService connection;
    // The link's speed as GetCommonLinkProperties gave it, in bits per
    // second; 0 where the device gave none.
    quint64 linkUpBitsPerSecond = 0, linkDownBitsPerSecond = 0;

    // Which call gives the counters, learnt by the first reading that got
    // them: AVM's GetAddonInfos (both counters in one request, 64 bits wide)
    // or the standard GetTotalBytesSent and GetTotalBytesReceived.
    enum class CounterCall { Unknown, AddonInfos, TotalBytes };
    CounterCall counterCall = CounterCall::Unknown;

    bool operator==(const UpnpDevice &) const = default;
};

// One reading of a device's counters.
struct UpnpReading {
    // The Internet side's bytes: sent is GetTotalBytesSent, the WAN
    // interface's transmitted bytes; received its received bytes. Each read
    // whole, as an unsigned 64-bit number.
    quint64 sent = 0, received = 0;
    // 64 when the router gave AVM's 64-bit counters or a value above
    // 2^32 - 1; else 32.
    int bits = 32;
    // The connection's up-time in seconds (GetStatusInfo's NewUptime); -1
    // when it was not asked or the device has no connection service.
    double uptime = -1;
    // The device's, as in UpnpDevice.
    QString udn, name, model;
    quint64 linkUpBitsPerSecond = 0, linkDownBitsPerSecond = 0;
    // The HTTP requests the reading made.
    int requests = 0;
    bool operator==(const UpnpReading &) const = default;
};

} // namespace flowtally
