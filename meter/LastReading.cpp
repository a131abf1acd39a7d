#include "meter/LastReading.h"

#include "record/SettingsKeys.h"

#include <tuple>

namespace flowtally {

namespace {

// A counter of 0 is no reading, except from flowtally-accountd, whose
// counters begin at 0 and are never a failed read.
std::optional<quint64> readingOf(const TrafficSample &sample, const QString &key,
                                 CounterSource source) {
    const quint64 value = sample.value(key).toULongLong();
    return value == 0 && source != CounterSource::LocalInternet ? std::nullopt
                                                                : std::optional(value);
}

std::optional<quint64> optionalValue(const QVariantMap &map, const QString &key) {
    return map.contains(key) ? std::optional(map.value(key).toULongLong()) : std::nullopt;
}

// Links of unknown speed carry 10 Gbit/s at most. veth and loopback carry
// more than they report, and a router's agent may hand out counters it
// refreshes only every few seconds, so a reading may show more than a
// tick's worth; this computer's own counters never glitch, so they are
// given more room. A router's margin stays below what a 32-bit counter's
// wrap takes at 10 Gbit/s between two ticks.
constexpr double kUnknownLinkSpeed = 10e9;
constexpr double kRouterMargin = 1.5;
constexpr double kLocalMargin = 4.0;

// A direction's name and a counter's owner, for the log.
QString counterName(const CounterOrigin &origin, bool in) {
    const QString direction = in ? QStringLiteral("received") : QStringLiteral("sent");
    if (origin.source == CounterSource::LocalInternet)
        return QStringLiteral("The Internet %1-bytes counter of %2").arg(direction, origin.device);
    return origin.source != CounterSource::Local
               ? QStringLiteral("The %1-bytes counter of the router %2")
                     .arg(direction, origin.device)
               : QStringLiteral("The %1-bytes counter of %2").arg(direction, origin.device);
}

QString refusalText(const CounterOrigin &origin, bool in, const CounterStep &step, quint64 value) {
    if (*step.refused == CounterSuspect::Kind::TooFast)
        return QStringLiteral("%1 rose by %2 bytes in %3 s, more than its link carries: "
                              "not counted")
            .arg(counterName(origin, in))
            .arg(value - step.from)
            .arg(step.seconds, 0, 'f', 1);
    return QStringLiteral("%1 fell from %2 to %3 without a restart: not counted unless the "
                          "next reading bears it out")
        .arg(counterName(origin, in))
        .arg(step.from)
        .arg(value);
}

} // namespace

bool CounterOrigin::isRebirthOf(const CounterOrigin &earlier) const {
    return ofThisComputer() && source == earlier.source && !device.isEmpty() &&
           device == earlier.device && (boot != earlier.boot || index != earlier.index);
}

bool CounterOrigin::operator==(const CounterOrigin &other) const {
    if (source != other.source || (source != CounterSource::Upnp && width() != other.width()))
        return false;
    if (ofThisComputer() && index != 0 && other.index != 0 && !boot.isEmpty())
        return index == other.index && boot == other.boot;
    // A router's UPnP counters are the same whatever width their values show
    // (a 32-bit wrap is possible only while they are below 2^32).
    if (source == CounterSource::Upnp)
        return device == other.device && index == other.index &&
               (hardware == other.hardware || hardware.isEmpty() || other.hardware.isEmpty());
    return device == other.device && index == other.index && boot == other.boot &&
           (hardware == other.hardware || hardware.isEmpty() || other.hardware.isEmpty());
}

double CounterReading::ceiling() const {
    const double speed = linkSpeed != 0 ? static_cast<double>(linkSpeed) : kUnknownLinkSpeed;
    return speed / 8 * (origin.ofThisComputer() ? kLocalMargin : kRouterMargin);
}

std::optional<quint64> LastReading::Entry::inValue() const {
    return in.base ? std::optional(in.base->value) : std::nullopt;
}

std::optional<quint64> LastReading::Entry::outValue() const {
    return out.base ? std::optional(out.base->value) : std::nullopt;
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
    if (reading.origin.ofThisComputer()) {
        reading.origin.device = sample.value(SampleKey::PrimaryInterface).toString();
        reading.origin.index = sample.value(SampleKey::KernelIndex).toUInt();
        reading.origin.boot = sample.value(SampleKey::BootID).toString();
    } else {
        // A router's address over SNMP, its device's UDN over UPnP.
        reading.origin.device = sample.value(SampleKey::RouterAddress).toString();
        reading.origin.index = sample.value(SampleKey::InterfaceIndex).toUInt();
        reading.origin.bits = sample.value(SampleKey::CounterBits, 32).toInt();
        reading.origin.hardware = sample.value(SampleKey::RouterHardware).toString();
        if (sample.contains(SampleKey::CounterDiscontinuity))
            reading.discontinuity = sample.value(SampleKey::CounterDiscontinuity).toLongLong();
    }
    reading.uptime = sample.value(SampleKey::Uptime).toDouble();
    reading.linkSpeed = sample.value(SampleKey::LinkSpeed).toULongLong();
    reading.in = readingOf(sample, SampleKey::InTraffic, reading.origin.source);
    reading.out = readingOf(sample, SampleKey::OutTraffic, reading.origin.source);
    return reading;
}

CounterGrowth LastReading::count(const QString &service, const CounterReading &reading,
                                 const Recorded &recorded, const QDateTime &at) {
    // What the reading is counted against: the counters' tracks, the source's
    // up-time and the router's discontinuity time then; nothing where it only
    // records.
    CounterTrack in, out;
    std::optional<double> baseUptime;
    std::optional<qint64> baseDiscontinuity;
    QString network;
    const auto beganAgain = [&](const CounterMoment &since) {
        in.base = out.base = CounterBase{0, since};
    };
    if (last_) {
        // Whose bytes the counters moved since another network's reading of
        // an earlier session is not known.
        const bool continuous = last_->service == service || last_->session == session_;
        if (continuous && last_->origin == reading.origin) {
            std::tie(in, out, baseUptime, baseDiscontinuity) =
                std::tuple(last_->in, last_->out, last_->moment.uptime, last_->discontinuity);
            // A new name for the interface is no new link: what it moved
            // since went where it went before.
            if (last_->service != service && last_->origin.device != reading.origin.device)
                network = last_->service;
        } else if (continuous && reading.origin.isRebirthOf(last_->origin)) {
            beganAgain({0, last_->moment.at});
            baseUptime = 0;
        }
    } else {
        // Settings of an older version: the record is the measure. Its
        // origin may be known by its source only, and its time not at all.
        const bool onlyBySource =
            recorded.origin.device.isEmpty() &&
            (!recorded.origin.isKnown() || recorded.origin.source == reading.origin.source);
        if (recorded.origin == reading.origin || onlyBySource) {
            const CounterMoment then{recorded.uptime, {}};
            if (recorded.in != 0)
                in.base = CounterBase{recorded.in, then};
            if (recorded.out != 0)
                out.base = CounterBase{recorded.out, then};
            baseUptime = recorded.uptime;
        } else if (reading.origin.isRebirthOf(recorded.origin)) {
            beganAgain({0, {}});
            baseUptime = 0;
        }
    }

    // A router whose up-time fell has restarted: a counter below its last
    // reading began again from 0 (an agent may keep counting across its
    // restart). One whose interface counters' discontinuity time moved reset
    // them: they began again from 0 since the last reading.
    const bool restarted =
        baseUptime && !reading.origin.ofThisComputer() && reading.uptime < *baseUptime;
    const bool reset =
        baseDiscontinuity && reading.discontinuity && *baseDiscontinuity != *reading.discontinuity;
    for (CounterTrack *track : {&in, &out}) {
        if (!track->base || !(restarted || reset))
            continue;
        if (reset)
            track->base->value = 0;
        track->sourceRestarted = restarted;
        track->suspect.reset();
    }

    const CounterMoment moment{reading.uptime, at};
    CounterGrowth growth;
    growth.network = network;
    const auto step = [&](CounterTrack &track, const std::optional<quint64> &value, bool isIn,
                          quint64 &bytes) {
        // A counter whose read failed keeps its track.
        if (!value)
            return;
        // flowtally-accountd's totals fall while it runs only when it gave
        // up counters to make room for others: what they held was counted,
        // and the total counts on from what is left.
        if (reading.origin.source == CounterSource::LocalInternet && track.base &&
            *value < track.base->value)
            track.base->value = *value;
        const CounterStep counted =
            stepCounter(track, *value, moment, reading.origin.width(), reading.ceiling());
        bytes = counted.counted;
        if (counted.refused)
            growth.refused.append(refusalText(reading.origin, isIn, counted, *value));
    };
    step(in, reading.in, true, growth.in);
    step(out, reading.out, false, growth.out);
    last_ = Entry{service, reading.origin, in, out, moment, reading.discontinuity, session_};
    return growth;
}

namespace {

const QString kIn = QStringLiteral("in"), kOut = QStringLiteral("out");
const QString kUptime = QStringLiteral("uptime"), kAt = QStringLiteral("at");

// A direction's counter as the settings keep it: its value, and when it was
// read where that is not the latest reading (a reading after it did not fit).
void insertTrack(QVariantMap &map, const QString &key, const CounterTrack &track,
                 const CounterMoment &latest) {
    if (!track.base)
        return;
    map.insert(key, track.base->value);
    if (track.base->moment != latest) {
        map.insert(key + QStringLiteral("Uptime"), track.base->moment.uptime);
        map.insert(key + QStringLiteral("At"), track.base->moment.at);
    }
}

CounterTrack trackOf(const QVariantMap &map, const QString &key, const CounterMoment &latest) {
    CounterTrack track;
    if (const std::optional<quint64> value = optionalValue(map, key)) {
        const QString uptime = key + QStringLiteral("Uptime"), at = key + QStringLiteral("At");
        track.base =
            CounterBase{*value, map.contains(uptime) ? CounterMoment{map.value(uptime).toDouble(),
                                                                     map.value(at).toDateTime()}
                                                     : latest};
    }
    return track;
}

} // namespace

QVariantMap LastReading::toMap() const {
    if (!last_)
        return {};
    QVariantMap map{{LastReadingKey::service, last_->service},
                    {QStringLiteral("origin"), last_->origin.toMap()},
                    {kUptime, last_->moment.uptime},
                    {kAt, last_->moment.at}};
    insertTrack(map, kIn, last_->in, last_->moment);
    insertTrack(map, kOut, last_->out, last_->moment);
    if (last_->discontinuity)
        map.insert(QStringLiteral("discontinuity"), *last_->discontinuity);
    return map;
}

LastReading LastReading::fromMap(const QVariantMap &map) {
    LastReading reading;
    const CounterOrigin origin =
        CounterOrigin::fromMap(map.value(QStringLiteral("origin")).toMap());
    if (origin.isKnown()) {
        const CounterMoment latest{map.value(kUptime).toDouble(), map.value(kAt).toDateTime()};
        const QVariant discontinuity = map.value(QStringLiteral("discontinuity"));
        reading.last_ = Entry{map.value(LastReadingKey::service).toString(),
                              origin,
                              trackOf(map, kIn, latest),
                              trackOf(map, kOut, latest),
                              latest,
                              discontinuity.isValid() ? std::optional(discontinuity.toLongLong())
                                                      : std::nullopt,
                              0};
    }
    return reading;
}

} // namespace flowtally
