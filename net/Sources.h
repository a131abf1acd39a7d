#pragma once

#include "Discovery.h"
#include "LocalSource.h"
#include "RouterSource.h"

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

    // The tick's sample: the router's when the router decision says so,
    // else (and while the router's chosen interface is missing) this
    // computer's. Runs tools: never on the main thread.
    std::optional<TrafficSample> tickSample();
    // Everything as at the start of the process: the next tick decides
    // anew, probes at once, tells a fault that lasts once more.
    void reset();

  private:
    StatusSink status_;
    Discovery discovery_;
    RouterSource router_;
    LocalSource local_;
};

} // namespace flowtally
