#pragma once

#include "net/LocalSource.h"

#include <mutex>

namespace flowtally {

// This computer's Internet traffic alone: the bytes that its primary
// interface carried to and from the Internet, as flowtally-accountd counts
// them (its machine totals of the interface, every program's), in a sample
// of the interface otherwise like the local source's. Its counters are of
// a source of their own (CounterSource::LocalInternet): they begin at 0
// whenever the service starts, which is their boot (BootID, the service's
// start identifier). Without the service the interface's own counters are
// read instead, with a status text and one line in the log that say so.
// Runs a tool and asks the service: never on the main thread. Safe on any
// thread.
class InternetSource : public TrafficSource {
  public:
    // `interface`: the local source whose sample this one's is made from.
    InternetSource(StatusSink status, LocalSource &interface)
        : status_(std::move(status)), interface_(interface) {}

    SourceOutcome read() override;
    // The fallback to the interface's counters is told once more.
    void retellFaults();

  private:
    StatusSink status_;
    LocalSource &interface_;
    std::mutex toldMutex_;
    bool toldFallback_ = false;
};

} // namespace flowtally
