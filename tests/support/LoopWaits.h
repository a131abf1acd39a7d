#pragma once

#include "platform/loop/MainLoop.h"

#include <QElapsedTimer>

#include <functional>

namespace flowtally {

// Runs the main event loop in short slices until the condition holds or the
// bound has passed; answers whether it holds. Main thread only.
inline bool runLoopUntil(const std::function<bool()> &condition, double boundSeconds = 20) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && !elapsed.hasExpired(qint64(boundSeconds * 1000)))
        runMainLoopFor(0.005);
    return condition();
}

} // namespace flowtally
