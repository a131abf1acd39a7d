#pragma once

#include <QtGlobal>

namespace flowtally {

// Incoming and outgoing bytes, summed.
struct TrafficTotals {
    quint64 in = 0;
    quint64 out = 0;

    bool operator==(const TrafficTotals &) const = default;
};

} // namespace flowtally
