#include "meter/CounterStep.h"

#include <algorithm>
#include <limits>

namespace flowtally {

namespace {

constexpr quint64 kWrap = quint64(1) << 32;
// Readings in a row that bear out a level the link could not have reached,
// and a fall, before it is taken.
constexpr int kReadingsForNewLevel = 3;
constexpr int kReadingsForFall = 2;

bool couldCarry(quint64 bytes, double seconds, double bytesPerSecond) {
    return static_cast<double>(bytes) <= bytesPerSecond * seconds;
}

CounterStep taken(CounterTrack &track, quint64 value, const CounterMoment &moment,
                  quint64 counted) {
    track.base = CounterBase{value, moment};
    track.suspect.reset();
    track.sourceRestarted = false;
    CounterStep step;
    step.counted = counted;
    return step;
}

} // namespace

double secondsBetween(const CounterMoment &from, const CounterMoment &to) {
    if (!from.at.isValid())
        return std::numeric_limits<double>::infinity();
    const double wall = to.at.isValid() ? static_cast<double>(from.at.msecsTo(to.at)) / 1000.0 : 0;
    return std::max({wall, to.uptime - from.uptime, 0.0});
}

CounterStep stepCounter(CounterTrack &track, quint64 value, const CounterMoment &moment, int bits,
                        double bytesPerSecond) {
    if (!track.base)
        return taken(track, value, moment, 0);
    const CounterBase base = *track.base;
    const double seconds = secondsBetween(base.moment, moment);
    if (value >= base.value && couldCarry(value - base.value, seconds, bytesPerSecond))
        return taken(track, value, moment, value - base.value);
    if (value < base.value && track.sourceRestarted)
        return taken(track, value, moment, couldCarry(value, seconds, bytesPerSecond) ? value : 0);
    // A counter that held 2^32 or more is no 32-bit counter, whatever width
    // its later values show.
    if (value < base.value && bits == 32 && base.value < kWrap) {
        const quint64 wrapped = value + kWrap - base.value;
        if (couldCarry(wrapped, seconds, bytesPerSecond))
            return taken(track, value, moment, wrapped);
    }

    const CounterSuspect::Kind kind =
        value >= base.value ? CounterSuspect::Kind::TooFast : CounterSuspect::Kind::Fell;
    std::optional<CounterSuspect> &suspect = track.suspect;
    const bool borneOut =
        suspect && suspect->kind == kind && value >= suspect->last &&
        couldCarry(value - suspect->last, secondsBetween(suspect->moment, moment), bytesPerSecond);
    if (!borneOut) {
        const bool told = suspect.has_value();
        suspect = CounterSuspect{kind, value, value, moment, 1};
        CounterStep step;
        if (!told) {
            step.refused = kind;
            step.from = base.value;
            step.seconds = seconds;
        }
        return step;
    }
    suspect->last = value;
    suspect->moment = moment;
    ++suspect->readings;
    if (kind == CounterSuspect::Kind::TooFast && suspect->readings >= kReadingsForNewLevel)
        return taken(track, value, moment, value - suspect->first);
    if (kind == CounterSuspect::Kind::Fell && suspect->readings >= kReadingsForFall)
        return taken(track, value, moment,
                     couldCarry(value, seconds, bytesPerSecond) ? value : value - suspect->first);
    return {};
}

} // namespace flowtally
