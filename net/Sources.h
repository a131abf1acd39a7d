#pragma once

#include "Discovery.h"
#include "LocalSource.h"
#include "RouterSource.h"
#include "UpnpSource.h"

#include <optional>

namespace flowtally {

// The traffic sources and the discovery that chooses between them at each
// tick, made once for the process (the router decision is the process's).
// A new source is a TrafficSource beside these, chosen in tickSample.
class Sources {
  public:
    explicit Sources(StatusSink status);

    Discovery &discovery() { return discovery_; }
    RouterSource &router() { return router_; }
    LocalSource &local() { return local_; }
    UpnpSource &upnp() { return upnp_; }

    // Where the person wants a router's counters read (the setting
    // "RouterCounters").
    enum class RouterCounters { Automatic, Snmp, Upnp, ThisComputer };
    static RouterCounters routerCounters();

    // The tick's sample: the router's over SNMP when the router decision
    // says so, else the router's over UPnP where one answers, else (and
    // while a router's counters are missing or faulty) this computer's;
    // as the person chose among them. Runs tools and asks the network:
    // never on the main thread.
    std::optional<TrafficSample> tickSample();
    // Everything as at the start of the process: the next tick decides
    // anew, probes at once, tells a fault that lasts once more.
    void reset();

  private:
    StatusSink status_;
    Discovery discovery_;
    RouterSource router_;
    LocalSource local_;
    UpnpSource upnp_;
};

} // namespace flowtally
