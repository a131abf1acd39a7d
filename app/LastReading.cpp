#include "LastReading.h"

#include "CounterDifference.h"
#include "SettingsKeys.h"

#include <tuple>

namespace flowtally {

namespace {

// A counter of 0 is no reading.
std::optional<quint64> readingOf(const TrafficSample &sample, const QString &key) {
    const quint64 value = sample.value(key).toULongLong();
    return value == 0 ? std::nullopt : std::optional(value);
}

std::optional<quint64> optionalValue(const QVariantMap &map, const QString &key) {
    return map.contains(key) ? std::optional(map.value(key).toULongLong()) : std::nullopt;
}

} // namespace

bool CounterOrigin::isRebirthOf(const CounterOrigin &earlier) const {
    return source == CounterSource::Local && earlier.source == CounterSource::Local &&
           !device.isEmpty() && device == earlier.device &&
           (boot != earlier.boot || index != earlier.index);
}

QVariantMap CounterOrigin::toMap() const {
    QVariantMap map{{QStringLiteral("source"), counterSourceName(source)},
                    {QStringLiteral("device"), device},
                    {QStringLiteral("index"), quint64(index)}};
    if (!boot.isEmpty())
        map.insert(QStringLiteral("boot"), boot);
    if (bits != 0)
        map.insert(QStringLiteral("bits"), bits);
    if (!hardware.isEmpty())
        map.insert(QStringLiteral("hardware"), hardware);
    return map;
}

CounterOrigin CounterOrigin::fromMap(const QVariantMap &map) {
    return {counterSourceNamed(map.value(QStringLiteral("source")).toString()),
            map.value(QStringLiteral("device")).toString(),
            static_cast<quint32>(map.value(QStringLiteral("index")).toULongLong()),
            map.value(QStringLiteral("boot")).toString(),
            map.value(QStringLiteral("bits")).toInt(),
            map.value(QStringLiteral("hardware")).toString()};
}

std::optional<CounterReading> readingOfSample(const TrafficSample &sample) {
    if (!sample.contains(SampleKey::InTraffic) || !sample.contains(SampleKey::OutTraffic))
        return std::nullopt;
    CounterReading reading;
    reading.origin.source = sourceOfSample(sample);
    if (reading.origin.source == CounterSource::Local) {
        reading.origin.device = sample.value(SampleKey::PrimaryInterface).toString();
        reading.origin.index = sample.value(SampleKey::KernelIndex).toUInt();
        reading.origin.boot = sample.value(SampleKey::BootID).toString();
    } else {
        reading.origin.device = sample.value(SampleKey::RouterAddress).toString();
        reading.origin.index = sample.value(SampleKey::InterfaceIndex).toUInt();
        reading.origin.bits = sample.value(SampleKey::CounterBits, 32).toInt();
        reading.origin.hardware = sample.value(SampleKey::RouterHardware).toString();
        reading.uptime = sample.value(SampleKey::Uptime).toDouble();
    }
    reading.in = readingOf(sample, SampleKey::InTraffic);
    reading.out = readingOf(sample, SampleKey::OutTraffic);
    return reading;
}

CounterGrowth LastReading::count(const QString &service, const CounterReading &reading,
                                 const Recorded &recorded, const QDateTime &at) {
    std::optional<quint64> baseIn, baseOut;
    double baseUptime = 0;
    bool based = false;
    const auto measureFrom = [&](std::optional<quint64> in, std::optional<quint64> out,
                                 double uptime) {
        std::tie(baseIn, baseOut, baseUptime, based) = std::tuple(in, out, uptime, true);
    };
    const std::optional<quint64> zero = quint64(0);
    if (last_) {
        // Whose bytes the counters moved since another network's reading of
        // an earlier session is not known.
        const bool continuous = last_->service == service || last_->session == session_;
        if (continuous && last_->origin == reading.origin)
            measureFrom(last_->in, last_->out, last_->uptime);
        else if (continuous && reading.origin.isRebirthOf(last_->origin))
            measureFrom(zero, zero, 0);
    } else {
        // Settings of an older version: the record is the measure. Its
        // origin may be known by its source only.
        const auto some = [](quint64 value) {
            return value == 0 ? std::nullopt : std::optional(value);
        };
        const bool onlyBySource =
            recorded.origin.device.isEmpty() &&
            (!recorded.origin.isKnown() || recorded.origin.source == reading.origin.source);
        if (recorded.origin == reading.origin || onlyBySource)
            measureFrom(some(recorded.in), some(recorded.out), recorded.uptime);
        else if (reading.origin.isRebirthOf(recorded.origin))
            measureFrom(zero, zero, 0);
    }

    const CounterSource source = reading.origin.source;
    // A router whose up-time fell has restarted: its counters began again.
    const bool restarted = based && source == CounterSource::Router && reading.uptime < baseUptime;
    CounterGrowth growth;
    const auto step = [&](const std::optional<quint64> &now, const std::optional<quint64> &base,
                          quint64 &bytes) -> std::optional<quint64> {
        if (!now)
            return restarted ? zero : base;
        if (base)
            bytes = counterDifference(*now, *base, reading.origin.width(), restarted);
        return now;
    };
    const std::optional<quint64> nowIn = step(reading.in, baseIn, growth.in);
    const std::optional<quint64> nowOut = step(reading.out, baseOut, growth.out);
    last_ = Entry{service, reading.origin, nowIn, nowOut, reading.uptime, at, session_};
    return growth;
}

QVariantMap LastReading::toMap() const {
    if (!last_)
        return {};
    QVariantMap map{{LastReadingKey::service, last_->service},
                    {QStringLiteral("origin"), last_->origin.toMap()},
                    {QStringLiteral("uptime"), last_->uptime},
                    {QStringLiteral("at"), last_->at}};
    if (last_->in)
        map.insert(QStringLiteral("in"), *last_->in);
    if (last_->out)
        map.insert(QStringLiteral("out"), *last_->out);
    return map;
}

LastReading LastReading::fromMap(const QVariantMap &map) {
    LastReading reading;
    const CounterOrigin origin =
        CounterOrigin::fromMap(map.value(QStringLiteral("origin")).toMap());
    if (origin.isKnown())
        reading.last_ = Entry{map.value(LastReadingKey::service).toString(),
                              origin,
                              optionalValue(map, QStringLiteral("in")),
                              optionalValue(map, QStringLiteral("out")),
                              map.value(QStringLiteral("uptime")).toDouble(),
                              map.value(QStringLiteral("at")).toDateTime(),
                              0};
    return reading;
}

} // namespace flowtally
