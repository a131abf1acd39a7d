#pragma once

#include "net/TrafficSample.h"

#include <QString>

#include <functional>
#include <optional>

namespace flowtally {

// Where a source's status texts go: the status line, from any thread.
using StatusSink = std::function<void(const QString &text)>;

// What a source gives at a tick: a sample (none when the counters could not
// be read; the status line already says why), or word that the tick meters
// this computer's own interface instead, with the status text that says why.
struct SourceOutcome {
    std::optional<TrafficSample> sample;
    std::optional<QString> meterThisComputerBecause = {};
};

// A source of traffic samples: this computer's interface, a router over
// SNMP, or any other that reads two byte counters. Its reading runs tools
// or asks the network and may block: never on the main thread.
class TrafficSource {
  public:
    virtual ~TrafficSource() = default;
    virtual SourceOutcome read() = 0;
};

} // namespace flowtally
