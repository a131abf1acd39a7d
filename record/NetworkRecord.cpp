#include "record/NetworkRecord.h"

#include "record/DistantPast.h"
#include "platform/text/Numbers.h"
#include "record/SettingsKeys.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace flowtally {

namespace {

constexpr quint64 kLastStartDay = 31;
constexpr qsizetype kMostFreeWindows = 8;

QDateTime dateOf(const QVariant &value) {
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

QVariantMap mapOf(const QVariant &value) {
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

// A start day as the cycle rules know them; compared before it is narrowed,
// so that no large number wraps into a day.
int startDayOf(const QVariant &value) {
    const quint64 day = unsignedLongLongValueOf(value);
    return day <= kLastStartDay ? static_cast<int>(day) : 0;
}

const QString kInternetTraffic = QStringLiteral("internet");

CountedTraffic countedTrafficOf(const QVariant &value) {
    return value.typeId() == QMetaType::QString && value.toString() == kInternetTraffic
               ? CountedTraffic::Internet
               : CountedTraffic::All;
}

// The free hours as stored; see take() for what is left out.
FreeWindows freeWindowsOf(const QVariant &value) {
    FreeWindows windows;
    if (value.typeId() != QMetaType::QVariantList)
        return windows;
    for (const QVariant &entry : value.toList()) {
        if (windows.size() == kMostFreeWindows)
            break;
        const QVariantMap window = mapOf(entry);
        const qint64 start = integerValueOf(window.value(FreeWindowKey::start));
        const qint64 end = integerValueOf(window.value(FreeWindowKey::end));
        const auto isMinute = [](qint64 minute) { return minute >= 0 && minute < kMinutesADay; };
        if (window.contains(FreeWindowKey::start) && window.contains(FreeWindowKey::end) &&
            isMinute(start) && isMinute(end) && start != end)
            windows.append({static_cast<int>(start), static_cast<int>(end)});
    }
    return windows;
}

QVariantList storedFreeWindows(const FreeWindows &windows) {
    QVariantList stored;
    for (const FreeWindow &window : windows)
        stored.append(QVariantMap{{FreeWindowKey::start, quint64(window.start)},
                                  {FreeWindowKey::end, quint64(window.end)}});
    return stored;
}

// `value` changed by what was gained and lost, held to 0 and `most`.
quint64 changed(quint64 value, quint64 gained, quint64 lost, quint64 most) {
    const quint64 raised = value > most - std::min(gained, most) ? most : value + gained;
    return std::min(raised > lost ? raised - lost : 0, most);
}

} // namespace

bool NetworkRecord::periodBegan() const {
    return resetDate.isValid() && resetDate != distantPast();
}

QDateTime NetworkRecord::periodStart() const {
    return periodBegan() ? resetDate : QDateTime();
}

std::optional<double> NetworkRecord::limitInBytes() const {
    return std::isfinite(limit) && limit > 0 ? std::optional(limit) : std::nullopt;
}

QStringList NetworkRecord::take(const QVariantMap &entries) {
    using Field = std::function<void(const QVariant &)>;
    const std::pair<const QString &, Field> fields[] = {
        {RecordKey::resetDate,
         [this](const QVariant &v) {
             const QDateTime date = dateOf(v);
             resetDate = date.isValid() ? date : distantPast();
         }},
        {RecordKey::totalInBytes,
         [this](const QVariant &v) { totalIn = unsignedLongLongValueOf(v); }},
        {RecordKey::totalOutBytes,
         [this](const QVariant &v) { totalOut = unsignedLongLongValueOf(v); }},
        {RecordKey::prevInVal, [this](const QVariant &v) { prevIn = unsignedLongLongValueOf(v); }},
        {RecordKey::prevOutVal,
         [this](const QVariant &v) { prevOut = unsignedLongLongValueOf(v); }},
        {RecordKey::PrimaryService, [this](const QVariant &v) { service = v.toString(); }},
        {RecordKey::limitUnitsScale,
         [this](const QVariant &v) { limitUnitsScale = unsignedLongLongValueOf(v); }},
        {RecordKey::gbpmLimit,
         [this](const QVariant &v) {
             const double value = doubleValueOf(v);
             limit = std::isfinite(value) && value >= 0 ? value : 0;
         }},
        {RecordKey::prevValSource, [this](const QVariant &v) { prevSource = v.toString(); }},
        {RecordKey::prevValOrigin, [this](const QVariant &v) { prevOrigin = mapOf(v); }},
        {RecordKey::prevUptime, [this](const QVariant &v) { prevUptime = doubleValueOf(v); }},
        {RecordKey::cycleStartDay, [this](const QVariant &v) { cycleStartDay = startDayOf(v); }},
        {RecordKey::cycleResetFor, [this](const QVariant &v) { cycleResetFor = dateOf(v); }},
        {RecordKey::cycleResetBefore, [this](const QVariant &v) { cycleResetBefore = mapOf(v); }},
        {RecordKey::limitAlerts, [this](const QVariant &v) { limitAlerts = mapOf(v); }},
        {RecordKey::countedTraffic,
         [this](const QVariant &v) { countedTraffic = countedTrafficOf(v); }},
        {RecordKey::freeInBytes,
         [this](const QVariant &v) { freeIn = unsignedLongLongValueOf(v); }},
        {RecordKey::freeOutBytes,
         [this](const QVariant &v) { freeOut = unsignedLongLongValueOf(v); }},
        {RecordKey::freeHours, [this](const QVariant &v) { freeWindows = freeWindowsOf(v); }},
        {RecordKey::alertOnlyOnMetered,
         [this](const QVariant &v) {
             alertOnlyOnMetered = v.typeId() == QMetaType::Bool && v.toBool();
         }},
    };
    // A record of an older version names only the source of its counters.
    if (entries.contains(RecordKey::prevValSource) && !entries.contains(RecordKey::prevValOrigin))
        prevOrigin.clear();
    QStringList undefined;
    for (auto entry = entries.constBegin(); entry != entries.constEnd(); ++entry) {
        const auto field = std::find_if(std::begin(fields), std::end(fields),
                                        [&](const auto &f) { return f.first == entry.key(); });
        if (field == std::end(fields))
            undefined.append(entry.key());
        else
            field->second(entry.value());
    }
    if (entries.contains(RecordKey::totalInBytes) && !entries.contains(RecordKey::freeInBytes))
        freeIn = 0;
    if (entries.contains(RecordKey::totalOutBytes) && !entries.contains(RecordKey::freeOutBytes))
        freeOut = 0;
    freeIn = std::min(freeIn, totalIn);
    freeOut = std::min(freeOut, totalOut);
    return undefined;
}

void NetworkRecord::takeFreeHoursChange(const FreeHoursChange &change) {
    freeIn = changed(freeIn, change.madeFree.in, change.madeBilled.in, totalIn);
    freeOut = changed(freeOut, change.madeFree.out, change.madeBilled.out, totalOut);
}

NetworkRecord NetworkRecord::fromMap(const QVariantMap &entries) {
    NetworkRecord record;
    record.resetDate = distantPast();
    record.take(entries);
    return record;
}

QVariantMap NetworkRecord::toMap() const {
    QVariantMap entries{
        {RecordKey::resetDate, resetDate},    {RecordKey::totalInBytes, totalIn},
        {RecordKey::totalOutBytes, totalOut}, {RecordKey::prevInVal, prevIn},
        {RecordKey::prevOutVal, prevOut},     {RecordKey::limitUnitsScale, limitUnitsScale},
        {RecordKey::gbpmLimit, limit},        {RecordKey::prevUptime, prevUptime}};
    if (service)
        entries.insert(RecordKey::PrimaryService, *service);
    if (!prevSource.isEmpty())
        entries.insert(RecordKey::prevValSource, prevSource);
    if (!prevOrigin.isEmpty())
        entries.insert(RecordKey::prevValOrigin, prevOrigin);
    if (cycleStartDay != 0)
        entries.insert(RecordKey::cycleStartDay, quint64(cycleStartDay));
    if (cycleResetFor.isValid())
        entries.insert(RecordKey::cycleResetFor, cycleResetFor);
    if (!limitAlerts.isEmpty())
        entries.insert(RecordKey::limitAlerts, limitAlerts);
    if (!cycleResetBefore.isEmpty())
        entries.insert(RecordKey::cycleResetBefore, cycleResetBefore);
    if (countedTraffic == CountedTraffic::Internet)
        entries.insert(RecordKey::countedTraffic, kInternetTraffic);
    if (freeIn != 0)
        entries.insert(RecordKey::freeInBytes, freeIn);
    if (freeOut != 0)
        entries.insert(RecordKey::freeOutBytes, freeOut);
    if (!freeWindows.isEmpty())
        entries.insert(RecordKey::freeHours, storedFreeWindows(freeWindows));
    if (alertOnlyOnMetered)
        entries.insert(RecordKey::alertOnlyOnMetered, true);
    return entries;
}

} // namespace flowtally
