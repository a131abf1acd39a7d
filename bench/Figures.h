#pragma once

// The figures a benchmark hands on to scripts/bench, which gathers every
// benchmark's into one table. Benchmarks print for people as they like;
// with FLOWTALLY_BENCH_FIGURES set in the environment each also prints its
// main figures as lines "figure<TAB>name<TAB>value<TAB>unit".
#include <cstdio>
#include <cstdlib>
#include <string>

namespace flowtally {

inline void printFigure(const std::string &name, double value, const char *unit, int decimals = 3) {
    static const bool wanted = std::getenv("FLOWTALLY_BENCH_FIGURES") != nullptr;
    if (wanted)
        std::printf("figure\t%s\t%.*f\t%s\n", name.c_str(), decimals, value, unit);
}

} // namespace flowtally
