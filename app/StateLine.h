#pragma once

#include "net/Sources.h"
#include "net/TrafficSample.h"

#include <QString>

#include <optional>

namespace flowtally {

// What the main window knows of Flowtally's metering at a moment: where the
// last sample came from, whether metering is paused, the billed total
// against the limit.
struct MeteringState {
    // The last sample shown; none before the first.
    std::optional<TrafficSample> sample;
    // The network's default router, where it has one, and where the person
    // wants a router's counters read from.
    std::optional<QString> defaultRouter;
    Sources::RouterCounters routerCounters = Sources::RouterCounters::Automatic;
    bool paused = false;
    bool preferencesOpen = false;
    // Bytes; no limit where there is none.
    double billed = 0;
    std::optional<double> limit;
};

// The line beside the status line that says what is happening: "Metering
// this computer (eth0)", "Metering the router gateway (vlan1, 64-bit
// counters)", "Paused while Preferences is open", "Over the limit by 1.2G",
// "The router does not answer SNMP; metering this computer".
QString stateLine(const MeteringState &state);

} // namespace flowtally
