#pragma once

#include <QDateTime>

namespace flowtally {

// The bytes of one network in one local hour, day or month. `start` is where
// that hour, day or month begins, in the history's time zone. Of its bytes,
// `freeIn` and `freeOut` were counted in free hours; the rest is billed.
struct HistoryBucket {
    QDateTime start;
    quint64 in = 0;
    quint64 out = 0;
    quint64 freeIn = 0;
    quint64 freeOut = 0;

    bool operator==(const HistoryBucket &) const = default;
};

} // namespace flowtally
