#pragma once

#include "history/TrafficTotals.h"

#include <QDateTime>
#include <QMap>
#include <QString>

namespace flowtally {

// Bytes Flowtally counted for one network at one moment, for the traffic
// history. `periodStart` is the start of the network's current accounting
// period, the reset date of its totals: the history splits the hour and the
// day it falls in, so that the bytes since a period start can be summed
// exactly. An invalid period start splits nothing. Of the bytes, `freeIn` and
// `freeOut` were counted in the network's free hours (FreeHours.h), and
// `applications` were moved by these applications (by their keys, see
// CgroupApplication), never more than the bytes in all.
struct HistoryEntry {
    QString network; // the network service's identifier
    QDateTime at;
    quint64 in = 0;
    quint64 out = 0;
    QDateTime periodStart;
    quint64 freeIn = 0;
    quint64 freeOut = 0;
    QMap<QString, TrafficTotals> applications = {};
};

} // namespace flowtally
