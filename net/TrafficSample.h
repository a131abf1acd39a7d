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
} // namespace SampleKey

// Where a sample's counters come from. Counters of different sources count
// different things and are never subtracted from each other.
enum class CounterSource { Unknown, Local, Router };

// A local sample names the interface it read; a router sample does not.
inline CounterSource sourceOfSample(const TrafficSample &sample) {
    return sample.contains(SampleKey::PrimaryInterface) ? CounterSource::Local
                                                        : CounterSource::Router;
}

} // namespace flowtally
