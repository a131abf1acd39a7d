#include "LoopWaits.h"

#include "MainLoop.h"

#include <QElapsedTimer>

namespace flowtally {

bool runLoopUntil(const std::function<bool()> &condition, double boundSeconds) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && !elapsed.hasExpired(qint64(boundSeconds * 1000)))
        runMainLoopFor(0.005);
    return condition();
}

} // namespace flowtally
