#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// What this computer's samples count of a network's traffic: all of it on
// the interface, or only what went to and came from the Internet.
enum class CountedTraffic { All, Internet };

// What Flowtally keeps of one network, stored in the settings under the
// network's service identifier (the keys are in SettingsKeys.h). Flowtally
// and flowtally-report read it through here alone, so that both take its
// values, their limits and their defaults the same way.
struct NetworkRecord {
    // The service identifier it belongs to; none without a network.
    std::optional<QString> service;
    // The start of the accounting period; distantPast() while it has not
    // begun (the first counted sample sets it).
    QDateTime resetDate;
    // Bytes counted since the reset date.
    quint64 totalIn = 0, totalOut = 0;
    // The counters of the last reading; 0 for none.
    quint64 prevIn = 0, prevOut = 0;
    // Bytes per unit of the limit, and the limit in bytes.
    quint64 limitUnitsScale = 0;
    double limit = 0;
    // Which counters the previous ones were read from: the source's name
    // ("local", "router"; empty where not known) and the whole origin (empty
    // in records of older versions, which kept only the source); a router's
    // up-time then.
    QString prevSource;
    QVariantMap prevOrigin;
    double prevUptime = 0;
    // The day of the month the billing cycle starts on, 1 to 31; 0 for none.
    int cycleStartDay = 0;
    // The start of the cycle whose automatic reset was made, and the record
    // as it was before it while that reset stands.
    QDateTime cycleResetFor;
    QVariantMap cycleResetBefore;
    // Which alerts of the period were sent (AlertState.h).
    QVariantMap limitAlerts;
    // What this computer's samples count on this network.
    CountedTraffic countedTraffic = CountedTraffic::All;

    bool operator==(const NetworkRecord &) const = default;

    // Whether the period began: a reset date that is set.
    bool periodBegan() const;
    // The period's start; invalid while it has not begun.
    QDateTime periodStart() const;
    // The limit where it is a positive finite number of bytes; none else.
    std::optional<double> limitInBytes() const;

    // Takes each entry of a stored record into the field it names (what
    // fields without an entry hold stays). Values of the wrong type or out
    // of range read as the field's default: a reset date that is not a date
    // as not set, a start day outside 1 to 31 as no cycle, counted traffic
    // other than "internet" as all, numbers the way
    // Numbers.h reads values. Gives the keys of the entries that name no
    // field, in their order.
    QStringList take(const QVariantMap &entries);
    // The record read from its stored entries alone.
    static NetworkRecord fromMap(const QVariantMap &entries);
    // The record's entries as they are stored.
    QVariantMap toMap() const;
};

} // namespace flowtally
