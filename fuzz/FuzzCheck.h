#pragma once

#include <cstdio>
#include <cstdlib>

namespace flowtally {

// Fuzz targets state what must hold for every input with this: a broken
// invariant aborts with its description, and libFuzzer keeps the input
// as a crash.
inline void fuzzCheck(bool holds, const char *invariant) {
    if (holds)
        return;
    std::fprintf(stderr, "broken invariant: %s\n", invariant);
    std::abort();
}

} // namespace flowtally
