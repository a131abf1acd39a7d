#include "Sources.h"

#include "SettingsKeys.h"
#include "UserDefaults.h"

namespace flowtally {

Sources::Sources(StatusSink status)
    : status_(status),
      discovery_([this](const QString &address) { return router_.routerAnswers(address); }),
      router_(status, [this] { return discovery_.routerIPAddress(); }), local_(status),
      upnp_(status) {}

Sources::RouterCounters Sources::routerCounters() {
    const QString chosen = UserDefaults::standardUserDefaults()
                               .stringForKey(SettingsKey::RouterCounters)
                               .value_or(QString());
    if (chosen == QLatin1String("snmp"))
        return RouterCounters::Snmp;
    if (chosen == QLatin1String("upnp"))
        return RouterCounters::Upnp;
    if (chosen == QLatin1String("local"))
        return RouterCounters::ThisComputer;
    return RouterCounters::Automatic;
}

std::optional<TrafficSample> Sources::tickSample() {
    const RouterCounters chosen = routerCounters();
    const bool snmp = chosen == RouterCounters::Automatic || chosen == RouterCounters::Snmp;
    const bool upnp = chosen == RouterCounters::Automatic || chosen == RouterCounters::Upnp;
    std::optional<QString> because;
    if (snmp && discovery_.probablyHasRouter()) {
        // A router that answers SNMP is read over SNMP; a sample it gives
        // up is none this tick.
        SourceOutcome router = router_.read();
        if (!router.meterThisComputerBecause)
            return router.sample;
        because = router.meterThisComputerBecause;
    } else if (upnp) {
        SourceOutcome router = upnp_.read();
        if (router.sample)
            return router.sample;
        because = router.meterThisComputerBecause;
    }
    const std::optional<TrafficSample> local = local_.read().sample;
    // The status line says why these are the computer's figures.
    if (because)
        status_(*because);
    return local;
}

void Sources::reset() {
    discovery_.reset();
    router_.reset();
    local_.retellFaults();
    upnp_.reset();
}

} // namespace flowtally
