#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <optional>

namespace flowtally {

// When a counter was read: by the source's own clock (a router's up-time,
// this computer's time since boot) and by the wall clock. Either may stand
// still or jump (a router that does not tell its up-time, a clock set by
// hand); the time between two readings is the longer of the two, so that
// neither can make a reading look faster than it was.
struct CounterMoment {
    double uptime = 0;
    // Invalid for a reading whose time is not known (settings of older
    // versions): any growth since it fits.
    QDateTime at;

    bool operator==(const CounterMoment &) const = default;
};

// The seconds from one moment to a later one; infinite when the first is
// not known.
double secondsBetween(const CounterMoment &from, const CounterMoment &to);

// The last value of a counter that was counted, and when it was read.
struct CounterBase {
    quint64 value = 0;
    CounterMoment moment;

    bool operator==(const CounterBase &) const = default;
};

// A run of readings that did not fit the base: one that rose faster than
// the link can carry, or one that fell where no wrap fits. They count
// nothing until the readings after them bear them out.
struct CounterSuspect {
    enum class Kind { TooFast, Fell };
    Kind kind = Kind::TooFast;
    // The values of the run's first and last readings, and when the last
    // was read.
    quint64 first = 0, last = 0;
    CounterMoment moment;
    int readings = 0;
};

// What is known of one counter between readings.
struct CounterTrack {
    // None: the next reading only records.
    std::optional<CounterBase> base;
    std::optional<CounterSuspect> suspect;
    // The counter's source restarted since the base was read (a router whose
    // up-time fell): a counter below its base began again from 0.
    bool sourceRestarted = false;
};

// The outcome of one reading of a counter.
struct CounterStep {
    quint64 counted = 0;
    // Set when this reading begins a run that does not fit: the one thing
    // of it that is told.
    std::optional<CounterSuspect::Kind> refused;
    // The growth and time that did not fit, for the telling.
    quint64 from = 0;
    double seconds = 0;
};

// Counts a new value of a counter `bits` wide (32 or 64) whose link carries
// at most `bytesPerSecond`, against the track, and moves the track on.
//
// A value above the base by what the link could carry since is counted. A
// counter below its base after its source restarted began again: what it
// holds is new where the link could carry it since (else it only records).
// A 32-bit counter below its base wrapped where the link could carry the
// wrap's growth. Anything else counts nothing and leaves the base as it
// was, so that the next sound reading counts on from it: a rise too fast is
// taken only when three readings in a row bear the new level out (what
// they grew by since the first is counted, the jump is not), and a fall
// only when the next reading bears it out: the counter was reset, and what
// it holds is new where the link could have carried it, else only what it
// gained since the fall.
CounterStep stepCounter(CounterTrack &track, quint64 value, const CounterMoment &moment, int bits,
                        double bytesPerSecond);

} // namespace flowtally
