#pragma once

#include "history/FreeHours.h"
#include "history/FreeHoursChange.h"
#include "history/TrafficTotals.h"

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
    // Of those, the bytes counted in the network's free hours: never more
    // than the totals. The rest is billed: what the plan holds against its
    // limit.
    quint64 freeIn = 0, freeOut = 0;
    // The network's daily free hours; none for a plan without.
    FreeWindows freeWindows;
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
    // "Alert me only on metered connections".
    bool alertOnlyOnMetered = false;

    bool operator==(const NetworkRecord &) const = default;

    // Whether the period began: a reset date that is set.
    bool periodBegan() const;
    // The period's start; invalid while it has not begun.
    QDateTime periodStart() const;
    // The limit where it is a positive finite number of bytes; none else.
    std::optional<double> limitInBytes() const;
    // The totals, the part of them counted in free hours, and the rest.
    TrafficTotals totals() const { return {totalIn, totalOut}; }
    TrafficTotals freeTotals() const { return {freeIn, freeOut}; }
    TrafficTotals billedTotals() const { return {totalIn - freeIn, totalOut - freeOut}; }

    // Takes what reading the period's traffic anew with other free hours
    // changed (HistoryStore::reapplyFreeHours from the period start) into
    // the free totals, which stay within the totals.
    void takeFreeHoursChange(const FreeHoursChange &change);

    // Takes each entry of a stored record into the field it names (what
    // fields without an entry hold stays). Values of the wrong type or out
    // of range read as the field's default: a reset date that is not a date
    // as not set, a start day outside 1 to 31 as no cycle, counted traffic
    // other than "internet" as all, anything but a boolean true as alerts
    // on any connection, numbers the way Numbers.h reads values;
    // free hours that are not an array as none, of which windows that are
    // not dictionaries, hold a minute outside 0 to 1439 or hold nothing are
    // left out, and so is any beyond the eighth. An entry of a total without
    // its free part (a record of an older version, the defaults a reset
    // loads) has none of it free, and free bytes are held to the totals.
    // Gives the keys of the entries that name no field, in their order.
    QStringList take(const QVariantMap &entries);
    // The record read from its stored entries alone.
    static NetworkRecord fromMap(const QVariantMap &entries);
    // The record's entries as they are stored.
    QVariantMap toMap() const;
};

} // namespace flowtally
