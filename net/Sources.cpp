#include "Sources.h"

namespace flowtally {

Sources::Sources(StatusSink status)
    : status_(status),
      discovery_([this](const QString &address) { return router_.routerAnswers(address); }),
      router_(status, [this] { return discovery_.routerIPAddress(); }), local_(status) {}

std::optional<TrafficSample> Sources::tickSample() {
    if (!discovery_.probablyHasRouter())
        return local_.read().sample;
    const SourceOutcome router = router_.read();
    if (!router.meterThisComputerBecause)
        return router.sample;
    const std::optional<TrafficSample> local = local_.read().sample;
    // The status line says why these are the computer's figures.
    status_(*router.meterThisComputerBecause);
    return local;
}

void Sources::reset() {
    discovery_.reset();
    router_.reset();
    local_.retellFaults();
}

} // namespace flowtally
