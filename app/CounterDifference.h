#pragma once

#include "TrafficSample.h"

#include <QtGlobal>

namespace flowtally {

// The bytes a source counted between two readings of one of its counters
// (previous not 0).
//
// A router's counters are 32 bits wide: one that fell, by at most 2^32, has
// wrapped once, unless the router restarted (its up-time fell too) and
// began counting again from 0. A local counter is 64 bits wide and never
// wraps in practice: one that fell was reset (a reboot, the interface made
// anew). After a reset or restart, everything the counter holds is new.
inline quint64 counterDifference(quint64 newValue, quint64 previous, CounterSource source,
                                 bool sourceRestarted = false) {
    constexpr quint64 kWrap = quint64(1) << 32;
    if (newValue >= previous)
        return newValue - previous;
    if (source == CounterSource::Router && !sourceRestarted && previous - newValue <= kWrap)
        return newValue + kWrap - previous;
    return newValue;
}

} // namespace flowtally
