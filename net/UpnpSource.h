#pragma once

#include "ProbeRhythm.h"
#include "TrafficSource.h"
#include "UpnpDevice.h"

#include <QString>

#include <mutex>
#include <optional>

namespace flowtally {

// The UPnP source: the Internet side's byte counters of a router that
// answers UPnP IGD (WANCommonInterfaceConfig), the whole household's
// traffic. The router is found by SSDP once per network (or asked at the
// address the person typed), again after failures in the probe's rhythm,
// and read once a tick. Faults of real routers never become bytes: counters
// stuck at 4294967295 or 2147483647, or staying 0, while this computer's
// interface moves, and a value over 2^32 from counters that wrapped at 32
// bits before, each give a status text and word to meter this computer
// meanwhile. Asks the network: never on the main thread. Safe on any
// thread, one reading at a time.
class UpnpSource : public TrafficSource {
  public:
    explicit UpnpSource(StatusSink status) : status_(std::move(status)) {}

    SourceOutcome read() override;
    // The router found, its name for the window ("FRITZ!Box 7590"); empty
    // while none is.
    QString routerName() const;
    // Forgets the router found: the next reading looks for one at once.
    void reset();

  private:
    struct Found {
        QString conditions; // the network and the typed address it was found for
        UpnpDevice device;
    };
    // The counters of the last reading and this computer's interface's bytes
    // then, to tell a stuck counter from an idle link.
    struct Last {
        quint64 sent = 0, received = 0;
        quint64 localBytes = 0;
        double uptime = -1;
    };
    std::optional<UpnpDevice> deviceFor(const QString &conditions);
    std::optional<QString> faultOf(const UpnpReading &reading, quint64 localBytes);

    StatusSink status_;
    mutable std::mutex mutex_;
    ProbeRhythm rhythm_;
    std::optional<Found> found_;
    std::optional<Last> last_;
    // The counters wrapped at 2^32 once: they are 32 bits wide.
    bool wrappedAt32_ = false;
};

} // namespace flowtally
