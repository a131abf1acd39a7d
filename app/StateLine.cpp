#include "app/StateLine.h"

#include "platform/system/DynamicStore.h"
#include "WBLib/IsValidLocalIP.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <QCoreApplication>

namespace flowtally {

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("StateLine", text);
}

// A router's name as the sample has it: the tool's line end goes, and the
// name a router that gave none stands for is none.
QString routerNameOf(const TrafficSample &sample) {
    const QString name = sample.value(SampleKey::Router).toString().trimmed();
    return name == QLatin1String("UNAVAILABLE") ? QString() : name;
}

QString routerMetered(const TrafficSample &sample) {
    QString router = tr("Metering the router");
    if (const QString name = routerNameOf(sample); !name.isEmpty())
        router += QLatin1Char(' ') + name;
    if (sourceOfSample(sample) == CounterSource::Upnp)
        return router + tr(" over UPnP");
    const QString bits =
        tr("%1-bit counters").arg(sample.value(SampleKey::CounterBits, 32).toInt());
    const QString interface = sample.value(SampleKey::MeteredInterface).toString();
    return router + QStringLiteral(" (%1)").arg(
                        interface.isEmpty() ? bits : interface + QStringLiteral(", ") + bits);
}

// This computer is metered: by choice, for want of a router, or because
// the network's router did not answer.
QString computerMetered(const MeteringState &state) {
    const TrafficSample &sample = *state.sample;
    const bool routerAsked =
        state.routerCounters != Sources::RouterCounters::ThisComputer && state.defaultRouter &&
        isValidLocalIP(*state.defaultRouter) &&
        isWiredOrWirelessInterface(sample.value(SampleKey::PrimaryInterface).toString());
    if (routerAsked)
        return state.routerCounters == Sources::RouterCounters::Upnp
                   ? tr("The router does not answer UPnP; metering this computer")
                   : tr("The router does not answer SNMP; metering this computer");
    const QString interface = sample.value(SampleKey::PrimaryInterface).toString();
    return sourceOfSample(sample) == CounterSource::LocalInternet
               ? tr("Metering this computer's Internet traffic (%1)").arg(interface)
               : tr("Metering this computer (%1)").arg(interface);
}

} // namespace

QString stateLine(const MeteringState &state) {
    if (state.paused)
        return state.preferencesOpen ? tr("Paused while Preferences is open") : tr("Paused");
    if (state.limit && state.billed > *state.limit)
        return tr("Over the limit by %1")
            .arg(WBBKMGTFormatter::stringForObjectValue(state.billed - *state.limit, 1));
    if (!state.sample)
        return tr("Waiting for the first reading");
    switch (sourceOfSample(*state.sample)) {
    case CounterSource::Router:
    case CounterSource::Upnp:
        return routerMetered(*state.sample);
    default:
        return computerMetered(state);
    }
}

} // namespace flowtally
