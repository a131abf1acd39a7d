#pragma once

#include "platform/system/Status.h"
#include "net/upnp/UpnpDevice.h"

#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>

namespace flowtally {

// Flowtally's UPnP IGD client: finding a router's UPnP side and reading its
// Internet counters. Each call blocks the calling thread (a plain
// std::thread will do: no event loop needs to run) for at most its bound,
// and is safe on any thread; calls with different devices may run at once.
// Nothing here logs or shows a status: a failure's message is a line for
// the log.
//
// The worker discovers once per network (and again after readings failed,
// in the probe's rhythm), keeps the device it chose, and reads it once a
// tick with readUpnpCounters, handing the same UpnpDevice back every time:
// the device learns which counter calls work.

struct UpnpSearchOptions {
    // This computer's IPv4 address on the LAN: the search and every request
    // leave from it. Empty: the kernel chooses.
    QString localAddress{};
    // An address the person typed: a unicast search of that address alone,
    // whose device is taken even outside the private ranges. Empty: a
    // multicast search of the LAN.
    QString typedAddress{};
    // The default router's address: its device comes first.
    QString preferredAddress{};
    // How long answers are collected (a unicast search ends sooner, once the
    // address answered every target).
    std::chrono::milliseconds listen{1500};
    // The whole discovery, descriptions included, and each request in it.
    std::chrono::milliseconds bound{6000};
    std::chrono::milliseconds requestBound{2000};
};

// Searches (SSDP M-SEARCH for both gateway devices and the counters'
// service), follows each answer's LOCATION where followableLocation allows,
// and describes each device with describeUpnpDevice; at most four. The
// devices that described themselves, one per UDN, the preferred address's
// first, then in the order they answered; an error when none did. Each
// answer or device refused adds a line to `refusals`.
Status discoverUpnpDevices(const UpnpSearchOptions &options, QList<UpnpDevice> *devices,
                           QStringList *refusals = nullptr);

// The device whose description is at `location` (an answer's LOCATION, or
// one kept from an earlier discovery, checked by the caller): the
// description fetched and read, the connection service chosen by asking
// each one's status, and the link's speed asked.
Status describeUpnpDevice(const QUrl &location, const QString &localAddress,
                          const QDeadlineTimer &deadline, UpnpDevice *device,
                          std::chrono::milliseconds requestBound = std::chrono::milliseconds(2000));

struct UpnpReadOptions {
    // Ask the connection's up-time (one request more).
    bool uptime = true;
    // Ask the link's speed anew (one request more), for the device and the
    // reading.
    bool linkSpeed = false;
    // The whole reading.
    std::chrono::milliseconds bound{2000};
};

// One reading of the counters: GetAddonInfos where the device has it (one
// request for both), else GetTotalBytesSent and GetTotalBytesReceived; then
// GetStatusInfo's up-time. The device learns which of the two counter calls
// works the first time one does (a device that refuses GetAddonInfos is
// asked the standard calls at once, and from then on only those). Any
// failed exchange, HTTP error, SOAP fault, missing or malformed number is a
// failed reading: no counter is ever made up.
Status readUpnpCounters(UpnpDevice &device, UpnpReading *reading,
                        const UpnpReadOptions &options = {});

} // namespace flowtally
