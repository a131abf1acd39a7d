#include "meter/Meter.h"

#include "platform/system/Environment.h"
#include "record/NetworkFigures.h"
#include "record/SettingsKeys.h"

#include <cmath>

namespace flowtally {

namespace {

constexpr double kMinimumGap = 1.5; // seconds between counted samples

double seconds(const QDateTime &from, const QDateTime &to) {
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

// Which counters the record's previous ones came from: the whole origin, or
// in records of older versions the source alone.
CounterOrigin recordedOrigin(const NetworkRecord &record) {
    if (!record.prevOrigin.isEmpty())
        return CounterOrigin::fromMap(record.prevOrigin);
    CounterOrigin origin;
    origin.source = counterSourceNamed(record.prevSource);
    return origin;
}

} // namespace

std::optional<Meter::Figures> Meter::take(const TrafficSample &sample,
                                          const std::optional<QString> &currentService,
                                          double limitNumber, const QDateTime &now) {
    return take(sample, currentService, limitNumber, now, Environment::current().timeZone());
}

std::optional<Meter::Figures> Meter::take(const TrafficSample &sample,
                                          const std::optional<QString> &currentService,
                                          double limitNumber, const QDateTime &now,
                                          const QTimeZone &zone) {
    const QVariant service = sample.value(SampleKey::PrimaryService);
    const bool ofThisService = service.typeId() == QMetaType::QString && currentService &&
                               service.toString() == *currentService && record_.service &&
                               service.toString() == *record_.service;
    if (!ofThisService)
        return std::nullopt;
    const QDateTime date = sample.value(SampleKey::FireDate).toDateTime();
    if (!lastFireDate_.isValid())
        lastFireDate_ = date;
    const double gap = seconds(lastFireDate_, date);
    lastFireDate_ = date;
    const std::optional<CounterReading> reading = readingOfSample(sample);
    if (gap < kMinimumGap || !reading)
        return std::nullopt;

    Figures figures;
    figures.growth = lastReading_.count(
        *record_.service, *reading,
        {recordedOrigin(record_), record_.prevIn, record_.prevOut, record_.prevUptime}, date);
    // The record's previous counters are the last reading.
    const LastReading::Entry &last = *lastReading_.entry();
    record_.prevIn = last.inValue().value_or(0);
    record_.prevOut = last.outValue().value_or(0);
    record_.prevSource = counterSourceName(reading->origin.source);
    record_.prevOrigin = reading->origin.device.isEmpty() ? QVariantMap() : reading->origin.toMap();
    record_.prevUptime = reading->uptime;
    // Bytes of another network (the one that read the counters last) go to
    // its record, not to these totals.
    if (figures.growth.network.isEmpty()) {
        record_.totalIn += figures.growth.in;
        record_.totalOut += figures.growth.out;
        figures.inRate = static_cast<double>(figures.growth.in) / gap / 1024.0;
        figures.outRate = static_cast<double>(figures.growth.out) / gap / 1024.0;
        if (isFreeAt(record_.freeWindows, date, zone)) {
            figures.free = {figures.growth.in, figures.growth.out};
            record_.freeIn += figures.growth.in;
            record_.freeOut += figures.growth.out;
        }
    }
    totalBytes_ = record_.totalIn + record_.totalOut;
    figures.billed = totalBytes_ - record_.freeIn - record_.freeOut;
    // A clock that came back before the period began: the period begins no
    // later than now, and its bytes are never dated ahead of the clock.
    if (!record_.periodBegan() || record_.resetDate > now)
        record_.resetDate = now;
    figures.applications =
        applications_.count(sample, figures.growth, *record_.service, record_.resetDate);
    record_.limit = limitNumber * static_cast<double>(record_.limitUnitsScale);
    projection_ =
        thirtyDayProjection(static_cast<double>(totalBytes_), seconds(record_.resetDate, now));
    figures.total = totalBytes_;
    figures.projection = projection_;
    figures.limit = record_.limit;
    return figures;
}

void Meter::undoReset(const QVariantMap &before, bool automatic) {
    QVariantMap restored = before;
    const QVariantMap now = record_.toMap();
    if (now.value(RecordKey::PrimaryService) == before.value(RecordKey::PrimaryService)) {
        for (const QString &total : {RecordKey::totalInBytes, RecordKey::totalOutBytes,
                                     RecordKey::freeInBytes, RecordKey::freeOutBytes})
            restored.insert(total,
                            before.value(total).toULongLong() + now.value(total).toULongLong());
        for (const QString &counters :
             {RecordKey::prevInVal, RecordKey::prevOutVal, RecordKey::prevValSource,
              RecordKey::prevValOrigin, RecordKey::prevUptime, RecordKey::cycleResetFor}) {
            if (now.contains(counters))
                restored.insert(counters, now.value(counters));
        }
    }
    record_.take(restored);
    if (automatic)
        record_.cycleResetBefore.clear();
}

} // namespace flowtally
