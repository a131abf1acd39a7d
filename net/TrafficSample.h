#pragma once

#include <QString>
#include <QVariantMap>

namespace flowtally {

// A traffic sample: one reading of the two byte counters of a source, as an
// immutable string-keyed dictionary that travels from the worker thread to
// the main thread by value.
using TrafficSample = QVariantMap;

namespace SampleKey {
inline const QString PrimaryInterface = QStringLiteral("PrimaryInterface");
inline const QString MAC = QStringLiteral("MAC");
inline const QString Router = QStringLiteral("Router");
inline const QString InTraffic = QStringLiteral("inTraffic");
inline const QString OutTraffic = QStringLiteral("outTraffic");
inline const QString Uptime = QStringLiteral("UPTIME");
inline const QString FireDate = QStringLiteral("FireDate");
inline const QString PrimaryService = QStringLiteral("PrimaryService");
// Which counters a sample read, beyond the interface's name: for a local
// sample the interface's kernel index and the boot; for a router sample the
// router's address and the index of its interface.
inline const QString KernelIndex = QStringLiteral("KernelIndex");
inline const QString BootID = QStringLiteral("BootID");
inline const QString RouterAddress = QStringLiteral("RouterAddress");
inline const QString InterfaceIndex = QStringLiteral("InterfaceIndex");
// The router's hardware address where it is known (the default router):
// two routers at one address, at home and at the office, are other counters.
inline const QString RouterHardware = QStringLiteral("RouterHardware");
// A router sample's counters' width: 64 for IF-MIB's ifHCInOctets and
// ifHCOutOctets, 32 for ifInOctets and ifOutOctets (also when absent).
inline const QString CounterBits = QStringLiteral("CounterBits");
// The router's interface that a router sample read over SNMP, by the text
// it was chosen by ("vlan1" where none was chosen).
inline const QString MeteredInterface = QStringLiteral("MeteredInterface");
// The speed of the counters' link in bits a second, where the source tells
// it: the router's ifHighSpeed or ifSpeed, the kernel's for a local
// interface.
inline const QString LinkSpeed = QStringLiteral("LinkSpeed");
// When the router's interface counters were last reset or made anew
// (IF-MIB's ifCounterDiscontinuityTime, hundredths of a second of its
// up-time), where it tells it.
inline const QString CounterDiscontinuity = QStringLiteral("CounterDiscontinuity");
// The source of a router sample read over UPnP: "upnp" (absent for SNMP);
// of a local sample of the Internet's traffic alone: "local-internet"
// (absent for the interface's own counters).
inline const QString CounterSourceName = QStringLiteral("CounterSource");
// What the window and the report name the sample's source by: "UPnP:
// FRITZ!Box 7590", "SNMP: vlan1, 64-bit", "This computer: eth0".
inline const QString SourceDescription = QStringLiteral("SourceDescription");
} // namespace SampleKey

// Where a sample's counters come from. Counters of different sources count
// different things and are never subtracted from each other. LocalInternet:
// the bytes that this computer's interface carried to and from the
// Internet, as flowtally-accountd counts them.
enum class CounterSource { Unknown, Local, Router, Upnp, LocalInternet };

// A source's name in the settings ("local", "router"; empty for none), and back.
inline QString counterSourceName(CounterSource source) {
    switch (source) {
    case CounterSource::Local:
        return QStringLiteral("local");
    case CounterSource::Router:
        return QStringLiteral("router");
    case CounterSource::Upnp:
        return QStringLiteral("upnp");
    case CounterSource::LocalInternet:
        return QStringLiteral("local-internet");
    case CounterSource::Unknown:
        break;
    }
    return QString();
}
inline CounterSource counterSourceNamed(const QString &name) {
    if (name == QLatin1String("local"))
        return CounterSource::Local;
    if (name == QLatin1String("router"))
        return CounterSource::Router;
    if (name == QLatin1String("upnp"))
        return CounterSource::Upnp;
    if (name == QLatin1String("local-internet"))
        return CounterSource::LocalInternet;
    return CounterSource::Unknown;
}

// A local sample names the interface it read; a router sample does not.
// One read over UPnP says so, and so does a local one of the Internet's
// traffic alone.
inline CounterSource sourceOfSample(const TrafficSample &sample) {
    const QString named = sample.value(SampleKey::CounterSourceName).toString();
    if (sample.contains(SampleKey::PrimaryInterface))
        return named == QLatin1String("local-internet") ? CounterSource::LocalInternet
                                                        : CounterSource::Local;
    return named == QLatin1String("upnp") ? CounterSource::Upnp : CounterSource::Router;
}

} // namespace flowtally
