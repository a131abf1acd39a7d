#pragma once

#include "MainLoop.h"

#include <QElapsedTimer>

#include <functional>

// Runs the main loop in short slices until the condition holds or a generous
// bound has passed; answers whether it holds.
inline bool waitUntil(const std::function<bool()> &condition, int boundMilliseconds = 10000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.hasExpired(boundMilliseconds))
            return false;
        runMainLoopFor(0.005);
    }
    return true;
}
