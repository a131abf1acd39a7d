#pragma once

// Timing for the benchmarks: a steady clock, milliseconds since a moment,
// and the median, mean and worst of a set of times.
#include <algorithm>
#include <chrono>
#include <vector>

namespace flowtally {

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Spread {
    double median = 0;
    double mean = 0;
    double worst = 0;
};

// Of at least one time.
inline Spread spreadOf(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (const double time : times)
        sum += time;
    return {times[times.size() / 2], sum / double(times.size()), times.back()};
}

} // namespace flowtally
