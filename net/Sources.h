#pragma once

#include "net/Discovery.h"
#include "net/InternetSource.h"
#include "net/LocalSource.h"
#include "record/NetworkRecord.h"
#include "net/RouterSource.h"
#include "net/UpnpSource.h"

#include <optional>

namespace flowtally {

// The traffic sources and the discovery that chooses between them at each
// tick, made once for the process (the router decision is the process's).
// A new source is a TrafficSource beside these, chosen in tickSample.
class Sources {
  public:
    // Routers are looked for over UPnP with `discoverUpnp` (as UpnpSource).
    explicit Sources(StatusSink status, UpnpSource::Discover discoverUpnp = {});

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
    // as the person chose among them. This computer's sample counts what
    // the record of the network metered asks (`counted`): all traffic on
    // the interface, or only the Internet's where flowtally-accountd tells
    // it. Runs tools and asks the network: never on the main thread.
    std::optional<TrafficSample> tickSample(CountedTraffic counted = CountedTraffic::All);
    // Everything as at the start of the process: the next tick decides
    // anew, probes at once, tells a fault that lasts once more.
    void reset();

  private:
    // The router's outcome over SNMP when the tick's decision says there is
    // a router to read; none otherwise.
    std::optional<SourceOutcome> snmpOutcome();

    StatusSink status_;
    Discovery discovery_;
    RouterSource router_;
    LocalSource local_;
    UpnpSource upnp_;
    InternetSource internet_;
};

} // namespace flowtally
