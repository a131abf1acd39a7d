#pragma once

#include <QtGlobal>

namespace flowtally {

// The bytes a counter of the given width (32 or 64 bits) counted between
// two readings (previous not 0).
//
// A 32-bit counter (a router's ifInOctets) that fell, by at most 2^32, has
// wrapped once, unless its source restarted (a router whose up-time fell
// too) and began counting again from 0. A 64-bit counter (a computer's, a
// router's ifHCInOctets) never wraps in practice: one that fell was reset
// (a reboot, the interface made anew). After a reset or restart, everything
// the counter holds is new.
inline quint64 counterDifference(quint64 newValue, quint64 previous, int bits,
                                 bool sourceRestarted = false) {
    constexpr quint64 kWrap = quint64(1) << 32;
    if (newValue >= previous)
        return newValue - previous;
    if (bits == 32 && !sourceRestarted && previous - newValue <= kWrap)
        return newValue + kWrap - previous;
    return newValue;
}

} // namespace flowtally
