#include "net/Sources.h"

#include "record/SettingsKeys.h"
#include "platform/system/UserDefaults.h"

namespace flowtally {

Sources::Sources(StatusSink status, UpnpSource::Discover discoverUpnp)
    : status_(status),
      discovery_([this](const QString &address) { return router_.routerAnswers(address); }),
      router_(status, [this] { return discovery_.routerIPAddress(); }), local_(status),
      upnp_(status, std::move(discoverUpnp)), internet_(status, local_) {}

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

std::optional<SourceOutcome> Sources::snmpOutcome() {
    if (!discovery_.probablyHasRouter())
        return std::nullopt;
    std::optional<Discovery::Answer> nameAnswer;
    SourceOutcome router = router_.read(nameAnswer);
    // A decision made on trust stands where the sample's get answered the
    // name as the probe would have; where it did not, the probe goes out
    // now, and a router that fails it is not read this tick.
    if (discovery_.probeOwed() && !discovery_.settleOwedProbe(nameAnswer))
        return std::nullopt;
    return router;
}

std::optional<TrafficSample> Sources::tickSample(CountedTraffic counted) {
    const RouterCounters chosen = routerCounters();
    const bool snmp = chosen == RouterCounters::Automatic || chosen == RouterCounters::Snmp;
    const bool upnp = chosen == RouterCounters::Automatic || chosen == RouterCounters::Upnp;
    std::optional<QString> because;
    // A tick that reads no router over SNMP still makes the probe its
    // decision owes.
    std::optional<SourceOutcome> router = snmp ? snmpOutcome() : std::nullopt;
    if (!snmp)
        discovery_.settleOwedProbe(std::nullopt);
    if (router) {
        // A router that answers SNMP is read over SNMP; a sample it gives
        // up is none this tick.
        if (!router->meterThisComputerBecause)
            return router->sample;
        because = router->meterThisComputerBecause;
    } else if (upnp) {
        SourceOutcome upnpRouter = upnp_.read();
        if (upnpRouter.sample)
            return upnpRouter.sample;
        because = upnpRouter.meterThisComputerBecause;
    }
    // This computer's counters: the interface's, or its Internet traffic's.
    TrafficSource &computer = counted == CountedTraffic::Internet
                                  ? static_cast<TrafficSource &>(internet_)
                                  : static_cast<TrafficSource &>(local_);
    const std::optional<TrafficSample> local = computer.read().sample;
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
    internet_.retellFaults();
}

} // namespace flowtally
