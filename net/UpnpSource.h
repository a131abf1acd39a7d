#pragma once

#include "net/ProbeRhythm.h"
#include "platform/system/Status.h"
#include "net/TrafficSource.h"
#include "net/upnp/UpnpClient.h"

#include <QList>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

namespace flowtally {

// The UPnP source: the Internet side's byte counters of a router that
// answers UPnP IGD (WANCommonInterfaceConfig), the whole household's
// traffic. The router is found by SSDP once per network (or asked at the
// address the person typed) and read once a tick; a discovery that found
// none and a reading that failed count as failed probes, so that the next
// discovery comes in the probe's rhythm. Faults of real routers never
// become bytes: a counter stuck at 4294967295 or 2147483647, or both
// staying 0, while this computer's interface moves, and a value over 2^32
// from counters seen to wrap at 32 bits, each give word to meter this
// computer meanwhile with a status text that says why, for as long as the
// counters show it. Asks the network: never on the main thread. Safe on
// any thread, one reading at a time.
class UpnpSource : public TrafficSource {
  public:
    // How routers are looked for: discoverUpnpDevices, unless a test says.
    using Discover = std::function<Status(const UpnpSearchOptions &, QList<UpnpDevice> *)>;

    explicit UpnpSource(StatusSink status, Discover discover = {});

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
    // The counters of the last reading, this computer's interface's bytes
    // then (to tell a stuck counter from an idle link), and the fault the
    // reading showed.
    struct Last {
        quint64 sent = 0, received = 0;
        quint64 localBytes = 0;
        double uptime = -1;
        std::optional<QString> fault;
    };
    std::optional<UpnpDevice> deviceFor(const QString &conditions);
    // Counts a discovery or reading in the probe's rhythm; the log hears of
    // a change.
    void probed(bool answered, const QString &what);
    std::optional<QString> faultOf(const UpnpReading &reading, quint64 localBytes);

    StatusSink status_;
    Discover discover_;
    mutable std::mutex mutex_;
    ProbeRhythm rhythm_;
    std::optional<Found> found_;
    // Of the device found last (by its UDN), also while it is looked for
    // again.
    QString udn_;
    std::optional<Last> last_;
    // The device's counters wrapped at 2^32: they are 32 bits wide.
    bool wrappedAt32_ = false;
};

} // namespace flowtally
